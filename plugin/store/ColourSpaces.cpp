// The HSL model, the corrected lightness, the chroma plane and the table-space
// interpolation used by the glue modes.
#include "store/ColourSpaces.h"

#include <cmath>
#include <utility>

#include "store/PixelMath.h"

Hsl RgbToHsl(Rgb c) {
    const float mx = std::max(c.r, std::max(c.g, c.b));
    const float mn = std::min(c.r, std::min(c.g, c.b));
    Hsl out{0.0f, 0.0f, (mx + mn) * 0.5f};
    if (out.l <= 0.0f) return out;
    const float delta = mx - mn;
    if (delta <= 0.0f) return out;
    out.s = out.l <= 0.5f ? delta / (mx + mn) : delta / (2.0f - mx - mn);
    // Hue in sixths of a turn, from the channel that is largest and the one that is
    // smallest; red with blue smallest counts from 0, red with green smallest from 5,
    // so pure red lands on 6 (1.0 turns).
    float sixths;
    if (c.r == mx) {
        sixths = c.g != mn ? 1.0f - (mx - c.g) / delta : 5.0f + (mx - c.b) / delta;
    } else if (c.g == mx) {
        sixths = c.b != mn ? 3.0f - (mx - c.b) / delta : 1.0f + (mx - c.r) / delta;
    } else {
        sixths = c.r == mn ? 3.0f + (mx - c.g) / delta : 5.0f - (mx - c.r) / delta;
    }
    out.h = sixths * (1.0f / 6.0f);
    return out;
}

Rgb HslToRgb(float h, float s, float l) {
    const float q = l <= 0.5f ? (1.0f + s) * l : s + l - s * l;
    if (q <= 0.0f) return {0.0f, 0.0f, 0.0f};
    const float m = 2.0f * l - q;
    const float sixths = 6.0f * h;
    const int32_t sector = int32_t(sixths);
    const float f = sixths - float(sector);
    const float up = (q - m) * f + m;
    const float down = q - (q - m) * f;
    switch (sector) {
    case 1: return {down, q, m};
    case 2: return {m, q, up};
    case 3: return {m, down, q};
    case 4: return {up, m, q};
    case 5: return {q, m, down};
    default: return {q, up, m};  // sector 0, and 6 (a hue of 1.0) wrapping to 0
    }
}

float HueLuma(float h, float s) {
    const Rgb c = HslToRgb(h, s, 0.5f);
    return float(0.28 * double(c.r) + 0.52 * double(c.g) + 0.2 * double(c.b));
}

Hsl RgbToHslCorrected(Rgb c) {
    Hsl out = RgbToHsl(c);
    const float k = HueLuma(out.h, out.s);
    out.l = out.l <= 0.5f ? 2.0f * out.l * k : (out.l - 0.5f) * 2.0f * (1.0f - k) + k;
    return out;
}

Rgb HslCorrectedToRgb(float h, float s, float corrected) {
    const float k = std::clamp(HueLuma(h, s), 0.0f, 1.0f);
    float l;
    if (corrected >= 1.0f) {
        l = 1.0f;
    } else if (corrected <= 0.0f) {
        l = 0.0f;
    } else if (corrected > k) {
        l = (corrected - k) / (1.0f - k) * 0.5f + 0.5f;
    } else {
        l = corrected / k * 0.5f;
    }
    return HslToRgb(h, s, l);
}

float LightnessProduct(float patternLightness, float imageLightness, float reference) {
    const float e = reference;
    float lambda = (2.0f - imageLightness * patternLightness) * imageLightness * patternLightness;
    if (e > 0.8f) lambda = lambda + (e - 0.8f) * 5.0f * (e - lambda);
    if (e < 0.2f) lambda = lambda + (0.2f - e) * 5.0f * (e - lambda);
    return std::clamp(lambda, 0.0f, 1.0f);
}

PlanePoint PolarToPlane(PolarPoint polar) {
    return {polar.radius * PixelMath::Cos(polar.angle), polar.radius * PixelMath::Sin(polar.angle)};
}

PolarPoint PlaneToPolar(PlanePoint point) {
    constexpr float kPi = 3.1415927f;
    float angle;
    if (point.x > 0.0f) {
        angle = PixelMath::Atan(point.y / point.x);
        if (angle < 0.0f) angle += kTwoPi;
    } else if (point.x < 0.0f) {
        angle = PixelMath::Atan(point.y / point.x) + kPi;
    } else {
        angle = point.y > 0.0f ? 1.5707964f : point.y < 0.0f ? 4.712389f : 0.0f;
    }
    // A tiny negative angle plus 2 pi rounds to 2 pi itself; that is angle 0.
    if (angle >= kTwoPi) angle = 0.0f;
    return {angle, std::sqrt(point.x * point.x + point.y * point.y)};
}

GlueColour TableInterpolate(const uint8_t* table, GlueColour c, GluePath path) {
    constexpr int32_t kStride[3] = {3, 48, 768};
    const float step = path == GluePath::bits8 ? 17.0f : 2184.5334f;
    const int32_t component[3] = {c.r, c.g, c.b};
    int32_t base = 0;
    int32_t fraction[3];
    int32_t next[3];  // offset to the next node along each axis; 0 at the last node,
                      // where the fraction, and so the step's weight, is 0
    for (int k = 0; k < 3; ++k) {
        // On the 8-bit path the single-precision quotient and remainder by 17 are
        // exact, so integer division gives the same node and fraction, faster.
        const int32_t node = path == GluePath::bits8 ? std::min(component[k] / 17, int32_t(15))
                                                     : std::min(int32_t(float(component[k]) / step), int32_t(15));
        fraction[k] = path == GluePath::bits8 ? component[k] - 17 * node
                                              : int32_t(float(component[k]) - float(node) * step);
        base += node * kStride[k];
        next[k] = node < 15 ? kStride[k] : 0;
    }
    // Axes by fraction, largest first; equal fractions keep their axis order (and
    // give the same result either way, as the step between them weighs 0).
    int order[3] = {0, 1, 2};
    if (fraction[order[1]] > fraction[order[0]]) std::swap(order[0], order[1]);
    if (fraction[order[2]] > fraction[order[1]]) std::swap(order[1], order[2]);
    if (fraction[order[1]] > fraction[order[0]]) std::swap(order[0], order[1]);
    const int32_t hi = fraction[order[0]], mid = fraction[order[1]], lo = fraction[order[2]];

    // The tetrahedron's four corners: walk from the base node along the axes in that order.
    const uint8_t* n0 = table + base;
    const uint8_t* n1 = n0 + next[order[0]];
    const uint8_t* n2 = n1 + next[order[1]];
    const uint8_t* n3 = n2 + next[order[2]];
    const int32_t w0 = int32_t(step - float(hi)), w1 = hi - mid, w2 = mid - lo, w3 = lo;
    int32_t out[3];
    for (int k = 0; k < 3; ++k) out[k] = (w0 * n0[k] + w1 * n1[k] + w2 * n2[k] + w3 * n3[k]) / 17;
    return {out[0], out[1], out[2]};
}
