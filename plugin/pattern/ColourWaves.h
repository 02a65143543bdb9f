// Colour waves: turn the pattern value t into a colour.
//
// Each of red, green and blue has a sine wave over the range of t, sampled once
// per render into a 256-entry table; a pixel looks its colour up by an 8-bit index
// taken from t. With smooth on, the lookup reads a 256 x 1 ramp image holding the
// same tables at a blur level chosen from how fast t changes between neighbouring
// pixels, so that fine bands do not alias.
#pragma once

#include <cstdint>

#include "store/ImageStore.h"

struct Settings;

struct ColourTables {
    uint8_t red[256], green[256], blue[256];
};

// One channel's table: the identity ramp for zero cycles, else
// table[i] = low 8 bits of trunc((sin((angle_i - phase) * cycles) * amplitude + shift) * 127.5 + 127.5)
// with angle_i running from -pi to pi. Values beyond -1..1 wrap rather than clamp.
void buildColourWave(double cycles, double phase, double shift, double amplitude, uint8_t table[256]);

// The three tables from the settings' cycles, phase, shift and amplitude.
void BuildColourTables(const Settings& settings, ColourTables& tables);

// Writes the tables into level 0 of the ramp (alpha 255) and rebuilds its reduced
// levels; a ramp without pixel storage is left alone.
void FillRamp(ImageStore& ramp, const ColourTables& tables);

// The colour index of t: the low 8 bits of trunc(t * 255); t = 1 gives 255, t = 0.5 127.
inline int32_t ColourIndex(float t) {
    const float scaled = t * 255.0f;
    // Floats of magnitude 2^31 and more are multiples of 256 (low bits 0); NaN gives 0.
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
    return int32_t(scaled) & 255;
}

// The pattern colour of one pixel: the colour tables' (or the smooth ramp's) red,
// green and blue, 0..255.
struct PatternColour {
    int32_t red, green, blue;
};

// The ramp's levels copied into plain arrays, so that the fast path's smooth lookup
// (RowKernels.h) reads them without the store's tile addressing. A 256-pixel ramp
// has 9 levels.
constexpr int32_t kRampLevels = 9;
struct RampLevels {
    int32_t topLevel;  // -1: the ramp holds no pixels
    int32_t sampleWidth[kRampLevels];  // entries per level, at most 256; the last is at sampleWidth - 1
    // Entry x of level l at [l * 256 + x]: red | green << 8 | blue << 16, so that one
    // 32-bit gather reads a whole colour.
    int32_t colours[kRampLevels * 256];
};

void CopyRampLevels(const ImageStore& ramp, RampLevels& levels);

// The smooth lookup of one pixel. prev is the t of the pixel to the left (-1 for
// none) and above the row buffer's entry for this column (-1 for none). Reads the
// ramp at the level log2(0.7071 * 255 * largest difference) and moves the history
// on: above becomes prev, prev becomes t.
IntRGBA SmoothColour(const ImageStore& ramp, float t, float& prev, float& above);
