// The PSD export from the dialog: the save-file dialog, then the export under the
// progress window "PSD file progress" with its percentage and Cancel button.
#pragma once

#include "PIFilter.h"

struct PsdExportJob;
struct Settings;
namespace ui {
struct Window;
}

// Runs the export under the progress window: the window opens, its job timer (993,
// one second) starts the export, and it closes when the export ends. Returns the
// export's result (noErr when the file is in place), or kExportCancelled when the
// window was closed before the job began, the user cancelled, or a progress window
// is already open.
OSErr RunExportWithProgress(const PsdExportJob& job);

// The "PSD" button of the main dialog: asks for a file name ("Save a PSD file",
// offering "Tesselume result.psd" in the folder the settings keep), remembers the
// folder, and exports the job (its path aside) under the progress window.
// kExportCancelled when the file dialog was cancelled. An export that put no file in
// place, other than by a cancel, is reported in the alert "PSDFAILED". The dialog
// stays as it was, whatever the outcome.
OSErr ExportPsdFromDialog(PsdExportJob job, Settings& settings, ui::Window* dialog);
