// The glue modes by number: one switch from mode to formula, instantiated once per
// mode and path as a row kernel, and the table of those kernels that GlueRow jumps
// through. With the mode fixed at compile time each kernel is a plain loop over its
// own formula, with no switch per pixel (GCC's -O2 keeps the loops scalar).
#include "store/Glue.h"

#include <array>
#include <cstdlib>
#include <utility>

#include "store/ColourSpaces.h"
#include "store/GlueChannel.h"
#include "store/GlueColour.h"

namespace GlueModes {
namespace {

using RowKernel = void (*)(const GlueColour* p, const GlueColour* d, GlueColour* out, int32_t count,
                           const int32_t* pingPong);

template <class F>
[[gnu::always_inline]] inline GlueColour PerChannel(GlueColour p, GlueColour d, F f) {
    return {f(p.r, d.r), f(p.g, d.g), f(p.b, d.b)};
}

// The result of one mode for one pixel. Every case is one direct formula.
template <class P>
[[gnu::always_inline]] inline GlueColour Pixel(int32_t mode, GlueColour p, GlueColour d, const int32_t* pingPong) {
    static constexpr int32_t M = P::full;
    switch (mode) {
    case 2: return PerChannel(p, d, [pingPong](int32_t a, int32_t b) { return ProceduralPlus<P>(a, b, pingPong); });
    case 3: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::min(M, a + ((a * b) >> P::product)); });
    case 4: return PerChannel(p, d, [](int32_t a, int32_t b) { return ((M - b) * a + (M - a) * b) >> P::product; });
    case 5: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::max(a, b); });
    case 6: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::min(a, b); });
    case 7: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::min(M, a + b); });
    case 8: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::max(int32_t(0), a - b); });
    case 9: return PerChannel(p, d, Multiply<P>);
    case 10: return PerChannel(p, d, Screen<P>);
    case 11: return PerChannel(p, d, [](int32_t a, int32_t b) { return HardLight<P>(a, b); });
    case 12: return PerChannel(p, d, [](int32_t a, int32_t b) { return HardLight<P>(b, a); });
    case 13:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            // Multiply and screen each pushed further out by squaring their inverses.
            const int32_t fromMultiply = M - Multiply<P>(a, b), fromScreen = M - Screen<P>(a, b);
            return HardLight<P>(M - ((fromMultiply * fromMultiply) >> P::product),
                                M - ((fromScreen * fromScreen) >> P::product));
        });
    case 14: return PerChannel(p, d, Exclusion<P>);
    case 15: return Color(p, d, M);
    case 16: return Luminance(p, d, M);
    case 17: return PerChannel(p, d, LinearLight<P>);
    case 18: return PerChannel(p, d, [](int32_t a, int32_t b) { return PinLight<P>(b, a); });
    case 19: return PerChannel(p, d, [](int32_t a, int32_t b) { return PinLight<P>(a, b); });
    case 20: return PerChannel(p, d, VividA<P>);
    case 21: return PerChannel(p, d, [](int32_t a, int32_t b) { return Clamp<P>(2 * a - b); });
    case 22: return Saturation(p, d, M);
    case 23: return Hue(p, d, M);
    case 24: return PerChannel(p, d, [](int32_t a, int32_t b) { return M - std::abs(a + b - M); });
    case 25: return PerChannel(p, d, Cross<P>);
    case 26: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::abs(a - b); });
    case 27: return PerChannel(p, d, SoftLight<P>);
    case 28: return LumaHigh(p) >= LumaHigh(d) ? p : d;
    case 29: return LumaHigh(p) <= LumaHigh(d) ? p : d;
    case 30: return PerChannel(p, d, Dodge<P>);
    case 31: return PerChannel(p, d, Burn<P>);
    case 32: return PerChannel(p, d, [](int32_t a, int32_t b) { return (a * a + (P::unit - a) * b) >> P::product; });
    case 33: return PerChannel(p, d, [](int32_t a, int32_t b) { return ((a - b + P::unit) * b) >> P::product; });
    case 34: return PerChannel(p, d, Queen<P>);
    case 35: return PerChannel(p, d, Jack<P>);
    case 36: return PerChannel(p, d, [](int32_t a, int32_t b) { return a & b; });
    // Full scale on the 16-bit path is the lone bit 15, so a full channel ORed or
    // XORed with any other value would pass 32768; those results are held to it.
    case 37: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::min(M, a | b); });
    case 38: return PerChannel(p, d, [](int32_t a, int32_t b) { return std::min(M, a ^ b); });
    case 39: return PerChannel(p, d, Multibright<P>);
    case 40:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            return PinLight<P>(PinLight<P>(M - a, b), PinLight<P>(a, b));
        });
    case 41:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            return PinLight<P>(PinLight<P>(M - b, a), PinLight<P>(b, a));
        });
    case 42:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            return PinLight<P>(M - HardLight<P>(a, M - b), HardLight<P>(b, a));
        });
    case 43:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            return PinLight<P>(M - HardLight<P>(M - a, M - b), HardLight<P>(b, M - a));
        });
    case 44:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            return PinLight<P>(HardLight<P>(b, a), HardLight<P>(a, b));
        });
    case 45:
        return PerChannel(p, d, [](int32_t a, int32_t b) {
            return PinLight<P>(HardLight<P>(a, b), HardLight<P>(b, a));
        });
    case 46: return Wax(p, d, M);
    case 47: return Wane(p, d, M);
    case 48: return North<P>(p, d);
    case 49: return South<P>(p, d);
    case 50: return East<P>(p, d);
    case 51: return West<P>(p, d);
    case 52: return PerChannel(p, d, [](int32_t a, int32_t b) { return a + b > M ? M : 0; });
    case 53: return Frontal(p, d, M);
    case 54: case 55: case 56: case 57: {
        const LabTables& tables = GetLabTables();
        const GlueColour lp = ToLab(tables, p, P::path), ld = ToLab(tables, d, P::path);
        const GlueColour mixed = mode == 54   ? Parietal<P>(lp, ld)
                                 : mode == 55 ? Temporal<P>(lp, ld)
                                 : mode == 56 ? Occipital<P>(lp, ld)
                                              : Limbic<P>(lp, ld);
        return FromLab(tables, mixed, P::path);
    }
    case 58: return PerChannel(p, d, Dextrous<P>);
    case 59: return Sinister(p, d, M);
    case 60: return Anterior(p, d, M);
    case 61: return Posterior(p, d, M);
    case 62: return PerChannel(p, d, Screendim<P>);
    default: return p;  // 1 "normal", and every index outside 2..62
    }
}

