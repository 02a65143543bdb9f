// The live preview inside the main dialog: its view state and the calls the dialog
// makes. Until the preview renders, its area shows a plain frame.
#pragma once

#include "platform/ui/Canvas.h"

struct MainDialog;

// The preview's part of the dialog's run state.
struct PreviewState {
    int zoomLimit = 1;
};

// When the dialog opens, after the controls are set.
void PreparePreview(MainDialog& dialog);
// After every change the dialog applies: copies the controls to the settings and
// shows the result.
void RefreshPreview(MainDialog& dialog);
// On every paint of the dialog while the host can preview.
void DrawPreview(MainDialog& dialog, const ui::Canvas& canvas);
// Clicks on "+", "-" and "%"; true when the preview must be refreshed.
bool PreviewZoomClick(MainDialog& dialog, int id);
// After every click: enables the zoom buttons and sets the "%" text.
void UpdateZoomButtons(MainDialog& dialog);
// A press on the preview area: true when the preview takes the mouse (panning).
bool PreviewPress(MainDialog& dialog, int x, int y);
// Mouse moves while the preview holds the mouse, and its release.
void PreviewDrag(MainDialog& dialog, int x, int y);
void PreviewRelease(MainDialog& dialog);
