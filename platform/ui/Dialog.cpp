// The dialog core: the modal loop, message delivery, painting, timers, capture,
// cursors, and the accessors of windows and controls.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <utility>

#include "platform/ui/Internal.h"

namespace ui {

namespace {

struct Timer {
    Window* window;
    int id;
    std::uint32_t period;
    std::uint32_t due;
    std::uint64_t order;  // setting order, to fire timers due at the same moment in turn
};

struct ToolkitState {
    std::vector<Window*> stack;  // open dialogs, the active one last
    std::deque<std::pair<Window*, Message>> posted;
    std::vector<Timer> timers;
    std::uint64_t timerOrder = 0;
    Window* capture = nullptr;
    const Cursor* cursor = nullptr;
    ResourceLookup lookup = nullptr;
    std::map<std::int32_t, std::unique_ptr<Cursor>> cursors;
};

ToolkitState& State() {
    static ToolkitState state;
    return state;
}

// Shorter periods are raised to this, as on the module's home platform, so that a
// timer can never keep the loop from reading input.
constexpr std::uint32_t kShortestTimerMs = 10;

// True when a comes before or at b on the wrapping millisecond clock.
bool NotAfter(std::uint32_t a, std::uint32_t b) { return std::int32_t(a - b) <= 0; }

bool Alive(const Window* window) {
    const auto& stack = State().stack;
    return std::find(stack.begin(), stack.end(), window) != stack.end();
}

intptr_t Dispatch(Window& window, const Message& message) {
    if (window.ended || !window.proc) return 0;
    return window.proc(&window, message);
}

Control* Find(Window* window, int id) {
    if (!window) return nullptr;
    for (Control& control : window->controls)
        if (control.id == id) return &control;
    return nullptr;
}

int IndexOf(Window& window, int id) {
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        if (window.controls[i].id == id) return int(i);
    return -1;
}

int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    return int(product >= 0 ? (product + denominator / 2) / denominator : (product - denominator / 2) / denominator);
}

void PaintWindow(Window& window) {
    if (window.invalid.Empty()) return;
    window.paintClip = Intersect(window.invalid, {0, 0, window.width, window.height});
    window.invalid = {};
    window.painting = true;
    const Canvas canvas = PaintCanvas(&window);
    Message erase;
    erase.kind = MessageKind::EraseBackground;
    if (!Dispatch(window, erase)) FillRect(canvas, window.paintClip, kFaceColor);
    Message paint;
    paint.kind = MessageKind::Paint;
    Dispatch(window, paint);
    // The first control of the template lies on top, so draw from the last.
    for (int i = int(window.controls.size()) - 1; i >= 0; --i) {
        const Control& control = window.controls[std::size_t(i)];
        if (control.visible && !Intersect(control.rect, window.paintClip).Empty()) DrawControl(window, canvas, i);
    }
    if (window.popup.control >= 0) DrawPopup(window, canvas);
    window.painting = false;
}

void PaintAndPresent() {
    for (Window* window : State().stack) {
        PaintWindow(*window);
        if (window->shown) TheBackend().Present(*window);
    }
}

void DeliverPosted(Window& active) {
    auto& posted = State().posted;
    while (!posted.empty() && !active.ended) {
        auto [window, message] = posted.front();
        posted.pop_front();
        if (Alive(window)) Dispatch(*window, message);
    }
}

bool NextTimer(std::uint32_t& due) {
    bool any = false;
    for (const Timer& timer : State().timers)
        if (!any || !NotAfter(due, timer.due)) due = timer.due, any = true;
    return any;
}

// Fires the earliest timer that is due at now, if any.
void FireTimer(std::uint32_t now) {
    auto& timers = State().timers;
    Timer* earliest = nullptr;
    for (Timer& timer : timers) {
        if (!NotAfter(timer.due, now)) continue;
        if (!earliest || !NotAfter(earliest->due, timer.due) ||
            (earliest->due == timer.due && timer.order < earliest->order))
            earliest = &timer;
    }
    if (!earliest) return;
    earliest->due += earliest->period;
    if (NotAfter(earliest->due, now)) earliest->due = now + earliest->period;
    Message message;
    message.kind = MessageKind::Timer;
    message.id = earliest->id;
    Dispatch(*earliest->window, message);
}

int FirstFocusable(Window& window) {
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        if (Focusable(window.controls[i])) return int(i);
    return -1;
}

void MoveFocus(Window& window, bool backwards) {
    const int count = int(window.controls.size());
    for (int step = 1; step <= count; ++step) {
        const int from = window.focus < 0 ? (backwards ? 0 : -1) : window.focus;
        const int index = ((from + (backwards ? -step : step)) % count + count) % count;
        if (Focusable(window.controls[std::size_t(index)])) {
            FocusIndex(window, index, true);
            return;
        }
    }
}

int DefaultButton(Window& window) {
    for (const Control& control : window.controls)
        if (control.controlClass == ControlClass::Button && (control.style & kStyleDefault) && control.visible &&
            control.enabled)
            return control.id;
    return kIdOk;
}

void SendMouse(Window& window, const InputEvent& event) {
    Message message;
    message.x = event.x;
    message.y = event.y;
    message.keys = event.keys;
    switch (event.kind) {
        case InputEvent::MouseDown:
            message.kind = event.button == 3 ? MessageKind::RightDown : MessageKind::LeftDown;
            break;
        case InputEvent::MouseUp:
            message.kind = event.button == 3 ? MessageKind::RightUp : MessageKind::LeftUp;
            break;
        case InputEvent::MouseMove:
            message.kind = MessageKind::MouseMove;
            break;
        default:
            return;
    }
    Dispatch(window, message);
}

// The topmost visible, enabled control under the point that takes mouse input itself.
int InteractiveControlAt(Window& window, int x, int y) {
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        const Control& control = window.controls[i];
        if (control.visible && control.rect.Contains(x, y) && control.controlClass != ControlClass::Static)
            return control.enabled ? int(i) : -1;
    }
    return -1;
}

