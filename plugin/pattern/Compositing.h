// The compositing pass: lays the pattern colour onto the image, one row at a time.
//
// It hides the three run modes (0: the host's row buffers in the final run; 1: the
// dialog preview, whose host buffers hold the whole preview area; 2: the export's
// store image) and the depth classes (8-bit 0..255, 16-bit 0..32768, and a float
// class no host offers). It reads the source pixel, turns grey images' pattern
// colour to grey, blends by the glue mode and writes the result; the preview shows
// the selection and the layer's transparency over an 8 x 8 checkerboard.
//
// Columns x run from 0 within the rendered row; rows y from the top of the render.
// Coordinates outside the row are clamped. Nothing here fails or allocates.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "store/Glue.h"

struct RunGlobals;
struct ImageStore;
struct Settings;

enum class DepthClass : uint8_t { bits8, bits16, floating };

// 8-bit: greyscale or RGB at depth below 9; 16-bit: 16-bit greyscale or RGB at depth
// 16; anything else is the float class.
DepthClass DepthClassOf(const FilterRecord& record);

// The pattern colour of one pixel: red, green, blue as channel values times m
// (1 for 8-bit, 128 otherwise) times q (1/255, 1/32768 or 1), and the class's alpha.
struct PatternColour {
    float red, green, blue, alpha;
};

// Everything the pass needs for one row, taken from the host record, the settings
// and the render context once per row.
struct CompositeRow {
    RunGlobals* globals;
    DepthClass depth;
    int32_t runMode;
    int32_t glue;
    GluePath gluePath;
    const int32_t* pingPong;
    bool transparency;           // filterCase 4 or 5: a layer with editable transparency
    bool grey;                   // planes below 3
    int32_t maximum;             // M: 255, 32768 or 65535
    int32_t one;                 // the integer one: 255, 32768 or 1
    float scale;                 // 255, 32768 or 1
    int32_t rowLength, rowCount; // the clamp bounds
    int32_t y;                   // the row, clamped
    uint8_t* in;                 // first sample of the row's first input and output pixel
    uint8_t* out;
    int32_t inStride, outStride; // samples from one pixel to the next
    int32_t inAlpha, outAlpha;   // the transparency sample's index within a pixel
    ImageStore* destination;     // run mode 2
};

// Prepares row y for the settings' run mode and glue; also used by the source-only
// preview row.
CompositeRow MakeCompositeRow(RunGlobals& globals, const Settings& settings, int32_t y);

// Pixels per call of CompositePixels: its working arrays live on the stack.
constexpr int32_t kCompositeChunk = 256;

// Composites count (at most kCompositeChunk) pixels from column firstColumn on.
void CompositePixels(const CompositeRow& row, int32_t firstColumn, const PatternColour* colours, int32_t count);

// The selection weight 0..255 of pixel (x, y) in the preview: 0 outside the render's
// columns and rows, 255 without a host mask, 0 for rows the host's mask buffer does
// not hold, else the mask byte.
int32_t maskWeight(int32_t x, int32_t y, const RunGlobals& globals);

// The source-only preview row: in run mode 1 with both host buffers present, writes
// row y's source pixels themselves through the preview's selection weight,
// transparency and checkerboard, with no pattern and no blend.
void RenderSourceRow(RunGlobals& globals, const Settings& settings, int32_t y);
