// The toolkit's inside: the window and control records, input events, and the
// interface each backend implements. Not for use outside platform/ui.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/Dialog.h"
#include "platform/ui/Images.h"
#include "platform/ui/Template.h"

namespace ui {

struct Cursor {
    enum Kind { Arrow, Wait, Image } kind = Arrow;
    Pixmap image;
    void* native = nullptr;  // the backend's cursor, made on first use
};

struct Control {
    int id = 0;
    ControlClass controlClass = ControlClass::Static;
    unsigned style = 0;
    std::string text;
    Rect rect;
    bool visible = true, enabled = true;
    Bitmap image;
    bool checked = false;
    bool pressed = false;              // a push button or check box held down by the mouse
    std::vector<std::string> items;    // drop-down lists and list boxes
    int selection = -1;
    int firstItem = 0;                 // list box scroll position
    int caret = 0, anchor = 0;         // edit fields: byte offsets; the selection lies between
    int scroll = 0;                    // edit fields: pixels scrolled to the left
    std::uint32_t lastClickTime = 0;   // list boxes: double-click detection
    int lastClickItem = -1;
};

// The open pop-up list of a drop-down list, drawn over the dialog.
struct Popup {
    int control = -1;  // index in Window::controls; -1 when closed
    Rect rect;
    int firstItem = 0, rows = 0;
    int hot = -1;
};

struct Window {
    DialogProc proc = nullptr;
    intptr_t userData = 0;
    std::string caption;
    PIWindowGeometry parent{};
    bool hasParent = false;
    bool systemMenu = false;
    int x = 0, y = 0;  // outer frame, screen coordinates
    int width = 0, height = 0;
    std::vector<Color> pixels;
    const Font* font = nullptr;
    int baseX = 6, baseY = 13;  // dialog-unit base: average character width, line height
    std::vector<Control> controls;
    Rect invalid;
    Rect paintClip;  // while painting: the region being painted
    bool painting = false;
    bool ended = false;
    intptr_t endCode = 0;
    int focus = -1;        // index of the focused control
    int mouseControl = -1; // index of the control holding the mouse between press and release
    Popup popup;
    bool shown = false;
    void* native = nullptr;  // the backend's window
};

enum class Key {
    None, Tab, Enter, Escape, Backspace, Delete, Left, Right, Up, Down, Home, End, PageUp, PageDown, Space, F4, Letter
};

struct InputEvent {
    enum Kind { None, MouseDown, MouseUp, MouseMove, Wheel, KeyDown, Text, Close, Abandon } kind = None;
    int button = 1;       // 1 left, 3 right
    int x = 0, y = 0;     // client coordinates
    unsigned keys = 0;    // KeyState bits
    Key key = Key::None;
    char letter = 0;      // Key::Letter: 'a'..'z'
    int wheel = 0;        // lines, positive up
    std::string text;     // Text: one character, UTF-8
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual BackendKind Kind() const = 0;
    virtual void Open(Window& window) = 0;
    virtual void Show(Window& window) = 0;
    virtual void Close(Window& window) = 0;
    virtual void Resized(Window& window) = 0;
    virtual void Moved(Window& window) = 0;
    virtual void Present(Window& window) = 0;
    // The frame around the client area: left, top, right and bottom thickness.
    virtual Rect Frame(Window& window) = 0;
    virtual Size Screen() = 0;
    virtual std::uint32_t Now() = 0;
    // Waits for input to the active window until the clock reaches deadline (when
    // hasDeadline). False when the deadline came first.
    virtual bool WaitInput(Window& active, std::uint32_t deadline, bool hasDeadline, InputEvent& event) = 0;
    // Input that is there now, without waiting and without moving the clock. False
    // when there is none.
    virtual bool PollInput(Window& active, InputEvent& event) = 0;
    // Feeds a test's input through the backend's own input path.
    virtual void Inject(Window& window, const InputEvent& event) = 0;
    virtual void Capture(bool on) = 0;
    virtual void ShowCursor(Cursor& cursor) = 0;
    virtual void SetClipboard(const std::string& text) = 0;
    virtual std::string Clipboard() = 0;
    virtual bool OpenWithDefaultProgram(const std::string& path) = 0;
};

Backend& TheBackend();
Backend* MakeHeadlessBackend();
// Null when SDL cannot open the display.
Backend* MakeSdlBackend();

// Dialog core services the controls use.
intptr_t Send(Window& window, const Message& message);
// Moves the focus to the control at index (-1: none); with selectText an edit field
// gets its whole text selected, as when tabbing into it.
void FocusIndex(Window& window, int index, bool selectText);
void SendCommand(Window& window, int id, int code);
void InvalidateIndex(Window& window, int index);
Canvas FullCanvas(Window& window);
void HandleInput(Window& window, const InputEvent& event);

// Controls: drawing and the toolkit's own handling of input.
bool Focusable(const Control& control);
void DrawControl(Window& window, const Canvas& canvas, int index);
void DrawPopup(Window& window, const Canvas& canvas);
// Mouse input to the control at index (press, move while held, release).
void ControlMouse(Window& window, int index, const InputEvent& event);
// Mouse input while a drop-down list's pop-up is open; a press outside it closes it.
void PopupMouse(Window& window, const InputEvent& event);
// A key or typed character for the focused control (or the open pop-up's list).
void ControlKey(Window& window, int index, const InputEvent& event);
void ClosePopup(Window& window);
// Keeps an edit field's caret in view.
void ScrollToCaret(Window& window, Control& control);

}  // namespace ui
