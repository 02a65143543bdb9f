// The batch refresh of preset thumbnails (Ctrl-click on the extra dot): every
// presets file of a chosen folder whose name holds "q9q" or "q5q" is loaded into
// the dialog, previewed, given a new thumbnail and saved back; "q9q" files then
// take the extension ".q5q", so the mark shows which ones are done.
#pragma once

struct MainDialog;

// Asks for any file in the source folder, then refreshes that folder. The dialog's
// settings and thumbnail are kept in the scratch dot and come back at the end. True
// when the batch ran (the preview must then be refreshed).
bool RefreshPresetThumbnails(MainDialog& dialog);
