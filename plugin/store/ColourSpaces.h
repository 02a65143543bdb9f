// The colour spaces some glue modes work in: an HSL model, a corrected lightness
// that evens out perceived brightness across hues, the polar chroma plane, and a
// table-driven L*a*b*-like space.
//
// Float components run 0..1 and are single precision; each function fixes its order
// of operations so that results are the same on every build. The HSL hue is in
// turns with sixths at the primaries and secondaries, and pure red gets 1.0, not 0.
#pragma once

#include <algorithm>
#include <cstdint>

#include "store/Glue.h"

struct Rgb {
    float r, g, b;
};

struct Hsl {
    float h, s, l;  // hue in turns, saturation, lightness (or corrected lightness)
};

// The classical HSL model.
Hsl RgbToHsl(Rgb c);
Rgb HslToRgb(float h, float s, float l);

// Luma 0.28 r + 0.52 g + 0.2 b of the fully lit colour (h, s, 0.5).
float HueLuma(float h, float s);

// HSL with l replaced by the corrected lightness: 0 at black, HueLuma at l = 0.5 and
// 1 at white, piecewise linear in l, so equal values look about equally bright
// whatever the hue.
Hsl RgbToHslCorrected(Rgb c);
Rgb HslCorrectedToRgb(float h, float s, float corrected);

// A lightness from two: 0.5 where y = x, rising towards 1 as y falls below x and
// falling towards 0 as y rises above it; 1 when both are 0. The quotient is formed
// in double precision and rounded once.
inline float LightnessRatio(float x, float y) {
    if (y <= x) return x > 0.0f ? float(std::min(1.0, 1.0 - 0.5 * double(y) / double(x))) : 1.0f;
    return y > 0.0f ? float(std::min(1.0, 0.5 * double(x) / double(y))) : 1.0f;
}

// The lightness product of two corrected lightnesses, (2 - d p) d p, pulled towards
// the reference e where e is very light (above 0.8) or very dark (below 0.2), and
// held to 0..1.
float LightnessProduct(float patternLightness, float imageLightness, float reference);

// The chroma plane: a hue angle in radians and a radius, and the point they name.
struct PlanePoint {
    float x, y;
};
struct PolarPoint {
    float angle, radius;  // angle in [0, 2 pi)
};
constexpr float kTwoPi = 6.2831855f;
PlanePoint PolarToPlane(PolarPoint polar);
PolarPoint PlaneToPolar(PlanePoint point);

// The table space: two 16 x 16 x 16 colour tables of three bytes per node, node
// (i, j, k) at byte 3 i + 48 j + 768 k, sampled at 0, 17, ..., 255 per axis. The
// forward table maps RGB to lightness 0..255 and two opponent components with greys
// at 128; the inverse table maps such triples back to RGB.
constexpr int kColourTableBytes = 16 * 16 * 16 * 3;
struct LabTables {
    uint8_t forward[kColourTableBytes];
    uint8_t inverse[kColourTableBytes];
};

// The tables, generated on first use (thread-safe) and constant afterwards.
const LabTables& GetLabTables();

// Tetrahedral interpolation in one table, on integers of the path's scale. Results
// run 0..255 on the 8-bit path and 0..32760 on the 16-bit path.
GlueColour TableInterpolate(const uint8_t* table, GlueColour c, GluePath path);

inline GlueColour ToLab(const LabTables& tables, GlueColour c, GluePath path) {
    return TableInterpolate(tables.forward, c, path);
}
inline GlueColour FromLab(const LabTables& tables, GlueColour c, GluePath path) {
    return TableInterpolate(tables.inverse, c, path);
}
