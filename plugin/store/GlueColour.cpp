// The whole-colour glue modes in HSL, corrected lightness and the chroma plane.
#include "store/GlueColour.h"

#include <algorithm>
#include <cmath>

#include "store/ColourSpaces.h"
#include "store/PixelMath.h"

namespace GlueModes {

namespace {

Rgb ToUnit(GlueColour c, int32_t full) {
    const float reciprocal = 1.0f / float(full);
    return {float(c.r) * reciprocal, float(c.g) * reciprocal, float(c.b) * reciprocal};
}

GlueColour FromUnit(Rgb c, int32_t full) {
    const float scale = float(full);
    return {int32_t(scale * c.r), int32_t(scale * c.g), int32_t(scale * c.b)};
}

// The integer luma, shifted, then normalised.
float NormalisedLuma(GlueColour c, int32_t full) {
    return float(Luma(c.r, c.g, c.b)) * (1.0f / float(full));
}

// |2 l - 1| to the fourth: 1 at black and white, 0 at the mid-tones.
float DistanceFromMiddle4(float l) {
    const float f = std::fabs(2.0f * l - 1.0f);
    const float f2 = f * f;
    return f2 * f2;
}

GlueColour WeightedMix(GlueColour p, GlueColour d, float w) {
    const float keep = 1.0f - w;
    return {int32_t(float(d.r) * keep + float(p.r) * w), int32_t(float(d.g) * keep + float(p.g) * w),
            int32_t(float(d.b) * keep + float(p.b) * w)};
}

}  // namespace

GlueColour Color(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hp = RgbToHsl(ToUnit(p, full));
    return FromUnit(HslCorrectedToRgb(hp.h, hp.s, NormalisedLuma(d, full)), full);
}

GlueColour Luminance(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hd = RgbToHsl(ToUnit(d, full));
    return FromUnit(HslCorrectedToRgb(hd.h, hd.s, NormalisedLuma(p, full)), full);
}

GlueColour Saturation(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hp = RgbToHsl(ToUnit(p, full));
    const Hsl cd = RgbToHslCorrected(ToUnit(d, full));
    return FromUnit(HslCorrectedToRgb(cd.h, hp.s, cd.l), full);
}

GlueColour Hue(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hp = RgbToHsl(ToUnit(p, full));
    const Hsl cd = RgbToHslCorrected(ToUnit(d, full));
    return FromUnit(HslCorrectedToRgb(hp.h, cd.s, cd.l), full);
}

GlueColour Wax(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hp = RgbToHsl(ToUnit(p, full));
    return WeightedMix(p, d, hp.s * (1.0f - DistanceFromMiddle4(hp.l)));
}

GlueColour Wane(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hp = RgbToHsl(ToUnit(p, full));
    return WeightedMix(p, d, (1.0f - hp.s) * (1.0f - DistanceFromMiddle4(hp.l)));
}

// Both colours become points of the chroma plane (hue as angle, saturation as
// radius); the image's point pulls the pattern's towards it by how far both are
// from black and white, and the darker lightness of the two is kept.
GlueColour Frontal(GlueColour p, GlueColour d, int32_t full) {
    const Hsl hp = RgbToHsl(ToUnit(p, full));
    const Hsl hd = RgbToHsl(ToUnit(d, full));
    const PlanePoint a = PolarToPlane({kTwoPi * hp.h, hp.s});
    const PlanePoint b = PolarToPlane({kTwoPi * hd.h, hd.s});
    const float w = (1.0f - DistanceFromMiddle4(hd.l)) * (1.0f - DistanceFromMiddle4(hp.l));
    const PolarPoint mixed = PlaneToPolar({a.x + (b.x - a.x) * w, a.y + (b.y - a.y) * w});
    return FromUnit(HslToRgb(mixed.angle / kTwoPi, mixed.radius, std::min(hp.l, hd.l)), full);
}

GlueColour Sinister(GlueColour p, GlueColour d, int32_t full) {
    const Hsl cp = RgbToHslCorrected(ToUnit(p, full));
    return FromUnit(HslCorrectedToRgb(cp.h, cp.s, LightnessRatio(NormalisedLuma(d, full), cp.l)), full);
}

GlueColour Anterior(GlueColour p, GlueColour d, int32_t full) {
    const Hsl cp = RgbToHslCorrected(ToUnit(p, full));
    const Hsl cd = RgbToHslCorrected(ToUnit(d, full));
    return FromUnit(HslCorrectedToRgb(cp.h, cp.s, LightnessProduct(cp.l, cd.l, cp.l)), full);
}

GlueColour Posterior(GlueColour p, GlueColour d, int32_t full) {
    const Hsl cp = RgbToHslCorrected(ToUnit(p, full));
    const Hsl cd = RgbToHslCorrected(ToUnit(d, full));
    return FromUnit(HslCorrectedToRgb(cd.h, cd.s, LightnessProduct(cp.l, cd.l, cd.l)), full);
}

}  // namespace GlueModes
