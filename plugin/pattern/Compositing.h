// The compositing pass: lays a row of pattern colours onto the image. Each row has a
// source (where the image pixels are read) and a sink (where results are written),
// chosen once per row by the caller:
//   - the host's buffers: the final run, one row per request;
//   - the preview: the host's buffers holding the whole preview area, the results
//     shown through the selection weight and the layer's transparency over an 8 x 8
//     checkerboard;
//   - a store image, read and written in place (the exports).
// It reads the source pixel, turns grey images' pattern colour to grey, blends by the
// glue mode and writes the result. The float class (no host offers it) is not glued:
// the pattern itself is written.
//
// Columns x run from 0 within the row; coordinates outside it are clamped. Nothing
// here fails or allocates.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "pattern/RenderPlan.h"

struct ImageStore;

enum class SinkKind : uint8_t { host, preview, store };

// The rectangle of a preview selection, in rows and columns of the render, and the
// first and last row the host's mask buffer holds.
struct PreviewSelection {
    int32_t lastColumn, lastRow;
    int32_t maskFirstRow, maskLastRow;
};

// One row's source and sink.
struct RowEnds {
    SinkKind kind = SinkKind::host;
    int32_t y = 0;                   // the row, clamped into the image
    int32_t rowLength = 0;           // the clamp bound of columns
    const uint8_t* in = nullptr;     // host buffers: first sample of the row's first pixel
    uint8_t* out = nullptr;
    int32_t inStride = 0, outStride = 0;  // samples from one pixel to the next
    int32_t inAlpha = 0, outAlpha = 0;    // the transparency sample's index within a pixel
    ImageStore* image = nullptr;     // store: read and written in place
    // Preview: the selection weight 0..255 of column x is 0 beyond lastColumn, else
    // mask[x] where the host's mask buffer holds the row, else weight.
    const uint8_t* mask = nullptr;
    int32_t weight = 255;
    int32_t lastColumn = 0;
};

// Row y of the host's buffers: the final run's hold one row, the preview's the whole
// area (selection then gives the preview's weights).
RowEnds HostRowEnds(const FilterRecord& record, int32_t y);
RowEnds PreviewRowEnds(const FilterRecord& record, int32_t y, const PreviewSelection& selection);
// Row y of a store image, which is both source and sink.
RowEnds StoreRowEnds(ImageStore& image, int32_t y);

// The preview's selection weight of column x.
inline int32_t PreviewWeight(const RowEnds& ends, int32_t x) {
    if (x < 0 || x > ends.lastColumn) return 0;
    return ends.mask ? ends.mask[x] : ends.weight;
}

// (b) Composites count (at most kRowChunk) pixels from column firstColumn on.
void CompositeColours(const RenderPlan& plan, const RowEnds& ends, int32_t firstColumn, const PatternColour* colours,
                      int32_t count);

// The source-only preview row: writes the preview row's source pixels themselves
// through the selection weight, transparency and checkerboard, with no pattern.
void CompositeSourceRow(const RenderPlan& plan, const RowEnds& ends);
