// The render driver: renders one row of the filter rectangle. The row loop calls
// RenderStart once before the first row, RenderRow for every row with the host's
// buffers holding that row (the preview's hold the whole area), and RenderFinish
// when the loop ends.
//
// A row runs as row kernels over chunks of pixels: pattern-space points
// (Geometry.h), pattern values (PatternField.h), colours (ColourWaves.h), then the
// compositing pass (Compositing.h). Pixels are taken strictly left to right because
// smooth compares each pixel with the one before it and with the row buffer's entry
// of its column. This is the plain scalar reference of the per-pixel pipeline.
//
// Failures go to the current result slot; the row loop stops at the first one.
#pragma once

struct RunGlobals;

// Resets the render context in the work block: the colour tables are rebuilt at the
// next row, and the colour ramp image is (re)created.
void RenderStart(RunGlobals& globals);
// Renders globals.loop.renderedRow from the host's inData into its outData (in run
// mode 2 into the render context's destination image). Without inData or outData
// the result becomes memFullErr and nothing is computed.
void RenderRow(RunGlobals& globals);
// Releases the colour ramp image's storage.
void RenderFinish(RunGlobals& globals);