void HandleMouse(Window& window, const InputEvent& event) {
    if (State().capture == &window) {
        SendMouse(window, event);
        return;
    }
    if (window.popup.control >= 0) {
        PopupMouse(window, event);
        return;
    }
    if (window.mouseControl >= 0) {
        ControlMouse(window, window.mouseControl, event);
        return;
    }
    const int hit = InteractiveControlAt(window, event.x, event.y);
    if (hit < 0) {
        SendMouse(window, event);
        return;
    }
    if (event.kind == InputEvent::Wheel || event.button == 1) ControlMouse(window, hit, event);
}

void HandleKey(Window& window, const InputEvent& event) {
    if (window.popup.control >= 0) {
        ControlKey(window, window.popup.control, event);
        return;
    }
    if (event.kind == InputEvent::KeyDown) {
        switch (event.key) {
            case Key::Tab:
                MoveFocus(window, event.keys & kShift);
                return;
            case Key::Escape:
                SendCommand(window, kIdCancel, kClicked);
                return;
            case Key::Enter: {
                const Control* focused = window.focus >= 0 ? &window.controls[std::size_t(window.focus)] : nullptr;
                SendCommand(window,
                            focused && focused->controlClass == ControlClass::Button ? focused->id
                                                                                     : DefaultButton(window),
                            kClicked);
                return;
            }
            default:
                break;
        }
    }
    if (window.focus >= 0) ControlKey(window, window.focus, event);
}

void SendClose(Window& window) {
    Message close;
    close.kind = MessageKind::Close;
    if (!Dispatch(window, close)) SendCommand(window, kIdCancel, kClicked);
}

}  // namespace

void FocusIndex(Window& window, int index, bool selectText) {
    if (index == window.focus) return;
    if (window.focus >= 0) InvalidateIndex(window, window.focus);
    window.focus = index;
    if (index < 0) return;
    Control& control = window.controls[std::size_t(index)];
    if (selectText && control.controlClass == ControlClass::Edit) {
        control.anchor = 0;
        control.caret = int(control.text.size());
        ScrollToCaret(window, control);
    }
    InvalidateIndex(window, index);
}

Backend& TheBackend() {
    static std::unique_ptr<Backend> backend = [] {
        const char* choice = std::getenv("TESSELUME_UI");
        const char* display = std::getenv("DISPLAY");
        const bool wantSdl = choice ? std::strcmp(choice, "sdl") == 0 : display && *display;
        Backend* made = wantSdl ? MakeSdlBackend() : nullptr;
        return std::unique_ptr<Backend>(made ? made : MakeHeadlessBackend());
    }();
    return *backend;
}

BackendKind ActiveBackend() { return TheBackend().Kind(); }

intptr_t Send(Window& window, const Message& message) { return Dispatch(window, message); }

