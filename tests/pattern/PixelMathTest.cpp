// The per-pixel maths functions against the C library in double precision.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "store/PixelMath.h"

namespace {

constexpr double kBound = 0.501;  // ulp; the bound PixelMath.h states for every function

// |got - exact| in units of the float spacing at the exact value.
double UlpError(float got, double exact) {
    int exponent;
    std::frexp(exact, &exponent);
    return std::fabs(double(got) - exact) / std::ldexp(1.0, std::max(exponent - 24, -149));
}

// Largest error of ours against exact over count arguments from next(); at receives
// the worst argument.
template <class Ours, class Exact, class Next>
double Worst(Ours ours, Exact exact, Next next, int count, float& at) {
    double worst = 0.0;
    for (int i = 0; i < count; ++i) {
        const float x = next(i);
        const double e = UlpError(ours(x), exact(double(x)));
        if (e > worst) worst = e, at = x;
    }
    return worst;
}

TEST(PixelMath, EveryFunctionIsCorrectlyRoundedButForNearTies) {
    std::mt19937_64 random(11);
    auto logUniform = [&](int low, int high) {  // magnitudes spread over [2^low, 2^high), random sign
        const float m = float(std::exp2(std::uniform_real_distribution<double>(low, high)(random)));
        return random() & 1 ? -m : m;
    };
    auto uniform = [&](float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); };
    // Sine and cosine: a few turns, phases up to 2^27, and the floats next to
    // multiples of pi/2, where the reduction cancels most.
    auto phase = [&](int i) {
        if (i % 3 == 0) return uniform(-7.0f, 7.0f);
        if (i % 3 == 1) return logUniform(-30, 27);
        return std::nextafter(float((i / 3 % 20000) * 1.5707963267948966), i % 2 ? 1e30f : 0.0f);
    };
    float at = 0.0f;
    const auto sinf = [](float x) { return PixelMath::Sin(x); };
    const auto cosf = [](float x) { return PixelMath::Cos(x); };
    EXPECT_LE(Worst(sinf, [](double x) { return std::sin(x); }, phase, 6000000, at), kBound) << "sin " << at;
    EXPECT_LE(Worst(cosf, [](double x) { return std::cos(x); }, phase, 6000000, at), kBound) << "cos " << at;
    // atan over forty binades each way, log over every positive bit pattern
    // (subnormals included), exp over the whole float range of results.
    EXPECT_LE(Worst([](float x) { return PixelMath::Atan(x); }, [](double x) { return std::atan(x); },
                    [&](int) { return logUniform(-40, 40); }, 4000000, at),
              kBound)
        << "atan " << at;
    EXPECT_LE(Worst([](float x) { return PixelMath::Log(x); }, [](double x) { return std::log(x); },
                    [&](int) { return std::bit_cast<float>(uint32_t(1 + random() % 0x7f7fffffu)); }, 4000000, at),
              kBound)
        << "log " << at;
    EXPECT_LE(Worst([](float x) { return PixelMath::Exp(x); }, [](double x) { return std::exp(x); },
                    [&](int) { return uniform(-103.0f, 88.7f); }, 4000000, at),
              kBound)
        << "exp " << at;
    // pow as the shaping uses it: bases in (0, 1], exponents in -1..1.
    float exponent = 0.0f;
    EXPECT_LE(Worst([&](float x) { return PixelMath::Pow(x, exponent); },
                    [&](double x) { return std::pow(x, double(exponent)); },
                    [&](int) {
                        exponent = uniform(-1.0f, 1.0f);
                        return std::fabs(logUniform(-126, 0));
                    },
                    4000000, at),
              kBound)
        << "pow " << at;
    // The ends of the ranges.
    EXPECT_EQ(PixelMath::Atan(std::numeric_limits<float>::infinity()), 1.5707964f);
    EXPECT_EQ(PixelMath::Exp(-1000.0f), 0.0f);
    EXPECT_EQ(PixelMath::Exp(1000.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(PixelMath::Pow(1.0f, -0.73f), 1.0f);
}

}  // namespace
