// The render context: the renderer's part of the work block. It lives from render
// start to render finish; the row loop zero-fills the block when it is allocated.
#pragma once

#include <cstdint>

#include "pattern/ColourWaves.h"
#include "store/ImageStore.h"

struct RenderContext {
    int32_t tablesBuilt;        // 0: build the colour tables and the ramp at the next row
    ColourTables tables;        // the colour waves of this render
    ImageStore ramp;            // 256 x 1 colour ramp with its reduced levels, for smooth
    ImageStore* destination;    // run mode 2: the export's image, read and written per pixel
};
