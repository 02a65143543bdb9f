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
// preview is prepared is returned so that the dialog can turn the preview off.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "platform/ui/Dialog.h"

struct RunGlobals;
struct Settings;

constexpr int kPreviewControl = 5;
constexpr int kZoomInButton = 10;    // "+"
constexpr int kZoomOutButton = 11;   // "-"
constexpr int kZoomFullButton = 12;  // "%": 100 %, its text the current percentage
constexpr int32_t kOpenHandCursor = 108;
constexpr int32_t kClosedHandCursor = 107;

// ---- Geometry (pure) ----

// The extent of e image pixels at reduction s: ceil(e / s).
int32_t ReducedExtent(int32_t extent, int32_t scale);
// The smallest s at which the extents fit the area: per axis ceil(E / min(E, A)),
// the larger of the two.
int32_t FitScale(int32_t extentX, int32_t extentY, int32_t areaX, int32_t areaY);
// A pan held to 0..max(0, (ceil(E / s) - A) * s).
int32_t ClampPan(int32_t pan, int32_t extent, int32_t area, int32_t scale);
// The pan after a zoom from oldScale to newScale that keeps the image point at the
// window's centre at its centre, clamped.
int32_t RecentredPan(int32_t pan, int32_t extent, int32_t area, int32_t oldScale, int32_t newScale);

// Which zoom buttons are usable and what "%" reads (100 / s, then "%").
struct ZoomButtons {
    bool zoomIn, zoomOut, zoomFull;
    char percent[16];
};
ZoomButtons ZoomButtonStates(int32_t scale, int32_t zoomLimit, bool reducedImages);

// ---- The preview in the dialog ----

// Dialog run state of the preview.
struct PreviewState {
    bool reducedImages;     // the host delivers reduced images (advanceState, displayPixels, sampling)
    int32_t fitScale;       // the smallest s showing the whole filter rectangle
    int32_t zoomLimit;      // the largest s the "-" button reaches
    ZoomButtons buttons;
    int32_t cursor;         // 0 arrow, 1 open hand, 2 closed hand, 4 wait
    bool panning;           // the preview holds the mouse capture
    int32_t lastX, lastY;   // the pointer at the last pan step
    bool shown;             // pixels from a finished render or pan step are in the host's buffer
    bool sourceOnly;        // they are the pan step's source-only rows
    int32_t refreshes;      // renders done since Prepare
};

// Computes the fit scale, sets zoom limit = previewScale = fit scale and the pan to
// 0, 0, and renders the first preview. Returns the host's error, if any.
OSErr PreparePreview(PreviewState& state, ui::Window* window);
// Renders the window for the current settings and draws it with the surroundings
// erased. The dialog calls it once per applied change, after copying its controls
// to the settings.
void RefreshPreview(PreviewState& state, ui::Window* window);
// Paints the frame and the current preview pixels; for the dialog's Paint.
void DrawPreview(PreviewState& state, ui::Window* window);

// Clicks on "+", "-" and "%"; other ids are ignored. True when the scale changed
// and the preview must be refreshed.
bool PreviewZoomClick(PreviewState& state, ui::Window* window, int id);
// Enables the zoom buttons and sets the text of "%" from the current scale.
void UpdateZoomButtons(PreviewState& state, ui::Window* window);

// A left or right press at (x, y): starts panning (closed hand) when it lies on the
// preview and s differs from the fit scale. True when it did; the dialog then
// captures the mouse for the preview until the release.
bool PreviewPress(PreviewState& state, ui::Window* window, int x, int y);
// A mouse move while panning: moves the window by the drag times s and shows the
// source image there, without the pattern.
void PreviewPanTo(PreviewState& state, ui::Window* window, int x, int y);
// The release that ends panning: renders the pattern over the new window.
void PreviewRelease(PreviewState& state, ui::Window* window);
// A move without capture: the open hand over a preview that can pan, else the
// arrow. True when the point lies on the preview.
bool PreviewHover(PreviewState& state, ui::Window* window, int x, int y);
