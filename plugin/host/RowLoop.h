// Row processing with the host: memory negotiation at Prepare, the work buffers of
// Start, the one-time Start set-up, render start, and the row loop that renders the
// whole filter rectangle one row per advanceState inside a single Continue call.
//
// Rows are counted from the top of the filter rectangle. Failures go to the current
// result slot; the loop stops at the first non-zero result.
#pragma once

#include <cstdint>

#include "PIFilter.h"

struct PreviewRows;
struct RunGlobals;
struct WorkBlock;

// Buffer sizes for a filter rectangle of W by H pixels, from the long row L =
// 2 * (max(W, H) + 4), at least 3 * W + 2184.
struct BufferPlan {
    int32_t rowBufferBytes;  // 4 L
    int32_t bufferSpace;     // what Prepare asks of the host: 4 L + 1112
};
BufferPlan PlanBuffers(int32_t width, int32_t height);

// Recomputes width, height and the last row and column from filterRect.
void ComputeGeometry(RunGlobals& globals);

// Forgets every work buffer without releasing it (a fresh globals or settings record).
void ClearWorkBuffers(RunGlobals& globals);
// Takes the row buffer and the work block. On failure releases what it took, empties
// the rectangles and returns false (the result is left for the caller to set).
bool AllocateWorkBuffers(RunGlobals& globals);
// Releases every work buffer (and the thumbnail image); safe to call twice.
void ReleaseWorkBuffers(RunGlobals& globals);
// Sets inRect, outRect and maskRect empty: the host then asks for nothing more.
void EmptyRectangles(FilterRecord& record);

// The one-time set-up of each Start, before the image size is recorded.
void StartSetup(RunGlobals& globals);
// Builds the tables, resets the render, and requests row 0 (calling advanceState when
// the host has it).
void RenderBegin(RunGlobals& globals);
// Sets the host's rectangles, planes, rates and paddings for row r.
void RequestRow(RunGlobals& globals, int32_t row);
// Renders the current row: progress (final run only), the row, the next row number,
// abort polling (not for the preview).
void RenderOneRow(RunGlobals& globals);
// The Continue selector: renders rows while the host delivers them, then finishes.
void DoContinue(RunGlobals& globals);
// Renders every row of an area the host has already delivered whole (the preview).
void RenderAllRows(RunGlobals& globals);
// Renders an area the host has just delivered whole, whose bounds are already in
// the row-loop state (the preview's window): render start's set-up, every row, then
// render finish. The pan and the reduction in the settings are kept.
void RenderDeliveredArea(RunGlobals& globals);

// The preview's rows (handed to the dialog as PreviewRows, dialog/Preview.h): asks the host
// for the visible window at the settings' reduction and pan, at most areaWidth x
// areaHeight reduced pixels, in reduced coordinates with the mask at the same rate,
// and makes it the row loop's area; and writes that window's source pixels alone.
OSErr RequestPreviewWindow(RunGlobals& globals, int32_t areaWidth, int32_t areaHeight, int32_t& width,
                           int32_t& height);
void RenderPreviewSource(RunGlobals& globals);
// Both, and RenderDeliveredArea, for the current call's globals.
const PreviewRows& PreviewRowsOfRowLoop();

// The render's lifecycle around the row loop. RenderStart builds the render plan
// from the current settings, the saved filter rectangle and the host's image format,
// and starts the workers that compute rows ahead; RenderRow renders loop.renderedRow
// from the host's buffers (in RunMode::store into the render's destination image),
// memFullErr without inData or outData; RenderFinish stops the workers and releases
// the colour ramp.
void RenderStart(RunGlobals& globals);
void RenderRow(RunGlobals& globals);
void RenderFinish(RunGlobals& globals);
