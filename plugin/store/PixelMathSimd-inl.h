// PixelMath on SIMD lanes: the same sin, cos, atan and log, and pow's two halves
// (LogPositive, ExpHeld), lane by lane.
//
// Included once per instruction set by RowKernels.cpp (Highway's foreach_target), so
// it has a toggled guard instead of #pragma once. Every function repeats the scalar
// one's IEEE operations in the same order on double lanes (separate multiplies and
// adds, never fused), and replaces its branches by computing every side and
// selecting per lane, so each lane gives exactly the bits of PixelMath.h.
#if defined(TESSELUME_PIXEL_MATH_SIMD_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef TESSELUME_PIXEL_MATH_SIMD_INL_H_
#undef TESSELUME_PIXEL_MATH_SIMD_INL_H_
#else
#define TESSELUME_PIXEL_MATH_SIMD_INL_H_
#endif

#include <hwy/highway.h>

#include "store/PixelMath.h"

HWY_BEFORE_NAMESPACE();
namespace tesselume {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;
namespace pm = PixelMath::Detail;  // the coefficients the scalar functions use

// Double lanes, and floats and integers rebound to the same lane count.
using DD = hn::ScalableTag<double>;
using DF = hn::Rebind<float, DD>;
using DI = hn::RebindToSigned<DD>;
using DU = hn::RebindToUnsigned<DD>;
using DI32 = hn::Rebind<int32_t, DD>;
using VD = hn::Vec<DD>;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;

HWY_INLINE VD Widen(VF v) { return hn::PromoteTo(DD(), v); }
HWY_INLINE VF Narrow(VD v) { return hn::DemoteTo(DF(), v); }
HWY_INLINE VD SetD(double v) { return hn::Set(DD(), v); }

HWY_INLINE VD RoundToInteger(VD v) {
    const VD shifter = SetD(0x1.8p52);
    return (v + shifter) - shifter;
}

// An integral double's 64-bit integer, or 0 where its magnitude reaches `limit` (and NaN).
HWY_INLINE VI IntegerBelow(VD k, double limit) {
    const DI di;
    return hn::IfThenElseZero(hn::RebindMask(di, hn::Abs(k) < SetD(limit)), hn::ConvertTo(di, k));
}

HWY_INLINE VD ReduceQuarterTurns(VD x, VD& k) {
    k = RoundToInteger(x * SetD(0x1.45f306dc9c883p-1));
    return (((x - k * SetD(0x1.921fb5p+0)) - k * SetD(0x1.110b46p-26)) - k * SetD(0x1.1a6263p-54)) -
           k * SetD(0x1.8a2e03707344ap-81);
}

// PixelMath's Horner over n coefficients, each step's given per lane by c(i).
template <int n, class Coefficient>
HWY_INLINE VD Horner(VD z, const Coefficient& c) {
    VD p = c(n - 1);
    for (int i = n - 2; i >= 0; --i) p = c(i) + z * p;
    return p;
}

// PixelMath's Horner with the same coefficients in every lane.
template <int n>
HWY_INLINE VD Horner(VD z, const double (&c)[n]) {
    return Horner<n>(z, [&c](int i) { return SetD(c[i]); });
}

HWY_INLINE VD SinKernel(VD r) {
    const VD z = r * r;
    return r + r * z * Horner(z, pm::kSinTerms);
}

HWY_INLINE VD CosKernel(VD r) {
    const VD z = r * r;
    return SetD(1.0) + z * (SetD(-0.5) + z * Horner(z, pm::kCosTerms));
}

// x reduced to r, |r| <= pi/4, and its quadrant 0..3, as Sin and Cos reduce it.
HWY_INLINE VI Reduce(VF x, VD& r) {
    VD k;
    r = ReduceQuarterTurns(Widen(x), k);
    return hn::And(IntegerBelow(k, 0x1p52), hn::Set(DI(), 3));
}

// The lanes whose quadrant has `bit` set.
HWY_INLINE auto QuadrantHas(VI quadrant, int64_t bit) {
    return hn::RebindMask(DD(), hn::TestBit(quadrant, hn::Set(DI(), bit)));
}

HWY_INLINE VD Negated(hn::Mask<DD> negative, VD v) { return hn::IfThenElse(negative, hn::Neg(v), v); }

// Sin and cos of the same floats, sharing the reduction and both kernels.
HWY_INLINE void SinCos(VF x, VF& sine, VF& cosine) {
    VD r;
    const VI quadrant = Reduce(x, r);
    const auto odd = QuadrantHas(quadrant, 1);
    // cos is negative in quadrants 1 and 2, where bits 0 and 1 differ.
    const auto cosineNegative = QuadrantHas(hn::Xor(quadrant, hn::ShiftLeft<1>(quadrant)), 2);
    const VD s = SinKernel(r), c = CosKernel(r);
    sine = Narrow(Negated(QuadrantHas(quadrant, 2), hn::IfThenElse(odd, c, s)));
    cosine = Narrow(Negated(cosineNegative, hn::IfThenElse(odd, s, c)));
}

// Sin with one polynomial per lane: SinKernel's and CosKernel's share their shape,
// so each lane runs the same Horner steps on the coefficients its quadrant needs, and
// only the short final steps are taken both ways.
HWY_INLINE VF Sin(VF x) {
    VD r;
    const VI quadrant = Reduce(x, r);
    const auto odd = QuadrantHas(quadrant, 1);
    const VD z = r * r;
    const VD p = Horner<6>(
        z, [odd](int i) { return hn::IfThenElse(odd, SetD(pm::kCosTerms[i]), SetD(pm::kSinTerms[i])); });
    const VD magnitude = hn::IfThenElse(odd, SetD(1.0) + z * (SetD(-0.5) + z * p), r + r * z * p);
    return Narrow(Negated(QuadrantHas(quadrant, 2), magnitude));
}

HWY_INLINE VF Atan(VF x) {
    const VD a = hn::Abs(Widen(x));
    const auto outer = a > SetD(2.4142135623730950);
    const auto middle = a > SetD(0.41421356237309503);
    // -1 / a and (a - 1) / (a + 1) as one division of selected operands.
    const VD quotient = hn::IfThenElse(outer, SetD(-1.0), a - SetD(1.0)) / hn::IfThenElse(outer, a, a + SetD(1.0));
    const VD w = hn::IfThenElse(middle, quotient, a);
    const VD base = hn::IfThenElse(outer, SetD(1.5707963267948966),
                                   hn::IfThenElseZero(middle, SetD(0.78539816339744831)));
    const VD z = w * w;
    const VD result = base + w * Horner(z, pm::kAtanTerms);
    return Narrow(Negated(Widen(x) < hn::Zero(DD()), result));
}

HWY_INLINE VD LogPositive(VD x) {
    const DU du;
    const DI di;
    const auto bits = hn::BitCast(du, x);
    VI exponent = hn::BitCast(di, hn::And(hn::ShiftRight<52>(bits), hn::Set(du, 0x7ff))) - hn::Set(di, 1023);
    VD m = hn::BitCast(DD(), hn::Or(hn::And(bits, hn::Set(du, 0x000fffffffffffffull)),
                                    hn::Set(du, 0x3ff0000000000000ull)));
    const auto high = m > SetD(1.4142135623730951);
    m = hn::IfThenElse(high, m * SetD(0.5), m);
    exponent = exponent + hn::IfThenElseZero(hn::RebindMask(di, high), hn::Set(di, 1));
    const VD f = (m - SetD(1.0)) / (m + SetD(1.0));
    const VD s = f * f;
    const VD series =
        SetD(1.0) +
        s * (SetD(1.0 / 3.0) +
             s * (SetD(1.0 / 5.0) +
                  s * (SetD(1.0 / 7.0) +
                       s * (SetD(1.0 / 9.0) +
                            s * (SetD(1.0 / 11.0) +
                                 s * (SetD(1.0 / 13.0) + s * (SetD(1.0 / 15.0) + s * SetD(1.0 / 17.0))))))));
    return hn::ConvertTo(DD(), exponent) * SetD(0x1.62e42fefa39efp-1) + SetD(2.0) * f * series;
}

HWY_INLINE VD ExpHeld(VD t) {
    const DI di;
    t = hn::IfThenElse(t < SetD(-200.0), SetD(-200.0), t);
    t = hn::IfThenElse(t > SetD(200.0), SetD(200.0), t);
    const VD k = RoundToInteger(t * SetD(1.4426950408889634));
    const VD r = (t - k * SetD(0x1.62e42feep-1)) - k * SetD(0x1.a39ef35793c76p-33);
    const VD e =
        SetD(1.0) +
        r * (SetD(1.0) +
             r * (SetD(1.0 / 2.0) +
                  r * (SetD(1.0 / 6.0) +
                       r * (SetD(1.0 / 24.0) +
                            r * (SetD(1.0 / 120.0) +
                                 r * (SetD(1.0 / 720.0) +
                                      r * (SetD(1.0 / 5040.0) +
                                           r * (SetD(1.0 / 40320.0) +
                                                r * (SetD(1.0 / 362880.0) +
                                                     r * (SetD(1.0 / 3628800.0) +
                                                          r * (SetD(1.0 / 39916800.0) +
                                                               r * SetD(1.0 / 479001600.0))))))))))));
    const VI power = IntegerBelow(k, 1024.0);
    return e * hn::BitCast(DD(), hn::ShiftLeft<52>(power + hn::Set(di, 1023)));
}

HWY_INLINE VF Log(VF x) { return Narrow(LogPositive(Widen(x))); }

}  // namespace HWY_NAMESPACE
}  // namespace tesselume
HWY_AFTER_NAMESPACE();

#endif  // TESSELUME_PIXEL_MATH_SIMD_INL_H_
