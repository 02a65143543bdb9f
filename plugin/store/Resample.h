// Windowed-sinc resampling of store images: a 5 x 5-tap filter whose weights come from
// a table of 128 sub-pixel phases, applied to one level or blended between two, and
// the resize and copy operations built on it.
//
// Level pixel coordinates put pixel n's centre at n; normalised coordinates (u, v)
// run 0..1 across a level. Nothing here fails: missing images, empty rectangles and
// pixel kinds without a sampler give zeros or do nothing.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "store/ImageStore.h"

constexpr int kWeightPhases = 128;
constexpr int kWeightTaps = 5;

// The weights of the five taps for each phase, in three forms. Tap j of phase p
// belongs to the column (or row) two to the right of the sample's pixel minus j. Each
// integer phase sums exactly to its scale.
struct WeightTable {
    float floats[kWeightTaps][kWeightPhases];       // summing to 1
    int32_t scaled2048[kWeightTaps][kWeightPhases];  // the 8-bit kinds' integer weights
    int32_t scaled32768[kWeightTaps][kWeightPhases]; // the 16-bit kinds' integer weights
};

// Fills the table: a Lanczos kernel of radius 2 averaged over 20 points spread across
// 19/21 of a pixel, normalised per phase.
void BuildWeightTable(WeightTable& table);

// The windowed-sinc value at level pixel coordinates (x, y), on the image's own scale
// (0..255, 0..32768, or the stored floats). Channels the kind lacks are 0; kind 0 and
// the other single-channel kinds give their value in `red`. Negative lobes may give
// values slightly outside the scale near sharp edges.
FloatRGBA sample(const ImageStore* image, int level, float x, float y);
// sample at normalised (u, v) on level L = level held to 0..topLevel - 1, blended
// with level L + 1 by t when t is not 0. Kind 0 comes back as grey with alpha 255;
// kinds 3, 4, 9 as their four channels; other kinds as zeros.
FloatRGBA sampleTrilinear(const ImageStore* image, int level, float t, float u, float v);
// sampleTrilinear times invScale: 0..1 for the integer kinds.
FloatRGBA sampleNormalised(const ImageStore* image, int level, float t, float u, float v);

// Draws the source's level 0 into destinationRect of the destination's level 0 as
// packed 8-bit pixels with alpha 255, from the level log2(source width / destination
// width) - bias, then rebuilds the destination's pyramid.
void resize(const ImageStore* source, ImageStore* destination, Rect sourceRect, Rect destinationRect, float bias);
// Same level-0 sizes: copyLevel of level 0; otherwise resize with bias 0.5. Either way
// the destination's pyramid is rebuilt.
void copyOrResize(const ImageStore* source, ImageStore* destination);
// Copies the overlap of two levels through getRGBAFloat and setRGBAFloat; nothing when
// the pixel kinds differ.
void copyLevel(const ImageStore* source, ImageStore* destination, int sourceLevel, int destinationLevel);

// A point treated by edgeMap: the coordinates and level to sample, or outside.
struct EdgePoint {
    float u, v, level;
    bool outside;
};
// The coordinate treatment of a point outside 0 <= u <= 1, 0 <= v < 1 by mode:
// 1 outside, 2 clamp and blur towards the top level with distance,
// 3 clamp, 4 wrap u and clamp v, 5 and 6 wrap both, 7 wrap with every other row of
// repetitions mirrored and shifted by half. Points inside, and other modes, are
// returned unchanged.
EdgePoint edgeMap(float u, float v, float level, int mode, const ImageStore* image);
