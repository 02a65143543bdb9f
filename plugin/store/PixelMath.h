// Single-precision sin, cos, atan, log, exp and pow for per-pixel code.
//
// The renderer must give the same bits on every path and every platform, so the
// per-pixel functions are our own rather than the C library's. Each takes and
// returns a float but evaluates in double precision: an exact argument reduction,
// a fixed polynomial in Horner order, and one rounding to float at the end. Only
// IEEE additions, multiplications, divisions and bit operations take part, in a
// fixed order (the build forbids contraction and fast-math), so a vectorised
// version built from the same steps on double lanes gives the same bits.
//
// Error bound: the double-precision result is good to about 1e-14 relative, so
// after the final rounding every function is within 0.501 ulp of the exact value
// (correctly rounded but for near-ties), checked against the C library in double
// precision over some twenty million arguments (tests/pattern/PixelMathTest.cpp).
// Domains:
//   Sin, Cos   |x| <= 2^27, far beyond the largest phase the renderer forms (about
//              2^23: frequency 20 times pi times 4 times an aspect of 32767);
//              beyond it the reduction loses bits but stays deterministic.
//   Atan       every float.
//   Log        positive finite x.
//   Exp        every float (results beyond the float range are 0 or infinity).
//   Pow        x positive and finite, any y.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// The integer luma (77 R + 150 G + 28 B) >> 8: the one grey of every part of the
// system. T is wide enough for the channels times 255.
template <typename T = int32_t>
constexpr T Luma(T red, T green, T blue) {
    return (77 * red + 150 * green + 28 * blue) >> 8;
}

// The value of pi every per-render constant and table of the system uses.
inline constexpr double kPi = 3.141592653;

