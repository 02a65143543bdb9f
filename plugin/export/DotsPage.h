// The memory-dots page: the filter's result for every filled memory dot, 4 to a
// row, each dot's settings rendered over the filtered area at a size whose larger
// side is 300 pixels and written beside the page by the catalogue pages' writer
// (HtmlPages.h).
#pragma once

#include "PIFilter.h"
#include "pattern/RenderPlan.h"
#include "settings/StoredState.h"

struct Settings;
struct WeightTable;

struct DotsPageJob {
    const Settings* settings;          // the current settings: each dot loads over a copy of them
    bool filled[kMemoryDotCount];      // the dots that hold settings
    Rect area;                         // the filtered area, whose shape the pictures keep
    ImageFormat format;                // the host's image; the pictures are 8-bit
    const WeightTable* weights;        // the weights every store image shares
};

// Writes the page: a cell "dot N" (N from 1) for each filled dot whose file reads to
// its end. dotCount tells how many. kOpenErr when the page cannot be opened, writErr
// when a write to it failed.
OSErr WriteMemoryDotsPage(const DotsPageJob& job, const char* pagePath, int& dotCount);
