// The exports the main dialog starts: the layered PSD document (117) and the HTML
// presets page (150).
#pragma once

struct MainDialog;

// A click on PSD (117) or the presets-page button (150); other ids do nothing.
// True when the preview must be refreshed.
bool ExportClick(MainDialog& dialog, int id);