namespace PixelMath {

namespace Detail {

// Rounds to the nearest integer (ties to even) for |v| < 2^51: adding 1.5 * 2^52
// leaves no fraction bits. Plain arithmetic, unlike nearbyint, so the lane copy takes
// the same steps.
inline double RoundToInteger(double v) {
    constexpr double kShifter = 0x1.8p52;
    return (v + kShifter) - kShifter;
}

// The low two bits of an integral double; 0 for values too large to convert, and NaN.
inline int Quadrant(double k) { return std::fabs(k) < 0x1p52 ? int(int64_t(k) & 3) : 0; }

// x reduced by k quarter turns, x = k * pi/2 + r with |r| <= pi/4. pi/2 is split into
// three 26-bit parts so that k * part is exact for |k| < 2^27, and the first
// subtraction is exact because x and k * part1 are close.
inline double ReduceQuarterTurns(double x, double& k) {
    constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
    constexpr double kPart1 = 0x1.921fb5p+0;
    constexpr double kPart2 = 0x1.110b46p-26;
    constexpr double kPart3 = 0x1.1a6263p-54;
    constexpr double kPart4 = 0x1.8a2e03707344ap-81;
    k = RoundToInteger(x * kTwoOverPi);
    return (((x - k * kPart1) - k * kPart2) - k * kPart3) - k * kPart4;
}

// Taylor series on |r| <= pi/4; the first omitted terms are below 3e-14 relative.
// sin r = r + r z P(z) and cos r = 1 + z (-1/2 + z Q(z)) with z = r * r, P and Q
// these coefficients in Horner order (lowest first).
inline constexpr double kSinTerms[6] = {-1.0 / 6.0,     1.0 / 120.0,       -1.0 / 5040.0,
                                        1.0 / 362880.0, -1.0 / 39916800.0, 1.0 / 6227020800.0};
inline constexpr double kCosTerms[6] = {1.0 / 24.0,       -1.0 / 720.0,      1.0 / 40320.0,
                                        -1.0 / 3628800.0, 1.0 / 479001600.0, -1.0 / 87178291200.0};

// atan w = w S(w * w) on |w| <= 0.4143, S with these coefficients in Horner order.
inline constexpr double kAtanTerms[16] = {1.0,        -1.0 / 3.0,  1.0 / 5.0,  -1.0 / 7.0,  1.0 / 9.0,  -1.0 / 11.0,
                                          1.0 / 13.0, -1.0 / 15.0, 1.0 / 17.0, -1.0 / 19.0, 1.0 / 21.0, -1.0 / 23.0,
                                          1.0 / 25.0, -1.0 / 27.0, 1.0 / 29.0, -1.0 / 31.0};

// c[0] + z (c[1] + z (... + z c[n - 1])).
template <int n>
inline double Horner(double z, const double (&c)[n]) {
    double p = c[n - 1];
    for (int i = n - 2; i >= 0; --i) p = c[i] + z * p;
    return p;
}

inline double SinKernel(double r) {
    const double z = r * r;
    return r + r * z * Horner(z, kSinTerms);
}

inline double CosKernel(double r) {
    const double z = r * r;
    return 1.0 + z * (-0.5 + z * Horner(z, kCosTerms));
}

// Natural logarithm of a positive finite double: x = 2^e * m with m in
// [sqrt(1/2), sqrt(2)), ln m = 2 atanh(f) with f = (m - 1) / (m + 1), |f| <= 0.1716.
inline double LogPositive(double x) {
    constexpr double kLn2 = 0x1.62e42fefa39efp-1;
    constexpr double kSqrt2 = 1.4142135623730951;
    uint64_t bits = std::bit_cast<uint64_t>(x);
    int exponent = int((bits >> 52) & 0x7ff) - 1023;
    bits = (bits & 0x000fffffffffffffull) | 0x3ff0000000000000ull;
    double m = std::bit_cast<double>(bits);
    if (m > kSqrt2) {
        m = m * 0.5;
        exponent += 1;
    }
    const double f = (m - 1.0) / (m + 1.0);
    const double s = f * f;
    const double series =
        1.0 + s * (1.0 / 3.0 +
                   s * (1.0 / 5.0 +
                        s * (1.0 / 7.0 +
                             s * (1.0 / 9.0 +
                                  s * (1.0 / 11.0 + s * (1.0 / 13.0 + s * (1.0 / 15.0 + s * (1.0 / 17.0))))))));
    return double(exponent) * kLn2 + 2.0 * f * series;
}

// e^t in double. t is held to +-200 first: every float result beyond that is 0 or
// infinity anyway, and the held range keeps 2^k a normal double.
inline double ExpHeld(double t) {
    constexpr double kLog2E = 1.4426950408889634;
    constexpr double kLn2Hi = 0x1.62e42feep-1;  // 32 bits: k * kLn2Hi is exact
    constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;
    t = t < -200.0 ? -200.0 : t;
    t = t > 200.0 ? 200.0 : t;
    const double k = RoundToInteger(t * kLog2E);
    const double r = (t - k * kLn2Hi) - k * kLn2Lo;  // |r| <= 0.347
    const double e =
        1.0 +
        r * (1.0 +
             r * (1.0 / 2.0 +
                  r * (1.0 / 6.0 +
                       r * (1.0 / 24.0 +
                            r * (1.0 / 120.0 +
                                 r * (1.0 / 720.0 +
                                      r * (1.0 / 5040.0 +
                                           r * (1.0 / 40320.0 +
                                                r * (1.0 / 362880.0 +
                                                     r * (1.0 / 3628800.0 +
                                                          r * (1.0 / 39916800.0 + r * (1.0 / 479001600.0))))))))))));
    const int64_t power = std::fabs(k) < 1024.0 ? int64_t(k) : 0;  // NaN gives 0
    return e * std::bit_cast<double>(uint64_t(power + 1023) << 52);
}

}  // namespace Detail

inline float Sin(float x) {
    double k;
    const double r = Detail::ReduceQuarterTurns(double(x), k);
    switch (Detail::Quadrant(k)) {
    case 0: return float(Detail::SinKernel(r));
    case 1: return float(Detail::CosKernel(r));
    case 2: return float(-Detail::SinKernel(r));
    default: return float(-Detail::CosKernel(r));
    }
}

inline float Cos(float x) {
    double k;
    const double r = Detail::ReduceQuarterTurns(double(x), k);
    switch (Detail::Quadrant(k)) {
    case 0: return float(Detail::CosKernel(r));
    case 1: return float(-Detail::SinKernel(r));
    case 2: return float(-Detail::CosKernel(r));
    default: return float(Detail::SinKernel(r));
    }
}

// atan in three ranges split at tan(pi/8) and tan(3pi/8), so that the Taylor series
// runs on |w| <= 0.4143, where its first omitted term is below 1e-12 relative.
inline float Atan(float x) {
    constexpr double kQuarterPi = 0.78539816339744831;
    constexpr double kHalfPi = 1.5707963267948966;
    const double a = std::fabs(double(x));
    double base = 0.0;
    double w = a;
    if (a > 2.4142135623730950) {
        base = kHalfPi;
        w = -1.0 / a;
    } else if (a > 0.41421356237309503) {
        base = kQuarterPi;
        w = (a - 1.0) / (a + 1.0);
    }
    const double z = w * w;
    const double result = base + w * Detail::Horner(z, Detail::kAtanTerms);
    return float(x < 0.0f ? -result : result);
}

inline float Log(float x) { return float(Detail::LogPositive(double(x))); }

inline float Exp(float x) { return float(Detail::ExpHeld(double(x))); }

inline float Pow(float x, float y) { return float(Detail::ExpHeld(double(y) * Detail::LogPositive(double(x)))); }

}  // namespace PixelMath