template <int mode, class P>
void Row(const GlueColour* p, const GlueColour* d, GlueColour* out, int32_t count, const int32_t* pingPong) {
    for (int32_t i = 0; i < count; ++i) out[i] = Pixel<P>(mode, p[i], d[i], pingPong);
}

template <class P, int... modes>
constexpr std::array<RowKernel, sizeof...(modes)> MakeKernels(std::integer_sequence<int, modes...>) {
    return {&Row<modes, P>...};
}

// The kernels by mode number 0..62; entries 0 and 1 copy the pattern.
constexpr auto kKernels8 = MakeKernels<Path8>(std::make_integer_sequence<int, kGlueModeCount + 1>{});
constexpr auto kKernels16 = MakeKernels<Path16>(std::make_integer_sequence<int, kGlueModeCount + 1>{});

}  // namespace
}  // namespace GlueModes

void BuildPingPongTable(int32_t table[256]) {
    for (int32_t v = 0; v < 256; ++v) table[v] = v < 128 ? 2 * v : 511 - 2 * v;
}

void GlueRow(int32_t mode, GluePath path, const GlueColour* p, const GlueColour* d, GlueColour* out, int32_t count,
             const int32_t pingPong[256]) {
    const size_t index = GlueIsNormal(mode) ? 1 : size_t(mode);
    const auto& kernels = path == GluePath::bits8 ? GlueModes::kKernels8 : GlueModes::kKernels16;
    kernels[index](p, d, out, count, pingPong);
}
