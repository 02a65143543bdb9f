// The standard controls: how each one looks, and how it answers the mouse and the
// keyboard. Statics, push buttons, check boxes, edit fields, drop-down lists with
// their pop-up, and list boxes.
#include <algorithm>

#include "platform/ui/Internal.h"

namespace ui {

namespace {

constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kBlack = Rgb(0, 0, 0);
constexpr Color kGreyText = Rgb(0x6D, 0x6D, 0x6D);
constexpr Color kButtonFace = Rgb(0xE1, 0xE1, 0xE1);
constexpr Color kButtonFaceDisabled = Rgb(0xCC, 0xCC, 0xCC);
constexpr Color kPressedFace = Rgb(0xCC, 0xE4, 0xF7);
constexpr Color kButtonBorder = Rgb(0xAD, 0xAD, 0xAD);
constexpr Color kFieldBorder = Rgb(0x7A, 0x7A, 0x7A);
constexpr Color kAccent = Rgb(0x00, 0x78, 0xD7);
constexpr Color kPaleAccent = Rgb(0xCD, 0xE8, 0xFF);
constexpr Color kScrollTrack = Rgb(0xF0, 0xF0, 0xF0);
constexpr Color kScrollThumb = Rgb(0xC2, 0xC2, 0xC2);
constexpr int kCheckBoxSize = 13;
constexpr int kArrowWidth = 16;
constexpr int kScrollBarWidth = 12;
constexpr int kPopupMaxRows = 12;
constexpr std::uint32_t kDoubleClickMs = 500;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

int PreviousChar(const std::string& text, int at) {
    do --at;
    while (at > 0 && IsContinuation(text[std::size_t(at)]));
    return std::max(at, 0);
}

int NextChar(const std::string& text, int at) {
    do ++at;
    while (at < int(text.size()) && IsContinuation(text[std::size_t(at)]));
    return std::min(at, int(text.size()));
}

// Button and label texts mark a keyboard mnemonic with '&'; "&&" is a plain '&'.
std::string WithoutMnemonics(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

int ItemHeight(const Window& window) { return window.baseY + 2; }

const Font* FontOf(const Window& window) { return window.font; }

void DrawFocusRect(const Canvas& canvas, Rect r) {
    for (int x = r.left; x < r.right; x += 2) {
        FillRect(canvas, {x, r.top, x + 1, r.top + 1}, kBlack);
        FillRect(canvas, {x, r.bottom - 1, x + 1, r.bottom}, kBlack);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        FillRect(canvas, {r.left, y, r.left + 1, y + 1}, kBlack);
        FillRect(canvas, {r.right - 1, y, r.right, y + 1}, kBlack);
    }
}

// Asks the dialog how a static (or check box) background is painted, and paints it.
void StaticBackground(Window& window, const Canvas& canvas, const Control& control) {
    Message ask;
    ask.kind = MessageKind::StaticColor;
    ask.id = control.id;
    const intptr_t answer = Send(window, ask);
    if (answer == 0) FillRect(canvas, control.rect, kFaceColor);
    else if (answer != kHollow) FillRect(canvas, control.rect, 0xFF000000u | Color(answer & 0xFFFFFF));
}

void DrawText(Window& window, const Canvas& canvas, const std::string& text, Rect r, Color color, unsigned flags) {
    if (const Font* font = FontOf(window)) ui::DrawText(canvas, *font, text, r, color, flags);
}

void DrawImage(const Canvas& canvas, const Bitmap& image, int x, int y, bool enabled) {
    if (enabled) {
        DrawBitmap(canvas, image, x, y);
        return;
    }
    Bitmap faded = image;
    for (Color& pixel : faded.pixels) pixel = (pixel & 0xFFFFFF) | ((pixel >> 24) * 2 / 5) << 24;
    DrawBitmap(canvas, faded, x, y);
}

// A vertical scroll bar at the right of r for count items of which rows show from first.
void DrawScrollBar(const Canvas& canvas, Rect r, int count, int rows, int first) {
    const Rect track{r.right - kScrollBarWidth, r.top, r.right, r.bottom};
    FillRect(canvas, track, kScrollTrack);
    const int thumbHeight = std::max(8, track.Height() * rows / count);
    const int range = std::max(1, count - rows);
    const int top = track.top + (track.Height() - thumbHeight) * first / range;
    FillRect(canvas, {track.left + 2, top, track.right - 2, top + thumbHeight}, kScrollThumb);
}

// Item rows of a list drawn in r: the highlighted item in accent colours.
void DrawItems(Window& window, const Canvas& canvas, const Control& control, Rect r, int first, int rows,
               int highlight, bool strong) {
    const int h = ItemHeight(window);
    const bool scrolls = int(control.items.size()) > rows;
    const int right = scrolls ? r.right - kScrollBarWidth : r.right;
    for (int row = 0; row < rows && first + row < int(control.items.size()); ++row) {
        const int item = first + row;
        const Rect line{r.left, r.top + row * h, right, r.top + (row + 1) * h};
        Color ink = control.enabled ? kBlack : kGreyText;
        if (item == highlight) {
            FillRect(canvas, line, strong ? kAccent : kPaleAccent);
            if (strong) ink = kWhite;
        }
        DrawText(window, canvas, control.items[std::size_t(item)], {line.left + 3, line.top, line.right - 2, line.bottom},
                 ink, kTextVCenter);
    }
    if (scrolls) DrawScrollBar(canvas, r, int(control.items.size()), rows, first);
}

void DrawStatic(Window& window, const Canvas& canvas, const Control& control) {
    StaticBackground(window, canvas, control);
    if (!control.image.Empty()) {
        DrawBitmap(canvas, control.image, control.rect.left, control.rect.top);
    } else if (!(control.style & kStyleBitmap)) {
        const unsigned align = control.style & kStyleCenter ? kTextCenter : control.style & kStyleRight ? kTextRight : kTextLeft;
        DrawText(window, canvas, WithoutMnemonics(control.text), control.rect, control.enabled ? kBlack : kGreyText,
                 align | kTextWrap);
    }
    if (control.style & kStyleSunken) {
        const Rect r = control.rect;
        FillRect(canvas, {r.left, r.top, r.right, r.top + 1}, kButtonBorder);
        FillRect(canvas, {r.left, r.top, r.left + 1, r.bottom}, kButtonBorder);
        FillRect(canvas, {r.left, r.bottom - 1, r.right, r.bottom}, kWhite);
        FillRect(canvas, {r.right - 1, r.top, r.right, r.bottom}, kWhite);
    }
}

void DrawButton(Window& window, const Canvas& canvas, const Control& control, bool focused) {
    const Rect r = control.rect;
    FillRect(canvas, r, control.pressed ? kPressedFace : control.enabled ? kButtonFace : kButtonFaceDisabled);
    const bool accented = control.enabled && (focused || (control.style & kStyleDefault));
    FrameRect(canvas, r, accented ? kAccent : kButtonBorder);
    const int shift = control.pressed ? 1 : 0;
    if (!control.image.Empty()) {
        DrawImage(canvas, control.image, r.left + (r.Width() - control.image.width) / 2 + shift,
                  r.top + (r.Height() - control.image.height) / 2 + shift, control.enabled);
    } else {
        DrawText(window, canvas, WithoutMnemonics(control.text), {r.left + shift, r.top + shift, r.right + shift, r.bottom + shift},
                 control.enabled ? kBlack : kGreyText, kTextCenter | kTextVCenter);
    }
    if (focused && r.Width() > 8 && r.Height() > 8) DrawFocusRect(canvas, {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3});
}

void DrawCheckBox(Window& window, const Canvas& canvas, const Control& control, bool focused) {
    StaticBackground(window, canvas, control);
    const Rect r = control.rect;
    const int top = r.top + (r.Height() - kCheckBoxSize) / 2;
    const Rect box{r.left, top, r.left + kCheckBoxSize, top + kCheckBoxSize};
    FillRect(canvas, box, control.pressed ? kPressedFace : control.enabled ? kWhite : kFaceColor);
    FrameRect(canvas, box, control.enabled ? Rgb(0x33, 0x33, 0x33) : Rgb(0xBC, 0xBC, 0xBC));
    if (control.checked) {
        const Color ink = control.enabled ? kBlack : kGreyText;
        for (int thick = 0; thick < 2; ++thick) {
            DrawLine(canvas, box.left + 3, box.top + 6 + thick, box.left + 5, box.top + 8 + thick, ink);
            DrawLine(canvas, box.left + 5, box.top + 8 + thick, box.left + 9, box.top + 4 + thick, ink);
        }
    }
    const std::string text = WithoutMnemonics(control.text);
    const Rect label{box.right + 4, r.top, r.right, r.bottom};
    if (!text.empty()) DrawText(window, canvas, text, label, control.enabled ? kBlack : kGreyText, kTextVCenter);
    if (focused) {
        const Font* font = FontOf(window);
        const int width = font && !text.empty() ? TextWidth(*font, text) + 4 : 0;
        DrawFocusRect(canvas, width ? Rect{label.left - 2, r.top, std::min(label.left - 2 + width, r.right), r.bottom}
                                    : Rect{box.left - 1, box.top - 1, box.right + 1, box.bottom + 1});
    }
}

Rect EditInner(const Control& control) {
    const int border = control.style & kStyleBorder ? 1 : 0;
    return {control.rect.left + border + 2, control.rect.top + border, control.rect.right - border - 2,
            control.rect.bottom - border};
}

int TextX(const Window& window, const std::string& text, int at) {
    const Font* font = FontOf(window);
    return font ? TextWidth(*font, std::string_view(text).substr(0, std::size_t(at))) : 0;
}

void DrawEdit(Window& window, const Canvas& canvas, const Control& control, bool focused) {
    const Rect r = control.rect;
    FillRect(canvas, r, control.enabled ? kWhite : kFaceColor);
    if (control.style & kStyleBorder) FrameRect(canvas, r, focused ? kAccent : kFieldBorder);
    const Rect inner = EditInner(control);
    const Canvas field = canvas.Clipped(inner);
    const int origin = inner.left - control.scroll;
    const Rect line{origin, inner.top, origin + 100000, inner.bottom};
    const Color ink = control.enabled ? kBlack : kGreyText;
    const int start = std::min(control.anchor, control.caret), end = std::max(control.anchor, control.caret);
    if (focused && start != end) {
        const Rect marked{origin + TextX(window, control.text, start), inner.top + 1,
                          origin + TextX(window, control.text, end), inner.bottom - 1};
        DrawText(window, field, control.text, line, ink, kTextVCenter);
        FillRect(field, marked, kAccent);
        DrawText(window, field.Clipped(marked), control.text, line, kWhite, kTextVCenter);
    } else {
        DrawText(window, field, control.text, line, ink, kTextVCenter);
    }
    if (focused) {
        const int x = origin + TextX(window, control.text, control.caret);
        FillRect(canvas.Clipped(Rect{inner.left - 1, inner.top, inner.right + 1, inner.bottom}),
                 {x, inner.top + 2, x + 1, inner.bottom - 2}, kBlack);
    }
}

void DrawComboBox(Window& window, const Canvas& canvas, const Control& control, bool focused, bool open) {
    const Rect r = control.rect;
    FillRect(canvas, r, control.enabled ? kButtonFace : kButtonFaceDisabled);
    FrameRect(canvas, r, control.enabled && (focused || open) ? kAccent : kButtonBorder);
    const Color ink = control.enabled ? kBlack : kGreyText;
    if (control.selection >= 0)
        DrawText(window, canvas, control.items[std::size_t(control.selection)],
                 {r.left + 4, r.top, r.right - kArrowWidth, r.bottom}, ink, kTextVCenter);
    // A small downward triangle centred in the arrow area.
    const int cx = r.right - kArrowWidth / 2 - 1, cy = r.top + r.Height() / 2 - 1;
    for (int row = 0; row < 4; ++row) FillRect(canvas, {cx - 3 + row, cy - 1 + row, cx + 4 - row, cy + row}, ink);
    if (focused && !open && r.Height() > 6)
        DrawFocusRect(canvas, {r.left + 2, r.top + 2, r.right - kArrowWidth, r.bottom - 2});
}

int ListRows(const Window& window, const Control& control) {
    return std::max(1, (control.rect.Height() - 2) / ItemHeight(window));
}

void DrawListBox(Window& window, const Canvas& canvas, const Control& control, bool focused) {
    const Rect r = control.rect;
    FillRect(canvas, r, control.enabled ? kWhite : kFaceColor);
    FrameRect(canvas, r, focused ? kAccent : kFieldBorder);
    const Rect inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    DrawItems(window, canvas.Clipped(inner), control, inner, control.firstItem, ListRows(window, control),
              control.selection, focused);
}

// The index of the character boundary nearest to the client x in an edit field.
int EditPositionAt(const Window& window, const Control& control, int x) {
    const int target = x - EditInner(control).left + control.scroll;
    int best = 0, bestDistance = std::abs(target);
    for (int at = 0; at < int(control.text.size());) {
        at = NextChar(control.text, at);
        const int distance = std::abs(TextX(window, control.text, at) - target);
        if (distance < bestDistance) best = at, bestDistance = distance;
    }
    return best;
}

void ReplaceSelection(Window& window, Control& control, const std::string& with) {
    const int start = std::min(control.anchor, control.caret), end = std::max(control.anchor, control.caret);
    control.text.replace(std::size_t(start), std::size_t(end - start), with);
    control.caret = control.anchor = start + int(with.size());
    ScrollToCaret(window, control);
}

void EditKey(Window& window, Control& control, const InputEvent& event) {
    const std::string before = control.text;
    const int start = std::min(control.anchor, control.caret), end = std::max(control.anchor, control.caret);
    const bool shift = event.keys & kShift;
    const auto moveTo = [&](int at) {
        control.caret = at;
        if (!shift) control.anchor = at;
    };
    if (event.kind == InputEvent::Text) {
        if (!event.text.empty() && static_cast<unsigned char>(event.text[0]) >= 32) ReplaceSelection(window, control, event.text);
    } else if (event.key == Key::Letter && (event.keys & kCtrl)) {
        if (event.letter == 'a') control.anchor = 0, control.caret = int(control.text.size());
        if ((event.letter == 'c' || event.letter == 'x') && start != end)
            TheBackend().SetClipboard(control.text.substr(std::size_t(start), std::size_t(end - start)));
        if (event.letter == 'x') ReplaceSelection(window, control, "");
        if (event.letter == 'v') {
            std::string pasted = TheBackend().Clipboard();
            std::erase_if(pasted, [](char c) { return static_cast<unsigned char>(c) < 32; });
            ReplaceSelection(window, control, pasted);
        }
    } else {
        switch (event.key) {
            case Key::Backspace:
                if (start == end && start > 0) control.anchor = PreviousChar(control.text, start);
                ReplaceSelection(window, control, "");
                break;
            case Key::Delete:
                if (start == end && end < int(control.text.size())) control.anchor = NextChar(control.text, end);
                ReplaceSelection(window, control, "");
                break;
            case Key::Left:
                moveTo(!shift && start != end ? start : control.caret > 0 ? PreviousChar(control.text, control.caret) : 0);
                break;
            case Key::Right:
                moveTo(!shift && start != end ? end
                       : control.caret < int(control.text.size()) ? NextChar(control.text, control.caret)
                                                                   : control.caret);
                break;
            case Key::Home:
                moveTo(0);
                break;
            case Key::End:
                moveTo(int(control.text.size()));
                break;
            default:
                return;
        }
    }
    ScrollToCaret(window, control);
    InvalidateRect(&window, control.rect);
    if (control.text != before) SendCommand(window, control.id, kEditChanged);
}

// Moves a list's selection by a key; true when the key was one that moves it.
bool ListStep(const Control& control, Key key, int rows, int& item) {
    const int last = int(control.items.size()) - 1;
    switch (key) {
        case Key::Up: item = std::max(0, item - 1); break;
        case Key::Down: item = std::min(last, item + 1); break;
        case Key::PageUp: item = std::max(0, item - rows); break;
        case Key::PageDown: item = std::min(last, item + rows); break;
        case Key::Home: item = 0; break;
        case Key::End: item = last; break;
        default: return false;
    }
    return last >= 0;
}

void Choose(Window& window, int index, int item) {
    Control& control = window.controls[std::size_t(index)];
    const int before = control.selection;
    SetSelection(&window, control.id, item);
    if (control.selection != before) SendCommand(window, control.id, kSelectionChanged);
}

void OpenPopup(Window& window, int index) {
    const Control& control = window.controls[std::size_t(index)];
    const int h = ItemHeight(window);
    const int count = std::max(1, int(control.items.size()));
    const int below = (window.height - control.rect.bottom - 2) / h, above = (control.rect.top - 2) / h;
    const bool down = below >= std::min(count, kPopupMaxRows) || below >= above;
    const int rows = std::max(1, std::min({count, kPopupMaxRows, down ? below : above}));
    Popup& popup = window.popup;
    popup.control = index;
    popup.rows = rows;
    popup.hot = control.selection;
    popup.firstItem = std::clamp(control.selection - rows / 2, 0, std::max(0, int(control.items.size()) - rows));
    const int top = down ? control.rect.bottom : control.rect.top - rows * h - 2;
    popup.rect = {control.rect.left, top, control.rect.right, top + rows * h + 2};
    InvalidateRect(&window, popup.rect);
    InvalidateIndex(window, index);
}

void ScrollPopup(Window& window, int firstItem) {
    Popup& popup = window.popup;
    const int count = int(window.controls[std::size_t(popup.control)].items.size());
    popup.firstItem = std::clamp(firstItem, 0, std::max(0, count - popup.rows));
    InvalidateRect(&window, popup.rect);
}

}  // namespace

bool Focusable(const Control& control) {
    return control.visible && control.enabled && control.controlClass != ControlClass::Static;
}

void DrawControl(Window& window, const Canvas& canvas, int index) {
    const Control& control = window.controls[std::size_t(index)];
    const Canvas clipped = canvas.Clipped(control.rect);
    const bool focused = window.focus == index;
    switch (control.controlClass) {
        case ControlClass::Static: DrawStatic(window, clipped, control); return;
        case ControlClass::Button: DrawButton(window, clipped, control, focused); return;
        case ControlClass::CheckBox: DrawCheckBox(window, clipped, control, focused); return;
        case ControlClass::Edit: DrawEdit(window, clipped, control, focused); return;
        case ControlClass::ComboBox: DrawComboBox(window, clipped, control, focused, window.popup.control == index); return;
        case ControlClass::ListBox: DrawListBox(window, clipped, control, focused); return;
    }
}

void DrawPopup(Window& window, const Canvas& canvas) {
    const Popup& popup = window.popup;
    const Control& control = window.controls[std::size_t(popup.control)];
    const Canvas clipped = canvas.Clipped(popup.rect);
    FillRect(clipped, popup.rect, kWhite);
    FrameRect(clipped, popup.rect, Rgb(0x64, 0x64, 0x64));
    const Rect inner{popup.rect.left + 1, popup.rect.top + 1, popup.rect.right - 1, popup.rect.bottom - 1};
    DrawItems(window, clipped.Clipped(inner), control, inner, popup.firstItem, popup.rows,
              popup.hot >= 0 ? popup.hot : control.selection, true);
}

void ClosePopup(Window& window) {
    if (window.popup.control < 0) return;
    InvalidateRect(&window, window.popup.rect);
    InvalidateIndex(window, window.popup.control);
    window.popup.control = -1;
}

void ScrollToCaret(Window& window, Control& control) {
    if (control.controlClass != ControlClass::Edit) return;
    const int width = std::max(1, EditInner(control).Width() - 1);
    const int caretX = TextX(window, control.text, control.caret);
    const int textWidth = TextX(window, control.text, int(control.text.size()));
    if (caretX - control.scroll > width) control.scroll = caretX - width;
    if (caretX < control.scroll) control.scroll = caretX;
    control.scroll = std::clamp(control.scroll, 0, std::max(0, textWidth - width));
}

void ControlMouse(Window& window, int index, const InputEvent& event) {
    Control& control = window.controls[std::size_t(index)];
    const bool inside = control.rect.Contains(event.x, event.y);
    const bool held = window.mouseControl == index;
    switch (control.controlClass) {
        case ControlClass::Static:
            return;
        case ControlClass::Button:
        case ControlClass::CheckBox:
            if (event.kind == InputEvent::MouseDown) {
                FocusIndex(window, index, false);
                window.mouseControl = index;
                control.pressed = true;
            } else if (event.kind == InputEvent::MouseMove && held) {
                control.pressed = inside;
            } else if (event.kind == InputEvent::MouseUp && held) {
                window.mouseControl = -1;
                const bool clicked = control.pressed;
                control.pressed = false;
                InvalidateRect(&window, control.rect);
                if (clicked) {
                    if (control.controlClass == ControlClass::CheckBox) control.checked = !control.checked;
                    UpdateWindow(&window);
                    SendCommand(window, control.id, kClicked);
                }
                return;
            }
            InvalidateRect(&window, control.rect);
            return;
        case ControlClass::Edit:
            if (event.kind == InputEvent::MouseDown) {
                FocusIndex(window, index, false);
                window.mouseControl = index;
                control.caret = EditPositionAt(window, control, event.x);
                if (!(event.keys & kShift)) control.anchor = control.caret;
            } else if (event.kind == InputEvent::MouseMove && held) {
                control.caret = EditPositionAt(window, control, event.x);
            } else if (event.kind == InputEvent::MouseUp && held) {
                window.mouseControl = -1;
            } else {
                return;
            }
            ScrollToCaret(window, control);
            InvalidateRect(&window, control.rect);
            return;
        case ControlClass::ComboBox:
            if (event.kind == InputEvent::MouseDown) {
                FocusIndex(window, index, false);
                OpenPopup(window, index);
            }
            return;
        case ControlClass::ListBox: {
            const int rows = ListRows(window, control);
            const int count = int(control.items.size());
            if (event.kind == InputEvent::Wheel) {
                control.firstItem = std::clamp(control.firstItem - 3 * event.wheel, 0, std::max(0, count - rows));
                InvalidateRect(&window, control.rect);
                return;
            }
            if (event.kind != InputEvent::MouseDown) return;
            FocusIndex(window, index, false);
            InvalidateRect(&window, control.rect);
            if (count > rows && event.x >= control.rect.right - 1 - kScrollBarWidth) {
                const int step = event.y < control.rect.top + control.rect.Height() / 2 ? -rows : rows;
                control.firstItem = std::clamp(control.firstItem + step, 0, count - rows);
                return;
            }
            const int item = control.firstItem + (event.y - control.rect.top - 1) / ItemHeight(window);
            if (item < 0 || item >= count) return;
            const std::uint32_t now = TickCount();
            const bool twice = item == control.lastClickItem && now - control.lastClickTime <= kDoubleClickMs;
            control.lastClickItem = twice ? -1 : item;
            control.lastClickTime = now;
            Choose(window, index, item);
            if (twice) SendCommand(window, control.id, kDoubleClicked);
            return;
        }
    }
}

void PopupMouse(Window& window, const InputEvent& event) {
    Popup& popup = window.popup;
    const Control& control = window.controls[std::size_t(popup.control)];
    const int count = int(control.items.size());
    const bool scrolls = count > popup.rows;
    const Rect list{popup.rect.left + 1, popup.rect.top + 1,
                    popup.rect.right - 1 - (scrolls ? kScrollBarWidth : 0), popup.rect.bottom - 1};
    const int item = popup.firstItem + (event.y - list.top) / ItemHeight(window);
    switch (event.kind) {
        case InputEvent::Wheel:
            ScrollPopup(window, popup.firstItem - 3 * event.wheel);
            return;
        case InputEvent::MouseMove:
            if (list.Contains(event.x, event.y) && item < count && item != popup.hot) {
                popup.hot = item;
                InvalidateRect(&window, popup.rect);
            }
            return;
        case InputEvent::MouseDown:
            if (popup.rect.Contains(event.x, event.y) && !list.Contains(event.x, event.y)) {
                // The scroll bar pages towards the side that was pressed.
                const int step = event.y < popup.rect.top + popup.rect.Height() / 2 ? -popup.rows : popup.rows;
                ScrollPopup(window, popup.firstItem + step);
            } else if (!popup.rect.Contains(event.x, event.y)) {
                ClosePopup(window);
            }
            return;
        case InputEvent::MouseUp:
            if (list.Contains(event.x, event.y) && item < count) {
                const int index = popup.control;
                ClosePopup(window);
                Choose(window, index, item);
            }
            return;
        default:
            return;
    }
}

void ControlKey(Window& window, int index, const InputEvent& event) {
    Control& control = window.controls[std::size_t(index)];
    const bool down = event.kind == InputEvent::KeyDown;
    switch (control.controlClass) {
        case ControlClass::Static:
            return;
        case ControlClass::Edit:
            EditKey(window, control, event);
            return;
        case ControlClass::Button:
        case ControlClass::CheckBox:
            if (down && event.key == Key::Space) {
                if (control.controlClass == ControlClass::CheckBox) control.checked = !control.checked;
                InvalidateRect(&window, control.rect);
                UpdateWindow(&window);
                SendCommand(window, control.id, kClicked);
            }
            return;
        case ControlClass::ComboBox: {
            if (!down) return;
            Popup& popup = window.popup;
            if (popup.control == index) {
                int item = popup.hot >= 0 ? popup.hot : control.selection;
                if (ListStep(control, event.key, popup.rows, item)) {
                    popup.hot = item;
                    if (item < popup.firstItem) popup.firstItem = item;
                    if (item >= popup.firstItem + popup.rows) popup.firstItem = item - popup.rows + 1;
                    InvalidateRect(&window, popup.rect);
                } else if (event.key == Key::Enter) {
                    ClosePopup(window);
                    if (item >= 0) Choose(window, index, item);
                } else if (event.key == Key::Escape || event.key == Key::F4 || event.key == Key::Tab) {
                    ClosePopup(window);
                }
                return;
            }
            int item = control.selection;
            if (event.key == Key::F4 || event.key == Key::Space) OpenPopup(window, index);
            else if (ListStep(control, event.key, kPopupMaxRows, item)) Choose(window, index, item);
            return;
        }
        case ControlClass::ListBox: {
            int item = control.selection;
            if (down && ListStep(control, event.key, ListRows(window, control), item)) Choose(window, index, item);
            return;
        }
    }
}

}  // namespace ui
