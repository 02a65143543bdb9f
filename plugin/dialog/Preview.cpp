// The preview's calls from the main dialog. The preview does not render yet: its
// area shows a plain frame, and a refresh only brings the settings up to date.
#include "dialog/Preview.h"

#include "dialog/MainDialog.h"

void PreparePreview(MainDialog& dialog) { dialog.preview.zoomLimit = 1; }

void RefreshPreview(MainDialog& dialog) { ControlsToSettings(dialog); }

void DrawPreview(MainDialog& dialog, const ui::Canvas& canvas) {
    ui::FrameRect(canvas, ui::ControlRect(dialog.window, controlid::kPreview), ui::Rgb(0, 0, 0));
}

bool PreviewZoomClick(MainDialog&, int) { return false; }

void UpdateZoomButtons(MainDialog&) {}

bool PreviewPress(MainDialog&, int, int) { return false; }

void PreviewDrag(MainDialog&, int, int) {}

void PreviewRelease(MainDialog&) {}
