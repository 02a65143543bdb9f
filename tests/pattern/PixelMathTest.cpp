// The per-pixel maths functions against the C library in double precision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "pattern/PixelMath.h"

namespace {

// |got - exact| in units of the float spacing at the exact value.
double UlpError(float got, double exact) {
    if (exact == 0.0) return got == 0.0f ? 0.0 : std::numeric_limits<double>::infinity();
    int exponent;
    std::frexp(exact, &exponent);
    const double ulp = std::ldexp(1.0, std::max(exponent - 24, -149));
    return std::fabs(double(got) - exact) / ulp;
}

// Floats with magnitudes spread evenly over [2^lowExponent, 2^highExponent), random sign.
float LogUniform(std::mt19937_64& random, int lowExponent, int highExponent, bool signed_) {
    std::uniform_real_distribution<double> exponent(lowExponent, highExponent);
    const float magnitude = float(std::exp2(exponent(random)));
    return signed_ && (random() & 1) ? -magnitude : magnitude;
}

struct WorstCase {
    double error = 0.0;
    float argument = 0.0f;
    void Note(double e, float x) {
        if (e > error) {
            error = e;
            argument = x;
        }
    }
};

constexpr double kBound = 0.501;  // the bound PixelMath.h states for every function

TEST(PixelMath, SinAndCosCorrectlyRounded) {
    std::mt19937_64 random(11);
    WorstCase sinWorst, cosWorst;
    auto check = [&](float x) {
        sinWorst.Note(UlpError(PixelMath::Sin(x), std::sin(double(x))), x);
        cosWorst.Note(UlpError(PixelMath::Cos(x), std::cos(double(x))), x);
    };
    std::uniform_real_distribution<float> turn(-7.0f, 7.0f);
    for (int i = 0; i < 3000000; ++i) check(turn(random));
    for (int i = 0; i < 3000000; ++i) check(LogUniform(random, -30, 27, true));
    // Arguments next to multiples of pi/2, where the reduction cancels the most.
    for (int k = 1; k < 20000; k += 7) {
        float x = float(k * 1.5707963267948966);
        for (int step = 0; step < 40; ++step) x = std::nextafter(x, 0.0f);
        for (int step = 0; step < 80; ++step, x = std::nextafter(x, 1e30f)) check(x);
    }
    EXPECT_LE(sinWorst.error, kBound) << "at " << sinWorst.argument;
    EXPECT_LE(cosWorst.error, kBound) << "at " << cosWorst.argument;
    EXPECT_EQ(PixelMath::Sin(0.0f), 0.0f);
    EXPECT_EQ(PixelMath::Cos(0.0f), 1.0f);
    EXPECT_EQ(PixelMath::Sin(1e-30f), 1e-30f);
}

TEST(PixelMath, AtanCorrectlyRounded) {
    std::mt19937_64 random(12);
    WorstCase worst;
    auto check = [&](float x) { worst.Note(UlpError(PixelMath::Atan(x), std::atan(double(x))), x); };
    for (int i = 0; i < 4000000; ++i) check(LogUniform(random, -40, 40, true));
    // Both sides of the range splits at tan(pi/8) and tan(3pi/8).
    for (float split : {0.41421356f, 2.4142135f}) {
        float x = split;
        for (int step = 0; step < 1000; ++step) x = std::nextafter(x, 0.0f);
        for (int step = 0; step < 2000; ++step, x = std::nextafter(x, 10.0f)) check(x);
    }
    EXPECT_LE(worst.error, kBound) << "at " << worst.argument;
    EXPECT_EQ(PixelMath::Atan(std::numeric_limits<float>::infinity()), 1.5707964f);
    EXPECT_EQ(PixelMath::Atan(-std::numeric_limits<float>::infinity()), -1.5707964f);
    EXPECT_EQ(PixelMath::Atan(1.0f), 0.78539819f);
}

TEST(PixelMath, LogAndExpCorrectlyRounded) {
    std::mt19937_64 random(13);
    WorstCase logWorst, expWorst;
    // Every positive finite float is as likely as any other bit pattern: subnormals included.
    std::uniform_int_distribution<uint32_t> positive(1, 0x7f7fffffu);
    for (int i = 0; i < 4000000; ++i) {
        const float x = std::bit_cast<float>(positive(random));
        logWorst.Note(UlpError(PixelMath::Log(x), std::log(double(x))), x);
    }
    std::uniform_real_distribution<float> power(-103.0f, 88.7f);
    for (int i = 0; i < 4000000; ++i) {
        const float x = power(random);
        expWorst.Note(UlpError(PixelMath::Exp(x), std::exp(double(x))), x);
    }
    EXPECT_LE(logWorst.error, kBound) << "at " << logWorst.argument;
    EXPECT_LE(expWorst.error, kBound) << "at " << expWorst.argument;
    EXPECT_EQ(PixelMath::Log(1.0f), 0.0f);
    EXPECT_EQ(PixelMath::Exp(0.0f), 1.0f);
    EXPECT_EQ(PixelMath::Exp(-1000.0f), 0.0f);
    EXPECT_EQ(PixelMath::Exp(1000.0f), std::numeric_limits<float>::infinity());
}

TEST(PixelMath, PowCorrectlyRounded) {
    std::mt19937_64 random(14);
    WorstCase worst;
    auto check = [&](float x, float y) {
        const double exact = std::pow(double(x), double(y));
        if (exact < 0x1p-126 || exact > 0x1p127) return;  // outside the normal float range
        worst.Note(UlpError(PixelMath::Pow(x, y), exact), x);
    };
    // The shaping powers: bases in (0, 1], exponents between -1 and 1.
    std::uniform_real_distribution<float> exponent(-1.0f, 1.0f);
    for (int i = 0; i < 3000000; ++i) check(LogUniform(random, -126, 0, false), exponent(random));
    std::uniform_real_distribution<float> wide(-6.0f, 6.0f);
    for (int i = 0; i < 1000000; ++i) check(LogUniform(random, -20, 20, false), wide(random));
    EXPECT_LE(worst.error, kBound) << "at base " << worst.argument;
    EXPECT_EQ(PixelMath::Pow(1.0f, -0.73f), 1.0f);
    EXPECT_EQ(PixelMath::Pow(0.25f, 0.5f), 0.5f);
    EXPECT_EQ(PixelMath::Pow(0.5f, -1.0f), 2.0f);
}

}  // namespace
