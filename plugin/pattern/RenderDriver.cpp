// Render driver. Until the pattern pipeline lands, a row is passed through unchanged.
#include "pattern/RenderDriver.h"

#include <cstring>

#include "host/Globals.h"

void RenderStart(RunGlobals&) {}

void RenderRow(RunGlobals& globals) {
    FilterRecord* record = globals.filterRecord;
    if (!record->inData || !record->outData) {
        SetResult(memFullErr);
        return;
    }
    const int32_t bytes = (record->outRect.right - record->outRect.left) * record->planes * (record->depth / 8);
    std::memcpy(record->outData, record->inData, std::size_t(bytes));
}

void RenderFinish(RunGlobals&) {}