void SendCommand(Window& window, int id, int code) {
    Message command;
    command.kind = MessageKind::Command;
    command.id = id;
    command.code = code;
    Dispatch(window, command);
}

void InvalidateIndex(Window& window, int index) {
    if (index >= 0) InvalidateRect(&window, window.controls[std::size_t(index)].rect);
}

Canvas FullCanvas(Window& window) {
    Canvas canvas;
    canvas.pixels = reinterpret_cast<std::uint8_t*>(window.pixels.data());
    canvas.width = window.width;
    canvas.height = window.height;
    canvas.rowBytes = window.width * 4;
    canvas.clip = {0, 0, window.width, window.height};
    return canvas;
}

void HandleInput(Window& window, const InputEvent& event) {
    switch (event.kind) {
        case InputEvent::None:
            return;
        case InputEvent::Close:
            SendClose(window);
            return;
        case InputEvent::Abandon:
            EndDialog(&window, kIdCancel);
            return;
        case InputEvent::KeyDown:
        case InputEvent::Text:
            HandleKey(window, event);
            return;
        case InputEvent::MouseDown:
        case InputEvent::MouseUp:
        case InputEvent::MouseMove:
        case InputEvent::Wheel:
            HandleMouse(window, event);
            return;
    }
}

void SetResourceLookup(ResourceLookup lookup) { State().lookup = lookup; }

Bitmap LoadBitmap(std::uint32_t type, std::int32_t id) {
    Pixmap pixmap;
    if (!State().lookup || !ParsePixmap(State().lookup(type, id), pixmap)) return {};
    return pixmap.bitmap;
}

intptr_t RunDialog(std::span<const std::uint8_t> templateBytes, const PIWindowGeometry* parent, DialogProc proc,
                   intptr_t param) {
    DialogTemplate dialog;
    if (!ParseTemplate(templateBytes, dialog)) return -1;
    Backend& backend = TheBackend();
    auto window = std::make_unique<Window>();
    window->proc = proc;
    window->caption = dialog.caption;
    window->systemMenu = dialog.systemMenu;
    window->hasParent = parent != nullptr;
    if (parent) window->parent = *parent;
    window->font = GetFont(dialog.fontFamily, dialog.pointSize);
    if (window->font) {
        window->baseX = AverageCharWidth(*window->font);
        window->baseY = LineHeight(*window->font);
    }
    const Rect frame = DialogUnitsToPixels(window.get(), dialog.units);
    window->width = std::max(frame.Width(), 1);
    window->height = std::max(frame.Height(), 1);
    window->pixels.assign(std::size_t(window->width) * std::size_t(window->height), kFaceColor);
    const PIWindowGeometry around = ParentGeometry(window.get());
    window->x = around.parent.left + frame.left;
    window->y = around.parent.top + frame.top;
    for (const ControlTemplate& from : dialog.controls) {
        Control control;
        control.id = from.id;
        control.controlClass = from.controlClass;
        control.style = from.style;
        control.text = from.text;
        control.rect = DialogUnitsToPixels(window.get(), from.units);
        control.visible = !(from.style & kStyleHidden);
        control.enabled = !(from.style & kStyleDisabled);
        if (from.style & kStyleBitmap) {
            control.image = LoadBitmap(kBitmapResource, std::atoi(from.text.c_str()));
            if (!control.image.Empty()) {
                control.rect.right = control.rect.left + control.image.width;
                control.rect.bottom = control.rect.top + control.image.height;
            }
        }
        window->controls.push_back(std::move(control));
    }

    Window& self = *window;
    State().stack.push_back(&self);
    backend.Open(self);
    Message initialise;
    initialise.kind = MessageKind::Initialise;
    initialise.param = param;
    Dispatch(self, initialise);
    if (self.focus < 0) FocusIndex(self, FirstFocusable(self), false);
    if (!self.ended) {
        InvalidateWindow(&self);
        PaintWindow(self);
        self.shown = true;
        backend.Show(self);
    }
    while (!self.ended) {
        DeliverPosted(self);
        if (self.ended) break;
        PaintAndPresent();
        if (!State().posted.empty()) continue;
        std::uint32_t due = 0;
        const bool hasTimer = NextTimer(due);
        InputEvent event;
        if (backend.WaitInput(self, due, hasTimer, event)) HandleInput(self, event);
        else FireTimer(backend.Now());
    }

    if (State().capture == &self) ReleaseCapture();
    std::erase_if(State().timers, [&](const Timer& timer) { return timer.window == &self; });
    std::erase_if(State().posted, [&](const auto& entry) { return entry.first == &self; });
    State().stack.pop_back();
    backend.Close(self);
    return self.endCode;
}

