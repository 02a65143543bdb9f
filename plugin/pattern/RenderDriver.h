// The render driver: renders one row of the filter rectangle. The row loop calls
// RenderStart once before the first row, RenderRow for every row with the host's
// buffers holding that row, and RenderFinish when the loop ends.
//
// Failures go to the current result slot; the row loop stops at the first one.
#pragma once

struct RunGlobals;

// Resets the render context in the work block: the colour tables are rebuilt at the
// next row, and the colour ramp image is created.
void RenderStart(RunGlobals& globals);
// Renders globals.loop.renderedRow from the host's inData into its outData.
void RenderRow(RunGlobals& globals);
// Releases what RenderStart took.
void RenderFinish(RunGlobals& globals);
