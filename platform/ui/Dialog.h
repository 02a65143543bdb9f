// The dialog toolkit: modal dialogs built from templates and run by a dialog
// procedure that receives messages, standard controls drawn by the toolkit,
// timers, mouse capture, cursors and painting.
//
// Shared rules:
// - Everything runs on one thread. RunDialog runs a modal loop until the dialog
//   procedure calls EndDialog; dialogs may be nested (an alert over a dialog).
// - Coordinates are client pixels of the dialog unless a name says screen.
// - Two backends share this interface: a real SDL2 window, and a headless one for
//   tests and machines without a display, whose input comes from a script and whose
//   clock is virtual (platform/ui/Headless.h). TESSELUME_UI=headless or sdl chooses;
//   without it, headless is used when there is no DISPLAY.
// - A control's text set by code sends no notification; only the user's actions do.
// - Failures are reported by return values; nothing here throws on purpose.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "PIFilter.h"
#include "platform/ui/Canvas.h"

namespace ui {

struct Window;

enum class MessageKind {
    Initialise,       // param: RunDialog's parameter
    Paint,            // paint on PaintCanvas(window), clipped to what needs painting
    EraseBackground,  // answer non-zero after painting the background yourself
    StaticColor,      // id: a static control about to be drawn; answer below
    Command,          // id: control, code: notification
    Timer,            // id: timer
    LeftDown,
    LeftUp,
    RightDown,
    RightUp,
    MouseMove,
    Close,            // the window's close box, or the end of a headless script
};

enum KeyState : unsigned { kCtrl = 1, kShift = 2 };

struct Message {
    MessageKind kind = MessageKind::Command;
    int id = 0;
    int code = 0;
    int x = 0, y = 0;    // mouse messages
    unsigned keys = 0;   // mouse messages: KeyState bits
    intptr_t param = 0;  // Initialise
};

// Notification codes of Command messages.
constexpr int kClicked = 0;            // a button or check box was clicked
constexpr int kSelectionChanged = 1;   // a drop-down list or list box selection changed by the user
constexpr int kDoubleClicked = 2;      // a list box item was double-clicked or chosen with Enter
constexpr int kEditChanged = 0x300;    // the user changed an edit field's text
// Ids the keyboard sends: Enter without a default button, and Escape.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Answers to StaticColor: 0 lets the toolkit fill the control with the dialog's face
// colour; kHollow draws it over what is already there; SolidColor(c) fills with c.
constexpr intptr_t kHollow = 1;
constexpr intptr_t SolidColor(Color c) { return intptr_t(0x100000000ll | (c & 0xFFFFFFu)); }

// The dialog procedure. Its answer matters for EraseBackground and StaticColor;
// otherwise it is ignored. A Close message left unanswered (0) is turned into a
// Command with kIdCancel, as the module's home platform does.
using DialogProc = intptr_t (*)(Window* window, const Message& message);

// Resources. The toolkit reads bitmaps, icons and cursors named by id through the
// lookup the module installs; types are four-character codes.
constexpr std::uint32_t kDialogResource = 0x444C4F47u;  // 'DLOG'
constexpr std::uint32_t kBitmapResource = 0x4249544Du;  // 'BITM'
constexpr std::uint32_t kIconResource = 0x49434F4Eu;    // 'ICON'
constexpr std::uint32_t kCursorResource = 0x43555253u;  // 'CURS'
using ResourceLookup = std::span<const std::uint8_t> (*)(std::uint32_t type, std::int32_t id);
void SetResourceLookup(ResourceLookup lookup);
// A bitmap or icon resource (pixmap form, platform/ui/Images.h); empty when missing.
Bitmap LoadBitmap(std::uint32_t type, std::int32_t id);

// Runs the dialog described by templateBytes (platform/ui/Template.h) modally over
// parent (null: the desktop) and returns the code given to EndDialog, or -1 when the
// template cannot be read.
intptr_t RunDialog(std::span<const std::uint8_t> templateBytes, const PIWindowGeometry* parent, DialogProc proc,
                   intptr_t param);
void EndDialog(Window* window, intptr_t code);
void SetUserData(Window* window, intptr_t data);
intptr_t UserData(Window* window);

// Window geometry. Screen positions are those of the outer frame.
struct Size {
    int width = 0, height = 0;
};
Size ClientSize(Window* window);
void SetClientSize(Window* window, int width, int height);
Size OuterSize(Window* window);
void MoveWindow(Window* window, int x, int y);
struct Position {
    int x = 0, y = 0;
};
Position WindowPosition(Window* window);
// The parent's screen rectangle and the screen size; for a dialog without parent
// the desktop, as a rectangle covering the whole screen.
PIWindowGeometry ParentGeometry(Window* window);
bool HasSystemMenu(Window* window);
// Dialog units of this dialog's font to pixels.
Rect DialogUnitsToPixels(Window* window, Rect units);

// Controls, addressed by id. Operations on an unknown id do nothing and read empty.
bool HasControl(Window* window, int id);
Rect ControlRect(Window* window, int id);
void MoveControl(Window* window, int id, Rect r);
void SetControlText(Window* window, int id, std::string_view text);
std::string ControlText(Window* window, int id);
void EnableControl(Window* window, int id, bool enabled);
void SetFocus(Window* window, int id);
int FocusedControl(Window* window);  // -1 when none
// Check boxes.
void SetCheck(Window* window, int id, bool checked);
bool Checked(Window* window, int id);
// Drop-down lists and list boxes; index -1 selects nothing.
void ClearItems(Window* window, int id);
void AddItem(Window* window, int id, std::string_view text);
int ItemCount(Window* window, int id);
std::string ItemText(Window* window, int id, int index);
void SetSelection(Window* window, int id, int index);
int Selection(Window* window, int id);
// Edit fields: the selected byte range [start, end) of the text.
void GetEditSelection(Window* window, int id, int& start, int& end);
// The image a bitmap static or an icon button shows.
void SetControlImage(Window* window, int id, const Bitmap& image);

// Painting. The canvas covers the client area and may be painted on at any time;
// while a Paint or EraseBackground message runs it is clipped to the region being
// painted. What is painted is shown when the current message has been handled.
Canvas PaintCanvas(Window* window);
// Marks a control's rectangle, a rectangle or the whole client area for repainting:
// the background is erased, the dialog painted, then the controls drawn.
void InvalidateControl(Window* window, int id);
void InvalidateRect(Window* window, Rect r);
void InvalidateWindow(Window* window);
// Repaints what is invalid now instead of when the loop is next idle.
void UpdateWindow(Window* window);
// The face colour the toolkit erases a dialog's background with.
constexpr Color kFaceColor = Rgb(0xF0, 0xF0, 0xF0);
// The dialog's font (the template's), for painting text that matches the controls.
const Font* DialogFont(Window* window);

// Handles the input waiting for the dialog now, without waiting for more, and
// repaints: a long job running inside a message calls it so that its window stays
// responsive (a Cancel button can be pressed). Timers do not fire meanwhile.
void ProcessInput(Window* window);

// Posted messages are delivered after the current message, in order.
void PostMessage(Window* window, const Message& message);

// Timers: a Timer message every periodMs milliseconds (at least 10) until killed.
// Setting a timer that exists restarts it.
void SetTimer(Window* window, int id, std::uint32_t periodMs);
void KillTimer(Window* window, int id);
// Milliseconds of the toolkit's clock (virtual in the headless backend).
std::uint32_t TickCount();

// Mouse capture: while set, every mouse message goes to this window's procedure,
// also when the pointer is outside it.
void SetCapture(Window* window);
void ReleaseCapture();

// Cursors.
struct Cursor;
const Cursor* ArrowCursor();
const Cursor* WaitCursor();
// A cursor resource (pixmap with hot spot), made once; null when missing.
const Cursor* LoadCursor(std::int32_t id);
void SetCursor(const Cursor* cursor);

// Writes the dialog's client area as a PNG file.
bool SaveScreenshot(Window* window, const char* path);

enum class BackendKind { Headless, Sdl };
BackendKind ActiveBackend();

}  // namespace ui
