// The main dialog's live preview: the filter's result on the visible part of the
// image, rendered by the same row renderer as the final run (run mode 1) on a
// reduced copy the host delivers at a whole reduction factor s, and drawn into the
// dialog through the host's displayPixels.
//
// Coordinates: the preview area is control 5 of the dialog, shrunk by 2 pixels on
// every side for the image, with a one-pixel black frame around it. previewScale is
// s (1 shows every image pixel); previewPanX and previewPanY are the visible
// window's offset from the filter rectangle's top-left corner in full-resolution
// pixels. All three live in the settings record, so they persist with it.
//
// Hosts without reduced images (no advanceState, no displayPixels or samplingSupport
// 0) get s = 1 only, with every zoom button disabled. A host error while the
// preview is prepared turns the preview off for the run; later ones become the
// call's result.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "platform/ui/Canvas.h"

struct MainDialog;

constexpr int32_t kOpenHandCursor = 108;
constexpr int32_t kClosedHandCursor = 107;

// ---- Geometry (pure) ----

// The extent of e image pixels at reduction s: ceil(e / s).
int32_t ReducedExtent(int32_t extent, int32_t scale);
// The smallest s at which the extents fit the area: per axis ceil(E / min(E, A)),
// the larger of the two.
int32_t FitScale(int32_t extentX, int32_t extentY, int32_t areaX, int32_t areaY);

// Which zoom buttons are usable and what "%" reads (100 / s, then "%").
struct ZoomButtons {
    bool zoomIn, zoomOut, zoomFull;
    char percent[16];
};
ZoomButtons ZoomButtonStates(int32_t scale, int32_t zoomLimit, bool reducedImages);

// ---- The preview in the dialog ----

// Dialog run state of the preview.
struct PreviewState {
    bool reducedImages = false;  // the host delivers reduced images (advanceState, displayPixels, sampling)
    int32_t fitScale = 1;        // the smallest s showing the whole filter rectangle
    int32_t zoomLimit = 1;       // the largest s the "-" button reaches
    int32_t cursor = 0;          // 0 arrow, 1 open hand, 2 closed hand, 4 wait
    bool panning = false;        // the preview holds the mouse capture
    int32_t lastX = 0, lastY = 0;  // the pointer at the last pan step
    int32_t windowWidth = 0, windowHeight = 0;  // the window the host delivered last, reduced pixels
    bool shown = false;          // the host's output buffer holds a finished window
    bool sourceOnly = false;     // that window shows the source only (a pan step)
};

// The row loop's part of the preview, which the entry point hands to the dialog
// (DialogHost): the dialog layer does not reach into the row loop otherwise.
struct PreviewRows {
    // Asks the host for the visible window of the filter rectangle at the settings'
    // previewScale and pan, at most areaWidth x areaHeight reduced pixels, and makes
    // it the row loop's area; its size comes back. Returns the host's result.
    OSErr (*request)(int32_t areaWidth, int32_t areaHeight, int32_t& width, int32_t& height);
    // Renders the delivered window through the row loop's row renderer (run mode 1).
    void (*render)();
    // Writes the delivered window's source pixels, without the pattern (pan steps).
    void (*renderSource)();
};

// When the dialog opens, after the controls are set: computes the fit scale, sets
// zoom limit = previewScale = fit scale and the pan to 0, 0, and renders the first
// preview. A host error turns the preview off for the run and is forgotten.
void PreparePreview(MainDialog& dialog);
// After every change the dialog applies: copies the controls to the settings,
// renders the window and draws it with the rest of the area erased.
void RefreshPreview(MainDialog& dialog);
// On every paint of the dialog while the host can preview: the frame and the
// current preview pixels.
void DrawPreview(MainDialog& dialog, const ui::Canvas& canvas);

// Clicks on "+", "-" and "%"; other ids are ignored. True when the scale changed
// and the preview must be refreshed.
bool PreviewZoomClick(MainDialog& dialog, int id);
// After every click: enables the zoom buttons and sets the text of "%".
void UpdateZoomButtons(MainDialog& dialog);

// A left or right press on the preview: starts panning (closed hand) when s differs
// from the fit scale. True when it did; the dialog then captures the mouse for the
// preview until the release.
bool PreviewPress(MainDialog& dialog, int x, int y);
// A mouse move while panning: moves the window by the drag times s and shows the
// source image there, without the pattern.
void PreviewDrag(MainDialog& dialog, int x, int y);
// The release that ends panning: renders the pattern over the new window.
void PreviewRelease(MainDialog& dialog);
// A move without capture: the open hand over a preview that can pan, else the arrow.
void PreviewHover(MainDialog& dialog, int x, int y);