void EndDialog(Window* window, intptr_t code) {
    if (!window || window->ended) return;
    window->ended = true;
    window->endCode = code;
    window->popup.control = -1;
    window->mouseControl = -1;
}

void SetUserData(Window* window, intptr_t data) { window->userData = data; }

intptr_t UserData(Window* window) { return window->userData; }

Size ClientSize(Window* window) { return {window->width, window->height}; }

void SetClientSize(Window* window, int width, int height) {
    window->width = std::max(width, 1);
    window->height = std::max(height, 1);
    window->pixels.assign(std::size_t(window->width) * std::size_t(window->height), kFaceColor);
    TheBackend().Resized(*window);
    InvalidateWindow(window);
}

Size OuterSize(Window* window) {
    const Rect frame = TheBackend().Frame(*window);
    return {window->width + frame.left + frame.right, window->height + frame.top + frame.bottom};
}

void MoveWindow(Window* window, int x, int y) {
    window->x = x;
    window->y = y;
    TheBackend().Moved(*window);
}

Position WindowPosition(Window* window) { return {window->x, window->y}; }

PIWindowGeometry ParentGeometry(Window* window) {
    if (window->hasParent) return window->parent;
    const Size screen = TheBackend().Screen();
    return {VRect{0, 0, screen.height, screen.width}, screen.width, screen.height};
}

bool HasSystemMenu(Window* window) { return window->systemMenu; }

Rect DialogUnitsToPixels(Window* window, Rect units) {
    return {MulDivRound(units.left, window->baseX, 4), MulDivRound(units.top, window->baseY, 8),
            MulDivRound(units.right, window->baseX, 4), MulDivRound(units.bottom, window->baseY, 8)};
}

bool HasControl(Window* window, int id) { return Find(window, id) != nullptr; }

Rect ControlRect(Window* window, int id) {
    const Control* control = Find(window, id);
    return control ? control->rect : Rect{};
}

void MoveControl(Window* window, int id, Rect r) {
    Control* control = Find(window, id);
    if (!control) return;
    InvalidateRect(window, control->rect);
    control->rect = r;
    InvalidateRect(window, r);
}

void SetControlText(Window* window, int id, std::string_view text) {
    Control* control = Find(window, id);
    if (!control) return;
    control->text = text;
    control->caret = control->anchor = control->scroll = 0;
    InvalidateRect(window, control->rect);
}

std::string ControlText(Window* window, int id) {
    const Control* control = Find(window, id);
    if (!control) return {};
    if (control->controlClass == ControlClass::ComboBox)
        return control->selection >= 0 ? control->items[std::size_t(control->selection)] : std::string();
    return control->text;
}

void EnableControl(Window* window, int id, bool enabled) {
    Control* control = Find(window, id);
    if (!control || control->enabled == enabled) return;
    control->enabled = enabled;
    const int index = IndexOf(*window, id);
    if (!enabled && window->focus == index) window->focus = -1;
    if (!enabled && window->popup.control == index) ClosePopup(*window);
    InvalidateRect(window, control->rect);
}

void SetFocus(Window* window, int id) {
    const int index = IndexOf(*window, id);
    if (index >= 0 && Focusable(window->controls[std::size_t(index)])) FocusIndex(*window, index, true);
}

int FocusedControl(Window* window) {
    return window->focus >= 0 ? window->controls[std::size_t(window->focus)].id : -1;
}

void SetCheck(Window* window, int id, bool checked) {
    Control* control = Find(window, id);
    if (!control || control->checked == checked) return;
    control->checked = checked;
    InvalidateRect(window, control->rect);
}

bool Checked(Window* window, int id) {
    const Control* control = Find(window, id);
    return control && control->checked;
}

void ClearItems(Window* window, int id) {
    Control* control = Find(window, id);
    if (!control) return;
    control->items.clear();
    control->selection = -1;
    control->firstItem = 0;
    if (window->popup.control == IndexOf(*window, id)) ClosePopup(*window);
    InvalidateRect(window, control->rect);
}

void AddItem(Window* window, int id, std::string_view text) {
    Control* control = Find(window, id);
    if (!control) return;
    control->items.emplace_back(text);
    InvalidateRect(window, control->rect);
}

int ItemCount(Window* window, int id) {
    const Control* control = Find(window, id);
    return control ? int(control->items.size()) : 0;
}

