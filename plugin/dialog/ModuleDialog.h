// What every dialog of the module shares: running a template from the module's own
// resources over the host's window, and placing the dialog over that window.
#pragma once

#include <cstdint>

#include "platform/ui/Dialog.h"

// Places a window of the given outer size over its parent, as every dialog of the
// module does when it opens: centred horizontally less a caption-button offset,
// a third of the way down, kept on the screen. Returns the top-left corner.
struct WindowPlacement {
    int32_t x, y;
};
WindowPlacement CenterDialogRect(const PIWindowGeometry* parent, int32_t width, int32_t height, bool hasSystemMenu);

// Places the dialog over its parent (the host's window, else the desktop): centred
// across less the caption-button offset, a third of the way down, kept on screen.
// Every dialog of the module calls it when it initialises.
void CenterDialog(ui::Window* window);

// The procedure of a dialog that only informs: centred when it opens, ended by any
// of its buttons with that button's id.
intptr_t NoticeProc(ui::Window* window, const ui::Message& message);

// Runs the module's dialog template of that name modally over the current host's
// window, with bitmaps and cursors read from the module's resources. Returns the
// end code, or -1 when the template is missing or unreadable.
intptr_t RunModuleDialog(const char* templateName, ui::DialogProc proc, intptr_t param);
