// The headless backend's input: a script of user actions, from the environment
// variable TESSELUME_UI_SCRIPT or from a test, played into whichever dialog is on top
// when each step's turn comes. The backend's clock is virtual: it stands still while
// steps run and moves only by "wait" or, once the script is used up, straight to the
// next timer, so a one-second timer fires at once and timers fire in order. When the
// script is used up and no timer is left, the dialog on top gets a close request
// (and, if it ignores that, is ended with kIdCancel): a headless dialog never waits.
//
// One step per line, or several separated by ';'. TARGET is #ID (the centre of
// control ID), #ID@DX,DY (DX, DY pixels from the control's top-left corner) or X,Y
// (client pixels).
//   click TARGET        left press and release; also rclick, ctrl-click, shift-click
//   drag TARGET TARGET  left press at the first, moves to the second, release there;
//                       also ctrl-drag
//   move TARGET         moves the pointer without buttons
//   wheel TARGET N      turns the wheel N lines (positive: up)
//   type TEXT           types the rest of the line, one character at a time
//   key NAME            Tab, Enter, Escape, Backspace, Delete, Left, Right, Up, Down,
//                       Home, End, PageUp, PageDown, Space, F4 or a letter, each with
//                       optional Shift+ and Ctrl+ in front (Shift+Tab, Ctrl+A)
//   wait N              advances the clock by N milliseconds, firing due timers
//   screenshot FILE     writes the dialog on top as a PNG file
//   close               asks the dialog on top to close
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/ui/Dialog.h"

namespace ui::headless {

// Appends the steps of a script. False, with a message naming the bad step in error,
// when a step is not understood; then nothing is appended.
bool QueueScript(std::string_view script, std::string* error = nullptr);
// Appends a step that calls the function with the dialog then on top.
void QueueCall(std::function<void(Window*)> call);
// Drops every step not yet played.
void ClearQueue();

}  // namespace ui::headless