std::string ItemText(Window* window, int id, int index) {
    const Control* control = Find(window, id);
    if (!control || index < 0 || index >= int(control->items.size())) return {};
    return control->items[std::size_t(index)];
}

void SetSelection(Window* window, int id, int index) {
    Control* control = Find(window, id);
    if (!control) return;
    control->selection = index >= 0 && index < int(control->items.size()) ? index : -1;
    if (control->controlClass == ControlClass::ListBox && control->selection >= 0) {
        const int rows = std::max(1, (control->rect.Height() - 2) / (window->baseY + 2));
        if (control->selection < control->firstItem) control->firstItem = control->selection;
        if (control->selection >= control->firstItem + rows) control->firstItem = control->selection - rows + 1;
    }
    InvalidateRect(window, control->rect);
}

int Selection(Window* window, int id) {
    const Control* control = Find(window, id);
    return control ? control->selection : -1;
}

void GetEditSelection(Window* window, int id, int& start, int& end) {
    const Control* control = Find(window, id);
    start = control ? std::min(control->anchor, control->caret) : 0;
    end = control ? std::max(control->anchor, control->caret) : 0;
}

void SetControlImage(Window* window, int id, const Bitmap& image) {
    Control* control = Find(window, id);
    if (!control) return;
    control->image = image;
    InvalidateRect(window, control->rect);
}

Canvas PaintCanvas(Window* window) {
    const Canvas canvas = FullCanvas(*window);
    return window->painting ? canvas.Clipped(window->paintClip) : canvas;
}

void InvalidateControl(Window* window, int id) {
    if (const Control* control = Find(window, id)) InvalidateRect(window, control->rect);
}

void InvalidateRect(Window* window, Rect r) {
    window->invalid = Bound(window->invalid, Intersect(r, {0, 0, window->width, window->height}));
}

void InvalidateWindow(Window* window) { InvalidateRect(window, {0, 0, window->width, window->height}); }

void UpdateWindow(Window* window) {
    if (window->painting) return;
    PaintWindow(*window);
    if (window->shown) TheBackend().Present(*window);
}

const Font* DialogFont(Window* window) { return window->font; }

void ProcessInput(Window* window) {
    if (!window || !Alive(window)) return;
    InputEvent event;
    while (!window->ended && TheBackend().PollInput(*window, event)) {
        HandleInput(*window, event);
        DeliverPosted(*window);
    }
    PaintAndPresent();
}

void PostMessage(Window* window, const Message& message) { State().posted.emplace_back(window, message); }

void SetTimer(Window* window, int id, std::uint32_t periodMs) {
    periodMs = std::max(periodMs, kShortestTimerMs);
    KillTimer(window, id);
    State().timers.push_back({window, id, periodMs, TheBackend().Now() + periodMs, State().timerOrder++});
}

void KillTimer(Window* window, int id) {
    std::erase_if(State().timers, [&](const Timer& timer) { return timer.window == window && timer.id == id; });
}

std::uint32_t TickCount() { return TheBackend().Now(); }

void SetCapture(Window* window) {
    State().capture = window;
    TheBackend().Capture(true);
}

void ReleaseCapture() {
    if (!State().capture) return;
    State().capture = nullptr;
    TheBackend().Capture(false);
}

const Cursor* ArrowCursor() {
    static Cursor arrow{Cursor::Arrow, {}, nullptr};
    return &arrow;
}

const Cursor* WaitCursor() {
    static Cursor wait{Cursor::Wait, {}, nullptr};
    return &wait;
}

const Cursor* LoadCursor(std::int32_t id) {
    auto& cursors = State().cursors;
    auto found = cursors.find(id);
    if (found != cursors.end()) return found->second.get();
    Pixmap pixmap;
    if (!State().lookup || !ParsePixmap(State().lookup(kCursorResource, id), pixmap)) return nullptr;
    auto cursor = std::make_unique<Cursor>();
    cursor->kind = Cursor::Image;
    cursor->image = std::move(pixmap);
    return (cursors[id] = std::move(cursor)).get();
}

void SetCursor(const Cursor* cursor) {
    if (!cursor || cursor == State().cursor) return;
    State().cursor = cursor;
    TheBackend().ShowCursor(const_cast<Cursor&>(*cursor));
}

bool SaveScreenshot(Window* window, const char* path) {
    PaintWindow(*window);
    return WritePng(path, FullCanvas(*window));
}

}  // namespace ui
