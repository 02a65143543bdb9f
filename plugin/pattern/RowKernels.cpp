// The pattern row kernels on SIMD lanes, one copy per instruction set.
//
// Highway compiles this file once for each target (foreach_target) with that
// target's instructions; KernelsFor picks a copy at run time. A pixel is one lane of
// double-precision vectors; single-precision steps run on floats rebound to the same
// lane count, so every rounding point of the reference stays where it is. Branches
// on per-row constants stay branches; per-pixel branches become lane selects.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pattern/RowKernels.cpp"
// SSE4, AVX2 and AVX-512 are the levels worth having; SSSE3 would only add build time.
#define HWY_DISABLED_TARGETS (HWY_SSSE3 | HWY_AVX3_DL)
#include <hwy/foreach_target.h>  // re-includes this file once per target
#include <hwy/highway.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "store/GlueChannel.h"
#include "store/PixelMath.h"
#include "store/PixelMathSimd-inl.h"
#include "pattern/RowKernels.h"

HWY_BEFORE_NAMESPACE();
namespace tesselume {
namespace HWY_NAMESPACE {

// Lanes per vector at most, on any target: the tail of a row goes through buffers
// this long.
constexpr size_t kMaxLanes = 16;

// Runs `kernel` over count pixels: it reads lanes of the arrays `in` and writes lanes
// of the arrays `out`. Whole vectors first, then the tail through zero-padded buffers.
template <size_t inCount, size_t outCount, class Kernel>
HWY_INLINE void OverRow(int32_t count, const std::array<const float*, inCount>& in,
                        const std::array<float*, outCount>& out, const Kernel& kernel) {
    const DF df;
    const int32_t lanes = int32_t(hn::Lanes(df));
    std::array<VF, inCount> inputs;
    std::array<VF, outCount> outputs;
    int32_t i = 0;
    for (; i + lanes <= count; i += lanes) {
        for (size_t a = 0; a < inCount; ++a) inputs[a] = hn::LoadU(df, in[a] + i);
        kernel(i, inputs, outputs);
        for (size_t a = 0; a < outCount; ++a) hn::StoreU(outputs[a], df, out[a] + i);
    }
    if (i == count) return;
    HWY_ALIGN float buffer[kMaxLanes] = {};
    for (size_t a = 0; a < inCount; ++a) {
        for (int32_t j = 0; j < count - i; ++j) buffer[j] = in[a][i + j];
        inputs[a] = hn::Load(df, buffer);
    }
    kernel(i, inputs, outputs);
    for (size_t a = 0; a < outCount; ++a) {
        hn::Store(outputs[a], df, buffer);
        for (int32_t j = 0; j < count - i; ++j) out[a][i + j] = buffer[j];
    }
}

// FoldPoint's first half on lanes: the point's radius and its folded angle.
HWY_INLINE void FoldedPolar(const GeometryConstants& g, VF x, VF y, VF& radius, VF& folded) {
    const DF df;
    const VF zero = hn::Zero(df);
    radius = hn::Sqrt(x * x + y * y);
    const VF angle = Atan(x / y);
    const VF onAxis = hn::IfThenElse(x <= zero, hn::Set(df, 1.5707964f), hn::Set(df, 4.712389f));
    const VF below = hn::IfThenElse(x >= zero, angle + hn::Set(df, 6.2831855f), angle);
    VF theta = hn::IfThenElse(y > zero, angle + hn::Set(df, 3.1415927f), hn::IfThenElse(y < zero, below, onAxis));
    if (g.doubleAngle) theta = theta * hn::Set(df, 2.0f);
    folded = Narrow(Widen(theta) * SetD(g.foldFactor));
}

// MapRow on lanes, in passes over the row as PatternRowSimd takes the field: the
// unfolded points, then their radius and folded angle (held in the output arrays),
// then the folded points from the angle's sine and cosine.
void MapRowSimd(const GeometryConstants& g, int32_t row, int32_t firstColumn, int32_t count, float* x, float* y) {
    const DF df;
    const DI32 di;
    const VF rowY = hn::Set(df, RowPointY(g, row));
    const VF twiceWidth = hn::Set(df, g.width + g.width);
    const VF zoom = hn::Set(df, g.zoom);
    OverRow<0, 2>(count, {}, {x, y}, [&](int32_t i, const auto&, auto& out) {
        const auto px = hn::Set(di, g.previewScale) * hn::Iota(di, firstColumn + i) + hn::Set(di, g.panX);
        const VF u = hn::ConvertTo(df, px + px + hn::Set(di, 1)) / twiceWidth;
        out[0] = Narrow((Widen(u) - SetD(0.5)) * SetD(2.0)) * zoom;
        out[1] = rowY;
    });
    if (g.foldFactor != 0.0) {
        OverRow<2, 2>(count, {x, y}, {x, y}, [&](int32_t, const auto& in, auto& out) {
            FoldedPolar(g, in[0], in[1], out[1], out[0]);
        });
        OverRow<2, 2>(count, {x, y}, {x, y}, [&](int32_t, const auto& in, auto& out) {
            VF sine, cosine;
            SinCos(in[0], sine, cosine);
            out[0] = cosine * in[1];
            out[1] = sine * in[1];
        });
    }
    if (g.mirror)
        OverRow<2, 2>(count, {x, y}, {x, y}, [&](int32_t, const auto& in, auto& out) {
            out[0] = hn::Abs(in[0]);
            out[1] = hn::Abs(in[1]);
        });
}

// Pixels per chunk of PatternRowSimd: its buffers stay in the first-level cache.
constexpr int32_t kChunk = 512;

// Shape over n values in place, in two passes: the exponent times the log (in
// doubles, kept exactly as Pow keeps them), then the exp and the product. The power
// is taken only where it changes anything.
HWY_INLINE void ShapeRow(float* values, int32_t n, float exponent, double* logs) {
    if (exponent == 0.0f) return;
    const DD dd;
    const DF df;
    const VD e = Widen(hn::Set(df, exponent));
    OverRow<1, 0>(n, {values}, {}, [&](int32_t i, const auto& in, auto&) {
        hn::StoreU(e * LogPositive(Widen(hn::Abs(in[0]))), dd, logs + i);
    });
    OverRow<1, 1>(n, {values}, {values}, [&](int32_t i, const auto& in, auto& out) {
        const VF shaped = in[0] * Narrow(ExpHeld(hn::LoadU(dd, logs + i)));
        out[0] = hn::IfThenElse(in[0] == hn::Zero(df), in[0], shaped);
    });
}

// The phase-scaled lanes: x * pi, and half that under weave.
HWY_INLINE VF Phase(const FieldConstants& f, VF v) {
    const VF phase = Narrow(Widen(v) * SetD(::kPi));
    return f.weave ? phase * hn::Set(DF(), 0.5f) : phase;
}

// The sines of mixer k that depend on y alone: sin(a_k2 * y) and sin(a_k1 * y).
struct YSines {
    VF second, first;
};

HWY_INLINE YSines SinesOfY(const FieldConstants& f, int k, VF y) {
    return {Sin(hn::Set(DF(), f.second[k]) * y), Sin(hn::Set(DF(), f.first[k]) * y)};
}

// Mixer k's term from its sines of x, sin(a_k1 * x) and sin(a_k2 * x), and of y.
HWY_INLINE VF MixerTerm(const FieldConstants& f, int k, VF s2, VF s3, const YSines& ys) {
    const VF s1 = ys.second, s4 = ys.first;
    if (!f.weave) return Narrow(SetD(0.5) * Widen(s1 * s2 + s3 * s4));
    const VF quarter = hn::Set(DF(), 0.25f);
    if (k < 2) return quarter * (((s1 + s2) + s3) + s4);
    return quarter * ((s1 * s2 + s3) + s4);
}

// The field in passes over chunks of the row: the phases, then each mixer's sines and
// term, then each mixer's shaping power, then the sum and its shaping. Per pixel the
// field is one long chain of dependent steps (sines, then a power, then the sum);
// pass by pass, the iterations of each loop are independent, so the processor
// overlaps them instead of waiting on each step's latency. The operations are the
// reference's.
void PatternRowSimd(const FieldConstants& f, const float* x, const float* y, int32_t count, float* t,
                    const XSines* xSines) {
    const DF df;
    // Without a fold every point of a row has the same y (bit for bit): its sines are
    // then the same in every lane and are taken once for the whole call; and every
    // row the same x, whose sines the caller may have taken once for all (xSines).
    bool sameY = count > 0;
    for (int32_t i = 1; i < count && sameY; ++i) sameY = std::bit_cast<uint32_t>(y[i]) == std::bit_cast<uint32_t>(y[0]);
    YSines rowSines[3];
    if (sameY)
        for (int k = 0; k < 3; ++k) rowSines[k] = SinesOfY(f, k, Phase(f, hn::Set(df, y[0])));
    HWY_ALIGN float px[kChunk], py[kChunk], term[3][kChunk];
    HWY_ALIGN double logs[kChunk + kMaxLanes];  // a whole vector past the last pixel
    for (int32_t start = 0; start < count; start += kChunk) {
        const int32_t n = count - start < kChunk ? count - start : kChunk;
        const auto phase = [&](int32_t, const auto& in, auto& out) { out[0] = Phase(f, in[0]); };
        OverRow<1, 1>(n, {y + start}, {py}, phase);
        if (!xSines) OverRow<1, 1>(n, {x + start}, {px}, phase);
        for (int k = 0; k < 3; ++k) {
            if (!f.on[k]) {
                std::fill_n(term[k], n, 0.0f);
                continue;
            }
            if (xSines) {
                const float* first = xSines->table + 2 * k * xSines->stride + start;
                const float* second = first + xSines->stride;
                OverRow<3, 1>(n, {first, second, py}, {term[k]}, [&](int32_t, const auto& in, auto& out) {
                    out[0] = MixerTerm(f, k, in[0], in[1], sameY ? rowSines[k] : SinesOfY(f, k, in[2]));
                });
            } else {
                const VF a1 = hn::Set(df, f.first[k]), a2 = hn::Set(df, f.second[k]);
                OverRow<2, 1>(n, {px, py}, {term[k]}, [&](int32_t, const auto& in, auto& out) {
                    out[0] = MixerTerm(f, k, Sin(a1 * in[0]), Sin(a2 * in[0]),
                                       sameY ? rowSines[k] : SinesOfY(f, k, in[1]));
                });
            }
            ShapeRow(term[k], n, f.sharpness[k], logs);
        }
        float* sum = t + start;
        OverRow<3, 1>(n, {term[0], term[1], term[2]}, {sum}, [&](int32_t, const auto& in, auto& out) {
            const VF weighted = (in[1] * hn::Set(df, f.weight[1]) + in[0] * hn::Set(df, f.weight[0])) +
                                in[2] * hn::Set(df, f.weight[2]);
            out[0] = Narrow(Widen(weighted) / SetD(3.0));
        });
        ShapeRow(sum, n, f.globalSharpness, logs);
        OverRow<1, 1>(n, {sum}, {sum}, [&](int32_t, const auto& in, auto& out) {
            out[0] = Narrow((Widen(in[0]) + SetD(1.0)) * SetD(0.5));
        });
    }
}

using VI32 = hn::Vec<DI32>;

// The horizontal blend of one ramp level per lane at position u: the two entries
// around it, mixed by the position's fraction, channel by channel. The level's
// constants come per lane, or once for the call when every lane reads one level.
struct RampBlend {
    VI32 red, green, blue;
};

struct LevelConstants {
    VI32 level, sampleWidth, maxX;
    VF maxXf;
};

// A level's last entry is at sampleWidth - 1, as the store has it.
HWY_INLINE LevelConstants ConstantsOf(VI32 level, VI32 sampleWidth) {
    const VI32 maxX = sampleWidth - hn::Set(DI32(), 1);
    return {level, sampleWidth, maxX, hn::ConvertTo(DF(), maxX)};
}

HWY_INLINE LevelConstants ConstantsOfLevels(const RampLevels& ramp, VI32 level) {
    return ConstantsOf(level, hn::GatherIndex(DI32(), ramp.sampleWidth, level));
}

HWY_INLINE LevelConstants ConstantsOfLevel(const RampLevels& ramp, int32_t level) {
    const DI32 di;
    return ConstantsOf(hn::Set(di, level), hn::Set(di, ramp.sampleWidth[level]));
}

HWY_INLINE RampBlend BlendOnLevel(const RampLevels& ramp, const LevelConstants& c, VF u) {
    const DF df;
    const DI32 di;
    VF fx = hn::ConvertTo(df, c.sampleWidth) * u - hn::Set(df, 0.5f);
    fx = hn::Min(hn::Max(fx, hn::Set(df, -1.0f)), c.maxXf + hn::Set(df, 1.0f));
    const VF floorX = hn::Floor(fx);
    const VI32 x0 = hn::ConvertTo(di, floorX);
    const VF a = fx - floorX;
    const VI32 zero = hn::Zero(di);
    const VI32 base = hn::ShiftLeft<8>(c.level);
    const VI32 left = hn::GatherIndex(di, ramp.colours, base + hn::Min(hn::Max(x0, zero), c.maxX));
    const VI32 right =
        hn::GatherIndex(di, ramp.colours, base + hn::Min(hn::Max(x0 + hn::Set(di, 1), zero), c.maxX));
    const auto mix = [&](int shift) {
        const VI32 mask = hn::Set(di, 255);
        const VI32 pa = hn::And(hn::ShiftRightSame(left, shift), mask);
        const VI32 pb = hn::And(hn::ShiftRightSame(right, shift), mask);
        return hn::ConvertTo(di, hn::ConvertTo(df, pa) + hn::ConvertTo(df, pb - pa) * a);
    };
    return {mix(0), mix(8), mix(16)};
}

// SmoothColour on lanes, with the copied levels' arithmetic (SmoothRead, then the
// blends of the two levels around it).
void SmoothRowSimd(const RampLevels& ramp, const float* t, const float* prev, const float* above, int32_t count,
                   PatternColour* colours) {
    if (ramp.topLevel < 0) {
        for (int32_t i = 0; i < count; ++i) colours[i] = PatternColour{0, 0, 0};
        return;
    }
    const DF df;
    const DI32 di;
    const int32_t lanes = int32_t(hn::Lanes(df));
    HWY_ALIGN int32_t red[kMaxLanes], green[kMaxLanes], blue[kMaxLanes];
    const VF none = hn::Set(df, -1.0f), scale = hn::Set(df, 255.0f);
    const VF topLevel = hn::Set(df, float(ramp.topLevel));
    const VI32 lowestTop = hn::Set(di, ramp.topLevel - 1 > 0 ? ramp.topLevel - 1 : 0);
    const auto kernel = [&](int32_t i, const std::array<VF, 3>& in, std::array<VF, 0>&) {
        const VF value = in[0];
        const VF fromLeft = hn::IfThenElseZero(in[1] != none, hn::Abs(value - in[1]) * scale);
        const VF fromAbove = hn::IfThenElseZero(in[2] != none, hn::Abs(value - in[2]) * scale);
        const VF difference = hn::IfThenElse(fromLeft > fromAbove, fromLeft, fromAbove);
        const VF footprint = Narrow(Widen(difference) * SetD(0.707106781186548));
        const auto blurred = footprint > hn::Set(df, 1.0f);
        const VF u = hn::IfThenElse(value >= none, hn::IfThenElse(value > hn::Set(df, 2.0f), hn::Set(df, 2.0f), value),
                                    none);
        RampBlend colour;
        if (hn::AllFalse(df, blurred)) {
            // Neighbours closer than a ramp entry (most pixels of a large render): level
            // 0 in every lane, fraction 0.
            colour = BlendOnLevel(ramp, ConstantsOfLevel(ramp, 0), u);
        } else {
            VF level = Narrow(Widen(Log(footprint)) / SetD(0.693147180559945));
            level = hn::IfThenElseZero(blurred, hn::IfThenElse(level > topLevel, topLevel, level));
            const VI32 whole = hn::ConvertTo(di, level);
            const VF fraction = level - hn::ConvertTo(df, whole);
            const VI32 lower = hn::Min(hn::Max(whole, hn::Zero(di)), lowestTop);
            const VI32 upper = hn::Min(lower + hn::Set(di, 1), hn::Set(di, ramp.topLevel));
            const RampBlend low = BlendOnLevel(ramp, ConstantsOfLevels(ramp, lower), u);
            const RampBlend high = BlendOnLevel(ramp, ConstantsOfLevels(ramp, upper), u);
            // A zero fraction blends to the lower level's colour exactly.
            const auto blend = [&](VI32 a, VI32 b) {
                return hn::ConvertTo(di, hn::ConvertTo(df, a) + hn::ConvertTo(df, b - a) * fraction);
            };
            colour = {blend(low.red, high.red), blend(low.green, high.green), blend(low.blue, high.blue)};
        }
        // A whole vector of colours goes out as three interleaved rows (PatternColour is
        // three int32_t).
        static_assert(sizeof(PatternColour) == 3 * sizeof(int32_t));
        if (i + lanes <= count) {
            hn::StoreInterleaved3(colour.red, colour.green, colour.blue, di, &colours[i].red);
            return;
        }
        hn::Store(colour.red, di, red);
        hn::Store(colour.green, di, green);
        hn::Store(colour.blue, di, blue);
        for (int32_t j = 0; i + j < count; ++j) colours[i + j] = PatternColour{red[j], green[j], blue[j]};
    };
    OverRow<3, 0>(count, {t, prev, above}, {}, kernel);
}

// The per-channel integer glue modes on lanes, with GlueChannel.h's formulas step for
// step. Each sample depends only on the two samples of its channel, so a row of
// colours is taken as one flat array of samples.
using DS = hn::ScalableTag<int32_t>;
using VS = hn::Vec<DS>;

template <class Formula>
HWY_INLINE void OverSamples(const int32_t* p, const int32_t* d, int32_t* out, int32_t samples, const Formula& f) {
    const DS ds;
    const int32_t lanes = int32_t(hn::Lanes(ds));
    int32_t i = 0;
    for (; i + lanes <= samples; i += lanes) hn::StoreU(f(hn::LoadU(ds, p + i), hn::LoadU(ds, d + i)), ds, out + i);
    if (i == samples) return;
    HWY_ALIGN int32_t a[kMaxLanes] = {}, b[kMaxLanes] = {};
    for (int32_t j = 0; j < samples - i; ++j) a[j] = p[i + j], b[j] = d[i + j];
    hn::Store(f(hn::Load(ds, a), hn::Load(ds, b)), ds, a);
    for (int32_t j = 0; j < samples - i; ++j) out[i + j] = a[j];
}

template <class P>
HWY_INLINE bool GlueOnPath(int32_t mode, const int32_t* p, const int32_t* d, int32_t* out, int32_t samples) {
    const DS ds;
    const VS full = hn::Set(ds, P::full), half = hn::Set(ds, P::half), unit = hn::Set(ds, P::unit);
    const VS zero = hn::Zero(ds);
    const auto product = [](VS v) { return hn::ShiftRight<P::product>(v); };
    const auto hardLight = [&](VS x, VS y) {
        return hn::IfThenElse(x < half, hn::ShiftRight<P::hardLight>(x * y),
                              full - hn::ShiftRight<P::hardLight>((full - x) * (full - y)));
    };
    const auto pinLight = [&](VS x, VS y) {
        return hn::IfThenElse(y < half, hn::Min(x, y + y), hn::Max(x, (y + y) - full));
    };
    const auto run = [&](const auto& f) {
        OverSamples(p, d, out, samples, f);
        return true;
    };
    switch (mode) {
    case 3: return run([&](VS a, VS b) { return hn::Min(full, a + product(a * b)); });
    case 4: return run([&](VS a, VS b) { return product((full - b) * a + (full - a) * b); });
    case 5: return run([&](VS a, VS b) { return hn::Max(a, b); });
    case 6: return run([&](VS a, VS b) { return hn::Min(a, b); });
    case 7: return run([&](VS a, VS b) { return hn::Min(full, a + b); });
    case 8: return run([&](VS a, VS b) { return hn::Max(zero, a - b); });
    case 9: return run([&](VS a, VS b) { return product(a * b); });
    case 10: return run([&](VS a, VS b) { return a + product((full - a) * b); });
    case 11: return run([&](VS a, VS b) { return hardLight(a, b); });
    case 12: return run([&](VS a, VS b) { return hardLight(b, a); });
    case 14: return run([&](VS a, VS b) { return product((full - b) * a + (unit - a) * b); });
    case 17:
        return run([&](VS a, VS b) {
            // The 8-bit path centres on 256 below the middle and 255 above.
            const VS v = b + (a + a);
            const VS low = v - hn::Set(ds, P::wide ? P::full : 256), high = v - hn::Set(ds, P::full);
            return hn::IfThenElse(a < half, hn::Max(zero, low), hn::Min(full, high));
        });
    case 18: return run([&](VS a, VS b) { return pinLight(b, a); });
    case 19: return run([&](VS a, VS b) { return pinLight(a, b); });
    case 21: return run([&](VS a, VS b) { return hn::Min(full, hn::Max(zero, (a + a) - b)); });
    case 24: return run([&](VS a, VS b) { return full - hn::Abs((a + b) - full); });
    case 26: return run([&](VS a, VS b) { return hn::Abs(a - b); });
    case 32: return run([&](VS a, VS b) { return product(a * a + (unit - a) * b); });
    case 33: return run([&](VS a, VS b) { return product(((a - b) + unit) * b); });
    case 36: return run([&](VS a, VS b) { return hn::And(a, b); });
    case 37: return run([&](VS a, VS b) { return hn::Min(full, hn::Or(a, b)); });
    case 38: return run([&](VS a, VS b) { return hn::Min(full, hn::Xor(a, b)); });
    case 52: return run([&](VS a, VS b) { return hn::IfThenElseZero(a + b > full, full); });
    default: return false;
    }
}

bool GlueSamplesSimd(int32_t mode, GluePath path, const int32_t* p, const int32_t* d, int32_t* out,
                     int32_t samples) {
    return path == GluePath::bits8 ? GlueOnPath<GlueModes::Path8>(mode, p, d, out, samples)
                                   : GlueOnPath<GlueModes::Path16>(mode, p, d, out, samples);
}

}  // namespace HWY_NAMESPACE
}  // namespace tesselume
HWY_AFTER_NAMESPACE();

