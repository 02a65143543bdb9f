// The render plan: everything a render needs that does not change from row to row,
// built once per render from the settings, the filter rectangle and the image format.
// Row kernels take the plan and the row's inputs as arguments and read nothing else,
// so any number of rows can be computed at once from one plan.
//
// A row is rendered in two halves:
//   (a) PatternValues then PatternColours: the pattern of a row, independent of the
//       image (smooth carries a little state from pixel to pixel and row to row);
//   (b) CompositeColours (Compositing.h): the colours laid onto a row's source and
//       written to its sink.
// RenderPlanRow does both for one row. With the plan's kernels at SimdLevel::scalar
// it is the plain scalar reference; the SIMD kernels (RowKernels.h) and the rows
// computed ahead on workers (RowsAhead.h) give the same bits.
#pragma once

#include <cstdint>
#include <vector>

#include "PIFilter.h"
#include "pattern/ColourWaves.h"
#include "pattern/Geometry.h"
#include "pattern/PatternField.h"
#include "pattern/RowKernels.h"
#include "store/Glue.h"

struct ImageStore;
struct Settings;
struct RowEnds;

enum class DepthClass : uint8_t { bits8, bits16, floating };

// What the host's image is: the depth class, grey or colour, and whether it is a
// layer with editable transparency.
struct ImageFormat {
    DepthClass depth = DepthClass::bits8;
    bool grey = false;
    bool transparency = false;
};
// 8-bit: greyscale or RGB at depth below 9; 16-bit: 16-bit greyscale or RGB at depth
// 16; anything else is the float class. Transparency: filter cases 4 and 5.
ImageFormat ImageFormatOf(const FilterRecord& record);

struct RenderPlan {
    ImageFormat format;
    GeometryConstants geometry;
    FieldConstants field;
    RowKernels kernels;  // the pattern row kernels of the render's SIMD level
    ColourTables tables;
    const ImageStore* ramp;  // 256 x 1 colour ramp with reduced levels, read by smooth
    RampLevels rampLevels;   // the ramp's levels as plain arrays, read by the fast path
    bool smooth;
    // Depth scaling: a table value v is v * multiplier * reciprocal on the scale
    // 0..1, with the class's alpha; channel[v] is that on the image's integer scale.
    int32_t multiplier;
    float reciprocal, alpha;
    int32_t channel[256];
    // Compositing.
    int32_t glue;
    GluePath gluePath;
    int32_t maximum;  // M: 255, 32768 or 65535
    int32_t one;      // the integer one: 255, 32768 or 1
    float scale;      // 255, 32768 or 1
    int32_t pingPong[256];
};

// Builds the plan and fills ramp (a 256 x 1 RGBA8 image the caller owns and keeps
// for the length of the render; without tiles smooth reads zeros).
void BuildRenderPlan(const Settings& settings, const Rect& filterRect, ImageFormat format, SimdLevel level,
                     ImageStore& ramp, RenderPlan& plan);

// Pixels per kernel call: the callers' working arrays live on the stack.
constexpr int32_t kRowChunk = 256;

// (a1) The pattern values t of count (at most kRowChunk) pixels of a row, from
// column firstColumn on. Pure: any row, in any order, on any thread. xSines, where
// given, are the sines of x of these columns (ColumnXSines).
void PatternValues(const RenderPlan& plan, int32_t row, int32_t firstColumn, int32_t count, float* t,
                   const XSines* xSines = nullptr);

// Without a fold the points of a column share their x in every row: the sines of x
// of columns 0 .. columns - 1, taken once for a render (a table of kXSineRows rows,
// `columns` wide), else nothing (an empty table), as also at the scalar level.
std::vector<float> ColumnXSines(const RenderPlan& plan, int32_t columns);

// Smooth's state: the value of the pixel before (-1 at a row's start) and, per
// column, the value of the pixel above (the row buffer, -1 before the first row).
struct SmoothState {
    float* history;
    int32_t historyLength;
    float prev;
};

// (a2) The colours of count pixels from their values. Smooth reads and updates
// state, so rows go through here in order, left to right.
void PatternColours(const RenderPlan& plan, const float* t, int32_t firstColumn, int32_t count, SmoothState& state,
                    PatternColour* colours);

// Brings the row buffer to where PatternColours leaves it after a row of these
// values: each column holds the value of the pixel to its left (-1 for the first).
void FollowRowBuffer(const RenderPlan& plan, const float* values, int32_t rowLength, SmoothState& state);

// A row's pattern computed ahead (RowsAhead.h): its values and their colours.
struct PatternOfRow {
    const float* values;
    const PatternColour* colours;
};

// Renders one row: (a) then (b) over the row's source and sink. With `ahead` the
// row's (a) is done already and the row buffer follows it.
void RenderPlanRow(const RenderPlan& plan, int32_t row, const RowEnds& ends, SmoothState& state,
                   const PatternOfRow* ahead);
