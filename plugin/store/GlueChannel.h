// The integer glue modes: the per-channel formulas and the whole-colour modes that
// need no floating point, written once over a path record that holds the path's
// scale and shifts. Used by Glue.cpp only; every formula stays within 0..full for
// inputs within 0..full, and every intermediate product fits in 32 bits (the
// largest is 32768 * 32768).
#pragma once

#include <algorithm>
#include <cstdint>

#include "store/ColourSpaces.h"
#include "store/Glue.h"

namespace GlueModes {

struct Path8 {
    static constexpr bool wide = false;
    static constexpr GluePath path = GluePath::bits8;
    static constexpr int32_t full = 255;
    static constexpr int32_t half = 128;
    static constexpr int32_t unit = 256;       // the "one" of the lerp-like formulas
    static constexpr int32_t product = 8;      // shift after a product of two channels
    static constexpr int32_t hardLight = 7;    // shift of the hard-light operator
    static constexpr int32_t crossDivisor = 64;
};

struct Path16 {
    static constexpr bool wide = true;
    static constexpr GluePath path = GluePath::bits16;
    static constexpr int32_t full = 32768;
    static constexpr int32_t half = 16384;
    static constexpr int32_t unit = 32768;
    static constexpr int32_t product = 15;
    static constexpr int32_t hardLight = 14;
    static constexpr int32_t crossDivisor = 8192;
};

template <class P>
int32_t Clamp(int32_t x) {
    return std::min(P::full, std::max(int32_t(0), x));
}

template <class P>
int32_t Multiply(int32_t p, int32_t d) {
    return (p * d) >> P::product;
}

template <class P>
int32_t Screen(int32_t p, int32_t d) {
    return p + (((P::full - p) * d) >> P::product);
}

// Hard light with x as the light.
template <class P>
int32_t HardLight(int32_t x, int32_t y) {
    return x >= P::half ? P::full - (((P::full - x) * (P::full - y)) >> P::hardLight) : (x * y) >> P::hardLight;
}

// Pin light with y as the light.
template <class P>
int32_t PinLight(int32_t x, int32_t y) {
    return y < P::half ? std::min(x, 2 * y) : std::max(x, 2 * y - P::full);
}

// The 8-bit and 16-bit paths meet at 8-bit precision in modes 20 and 27.
inline int32_t To8(int32_t v) { return std::min(int32_t(255), ((v + 1) >> 7) & 511); }
inline int32_t From8(int32_t r) { return (r << 7) | (r >> 1); }

// 2: the pattern's weight follows the image value up and down again.
template <class P>
int32_t ProceduralPlus(int32_t p, int32_t d, const int32_t* pingPong) {
    if constexpr (P::wide) {
        const int32_t w = d <= 16383 ? d / 2 : 16384 - d / 2;
        return (w * p + (16384 - w) * d) >> 14;
    } else {
        const int32_t w = pingPong[d];
        return (w * p + (255 - w) * d) >> 8;
    }
}

// 14: differs from 4 on the 8-bit path only by 256 against 255 in the second factor.
template <class P>
int32_t Exclusion(int32_t p, int32_t d) {
    return ((P::full - d) * p + (P::unit - p) * d) >> P::product;
}

// 17: the image plus twice the pattern, centred.
template <class P>
int32_t LinearLight(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        const int32_t v = d + 2 * p - 32768;
        return p < 16384 ? std::max(int32_t(0), v) : std::min(int32_t(32768), v);
    } else {
        return p < 128 ? std::max(0, d + 2 * p - 256) : std::min(255, d + 2 * p - 255);
    }
}

// 20 at 8-bit precision, before clamping: colour burn below the middle, colour
// dodge above.
inline int32_t VividA8(int32_t p, int32_t d) {
    return p < 128 ? 255 + ((d - 255) * 256) / (2 * p + 1) : (d * 256) / (511 - 2 * p);
}

template <class P>
int32_t VividA(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        const int32_t r = VividA8(To8(p), To8(d));
        return r < 0 ? 0 : r >= 255 ? 32768 : From8(r);
    } else {
        return Clamp<P>(VividA8(p, d));
    }
}

// 25: the difference of the two distances from the middle, squared.
template <class P>
int32_t Cross(int32_t p, int32_t d) {
    const int32_t a = (p - P::half) * (p - P::half) / P::crossDivisor;
    const int32_t b = (d - P::half) * (d - P::half) / P::crossDivisor;
    return Clamp<P>(P::full - std::abs(a - b));
}

// 27, upper half at 8-bit precision.
inline int32_t SoftLightUpper8(int32_t p, int32_t d) {
    const int32_t e = 255 - d;
    return 255 - ((((e * e) >> 8) * (p - 130) + (258 - p) * e) >> 7);
}