#if HWY_ONCE


namespace {

struct LevelInfo {
    SimdLevel level;
    const char* name;
    int64_t target;
};

constexpr LevelInfo kLevels[] = {{SimdLevel::scalar, "scalar", 0},
                                 {SimdLevel::sse4, "sse4", HWY_SSE4},
                                 {SimdLevel::avx2, "avx2", HWY_AVX2},
                                 {SimdLevel::avx512, "avx512", HWY_AVX3}};

bool MachineHas(const LevelInfo& info) {
    return info.target == 0 || (info.target & HWY_TARGETS & hwy::SupportedTargets()) != 0;
}

}  // namespace

std::vector<SimdLevel> AvailableSimdLevels() {
    std::vector<SimdLevel> levels;
    for (const LevelInfo& info : kLevels)
        if (MachineHas(info)) levels.push_back(info.level);
    return levels;
}

RowKernels KernelsFor(SimdLevel level) {
    if (MachineHas(kLevels[int(level)])) {
        switch (level) {
        case SimdLevel::scalar: break;
#if HWY_TARGETS & HWY_SSE4
        case SimdLevel::sse4: return {level, tesselume::N_SSE4::MapRowSimd, tesselume::N_SSE4::PatternRowSimd,
                                      tesselume::N_SSE4::SmoothRowSimd, tesselume::N_SSE4::GlueSamplesSimd};
#endif
#if HWY_TARGETS & HWY_AVX2
        case SimdLevel::avx2: return {level, tesselume::N_AVX2::MapRowSimd, tesselume::N_AVX2::PatternRowSimd,
                                      tesselume::N_AVX2::SmoothRowSimd, tesselume::N_AVX2::GlueSamplesSimd};
#endif
#if HWY_TARGETS & HWY_AVX3
        case SimdLevel::avx512: return {level, tesselume::N_AVX3::MapRowSimd, tesselume::N_AVX3::PatternRowSimd,
                                      tesselume::N_AVX3::SmoothRowSimd, tesselume::N_AVX3::GlueSamplesSimd};
#endif
        default: break;
        }
    }
    // The scalar reference takes every sine itself.
    const auto reference = [](const FieldConstants& field, const float* x, const float* y, int32_t count, float* t,
                              const XSines*) { PatternRow(field, x, y, count, t); };
    return {SimdLevel::scalar, MapRow, reference, nullptr, nullptr};
}

const char* SimdLevelName(SimdLevel level) { return kLevels[int(level)].name; }

SimdLevel SimdLevelFromEnvironment() {
    const std::vector<SimdLevel> levels = AvailableSimdLevels();
    if (const char* wanted = std::getenv("TESSELUME_SIMD")) {
        for (SimdLevel level : levels)
            if (std::strcmp(wanted, SimdLevelName(level)) == 0) return level;
    }
    return levels.back();
}

#endif  // HWY_ONCE
