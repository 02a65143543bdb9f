// The exports the main dialog starts: the layered PSD document (117), the HTML
// presets page (150) and, from the extra dot (119), the memory-dots page (right
// button) and the batch refresh of preset thumbnails (Ctrl).
#pragma once

#include <string>

#include "platform/ui/FileDialogs.h"

struct MainDialog;

// A click on PSD (117), the presets-page button (150) or the extra dot (119, with
// the right button or Ctrl); other clicks do nothing. True when the preview must be
// refreshed.
bool ExportClick(MainDialog& dialog, int id);

// File dialog options titled title, centred over the host's window.
ui::FileDialogOptions FileDialogOver(MainDialog& dialog, const char* title);
// "Choose any file in the source folder", starting in the presets folder the
// settings keep: the chosen file's path, empty when cancelled.
std::string ChooseFileInSourceFolder(MainDialog& dialog);