template <class P>
int32_t SoftLight(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        if (p < 16384) return (p * d + ((d * d) / 32768) * (16384 - p)) >> 14;
        // p / 128 and d / 128 reach 256 at full scale; for d = 32768 and p just above
        // the middle that gives 257 * 128, so the result is held to full scale.
        return std::min(int32_t(32768), SoftLightUpper8(p / 128, d / 128) * 128);
    } else {
        if (p < 128) return (p * d + ((d * d) >> 8) * (128 - p)) >> 7;
        return SoftLightUpper8(p, d);
    }
}

// 30.
template <class P>
int32_t Dodge(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        if (p == 32768) return 32768;
        return std::min(int32_t(32768), (d * 32768) / (32768 - p));
    } else {
        return std::min(255, (d * 256) / (256 - p));
    }
}

// 31.
template <class P>
int32_t Burn(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        return Clamp<P>(32768 + ((d - 32768) * 32768) / (p + 1));
    } else {
        return Clamp<P>(255 + ((d - 255) * 256) / (p + 1));
    }
}

// 34: on the 16-bit path the mirror image of 33.
template <class P>
int32_t Queen(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        return ((d - p + 32768) * p) >> 15;
    } else {
        return ((p + 1) * d + (255 - p) * p) >> 8;
    }
}

// 35.
template <class P>
int32_t Jack(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        return (d * d + (32768 - d) * p) >> 15;
    } else {
        return ((d + 1) * d + (255 - d) * p) >> 8;
    }
}

// 39: 1 - (1 - x)^2 of the normalised product.
template <class P>
int32_t Multibright(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        const float x = float(double(p * d) * 0x1p-30);
        return int32_t((2.0 - double(x)) * 32768.0 * double(x));
    } else {
        const float x = float(p * d) * 1.53787e-5f;
        return int32_t((2.0 - double(x)) * 255.0 * double(x));
    }
}

// 58.
template <class P>
int32_t Dextrous(int32_t p, int32_t d) {
    constexpr float kReciprocal = 1.0f / float(P::full);
    return int32_t(float(P::full) * LightnessRatio(float(d) * kReciprocal, float(p) * kReciprocal));
}

// 62: (1 - x)^2 of the normalised product of the inverses.
template <class P>
int32_t Screendim(int32_t p, int32_t d) {
    if constexpr (P::wide) {
        const double u = 1.0 - double((32768 - p) * (32768 - d)) * 0x1p-30;
        return int32_t(u * u * 32768.0);
    } else {
        const float u = 1.0f - float((255 - p) * (255 - d)) * 1.53787e-5f;
        return int32_t(u * u * 255.0f);
    }
}

// 28 and 29 compare lumas with their low 8 bits cleared.
inline int32_t LumaHigh(GlueColour c) { return (77 * c.r + 150 * c.g + 28 * c.b) & ~255; }

// 48 to 51: each channel lerps from the pattern towards the image by a weight taken
// from another channel, of the pattern (48, 49) or of the image (50, 51).
template <class P>
int32_t Lerp(int32_t from, int32_t to, int32_t weight) {
    return ((P::unit - weight) * from + weight * to) >> P::product;
}

template <class P>
GlueColour North(GlueColour p, GlueColour d) {
    return {Lerp<P>(p.r, d.r, p.g), Lerp<P>(p.g, d.g, p.b), Lerp<P>(p.b, d.b, p.r)};
}
template <class P>
GlueColour South(GlueColour p, GlueColour d) {
    return {Lerp<P>(p.r, d.r, p.b), Lerp<P>(p.g, d.g, p.r), Lerp<P>(p.b, d.b, p.g)};
}
template <class P>
GlueColour East(GlueColour p, GlueColour d) {
    return {Lerp<P>(p.r, d.r, d.g), Lerp<P>(p.g, d.g, d.b), Lerp<P>(p.b, d.b, d.r)};
}
template <class P>
GlueColour West(GlueColour p, GlueColour d) {
    return {Lerp<P>(p.r, d.r, d.b), Lerp<P>(p.g, d.g, d.r), Lerp<P>(p.b, d.b, d.g)};
}

// 54 to 57 combine lightness and opponent components in the table space.
template <class P>
GlueColour Parietal(GlueColour p, GlueColour d) {
    return {(d.r * p.r) >> P::product, HardLight<P>(d.g, p.g), HardLight<P>(d.b, p.b)};
}
template <class P>
GlueColour Temporal(GlueColour p, GlueColour d) {
    return {P::full - (((P::full - d.r) * (P::full - p.r)) >> P::product), HardLight<P>(d.g, p.g),
            HardLight<P>(d.b, p.b)};
}
template <class P>
GlueColour Occipital(GlueColour p, GlueColour d) {
    return {PinLight<P>(d.r, p.r), PinLight<P>(d.g, p.g), PinLight<P>(d.b, p.b)};
}
template <class P>
GlueColour Limbic(GlueColour p, GlueColour d) {
    return {PinLight<P>(p.r, d.r), PinLight<P>(p.g, d.g), PinLight<P>(p.b, d.b)};
}

}  // namespace GlueModes
