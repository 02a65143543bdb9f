// The interactive backend: each dialog in its own SDL2 window, painted by copying
// the dialog's pixels to the window surface (no GPU needed).
#include <SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "platform/ui/Internal.h"

namespace ui {

namespace {

SDL_Window* Native(Window& window) { return static_cast<SDL_Window*>(window.native); }

unsigned KeyStateOf(Uint16 modifiers) {
    return (modifiers & KMOD_CTRL ? kCtrl : 0u) | (modifiers & KMOD_SHIFT ? kShift : 0u);
}

struct KeyPair {
    SDL_Keycode sym;
    Key key;
};
constexpr KeyPair kKeys[] = {
    {SDLK_TAB, Key::Tab},         {SDLK_RETURN, Key::Enter},     {SDLK_KP_ENTER, Key::Enter},
    {SDLK_ESCAPE, Key::Escape},   {SDLK_BACKSPACE, Key::Backspace}, {SDLK_DELETE, Key::Delete},
    {SDLK_LEFT, Key::Left},       {SDLK_RIGHT, Key::Right},      {SDLK_UP, Key::Up},
    {SDLK_DOWN, Key::Down},       {SDLK_HOME, Key::Home},        {SDLK_END, Key::End},
    {SDLK_PAGEUP, Key::PageUp},   {SDLK_PAGEDOWN, Key::PageDown}, {SDLK_SPACE, Key::Space},
    {SDLK_F4, Key::F4},
};

class SdlBackend : public Backend {
public:
    ~SdlBackend() override { SDL_Quit(); }

    BackendKind Kind() const override { return BackendKind::Sdl; }

    void Open(Window& window) override {
        window.native = SDL_CreateWindow(window.caption.c_str(), window.x, window.y, window.width, window.height,
                                         SDL_WINDOW_HIDDEN);
        if (Native(window)) windows_[SDL_GetWindowID(Native(window))] = &window;
    }

    void Show(Window& window) override {
        if (!Native(window)) return;
        Moved(window);
        SDL_ShowWindow(Native(window));
        SDL_RaiseWindow(Native(window));
        SDL_StartTextInput();
    }

    void Close(Window& window) override {
        if (!Native(window)) return;
        windows_.erase(SDL_GetWindowID(Native(window)));
        SDL_DestroyWindow(Native(window));
        window.native = nullptr;
    }

    void Resized(Window& window) override {
        if (Native(window)) SDL_SetWindowSize(Native(window), window.width, window.height);
    }

    void Moved(Window& window) override {
        const Rect frame = Frame(window);
        if (Native(window)) SDL_SetWindowPosition(Native(window), window.x + frame.left, window.y + frame.top);
    }

    void Present(Window& window) override {
        SDL_Surface* target = Native(window) ? SDL_GetWindowSurface(Native(window)) : nullptr;
        if (!target) return;
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(window.pixels.data(), window.width, window.height, 32,
                                                                 window.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (!source) return;
        SDL_BlitSurface(source, nullptr, target, nullptr);
        SDL_FreeSurface(source);
        SDL_UpdateWindowSurface(Native(window));
    }

    Rect Frame(Window& window) override {
        int top = 0, left = 0, bottom = 0, right = 0;
        if (!Native(window) || SDL_GetWindowBordersSize(Native(window), &top, &left, &bottom, &right) != 0) return {};
        return {left, top, right, bottom};
    }

    Size Screen() override {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return {1024, 768};
        return {mode.w, mode.h};
    }

    std::uint32_t Now() override { return SDL_GetTicks(); }

    bool WaitInput(Window& active, std::uint32_t deadline, bool hasDeadline, InputEvent& event) override {
        for (;;) {
            const std::int32_t left = hasDeadline ? std::int32_t(deadline - Now()) : -1;
            if (hasDeadline && left <= 0) {
                SDL_Event polled;
                if (!SDL_PollEvent(&polled)) return false;
                if (Translate(active, polled, event)) return true;
                continue;
            }
            SDL_Event waited;
            const int got = hasDeadline ? SDL_WaitEventTimeout(&waited, left) : SDL_WaitEvent(&waited);
            if (got && Translate(active, waited, event)) return true;
        }
    }

    bool PollInput(Window& active, InputEvent& event) override { return WaitInput(active, Now(), true, event); }

    void Inject(Window& window, const InputEvent& event) override {
        SDL_Event sdl{};
        const Uint32 id = Native(window) ? SDL_GetWindowID(Native(window)) : 0;
        switch (event.kind) {
            case InputEvent::MouseDown:
            case InputEvent::MouseUp:
                sdl.type = event.kind == InputEvent::MouseDown ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
                sdl.button.windowID = id;
                sdl.button.button = Uint8(event.button == 3 ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT);
                sdl.button.state = event.kind == InputEvent::MouseDown ? SDL_PRESSED : SDL_RELEASED;
                sdl.button.clicks = 1;
                sdl.button.x = event.x;
                sdl.button.y = event.y;
                break;
            case InputEvent::MouseMove:
                sdl.type = SDL_MOUSEMOTION;
                sdl.motion.windowID = id;
                sdl.motion.x = event.x;
                sdl.motion.y = event.y;
                break;
            case InputEvent::Text:
                sdl.type = SDL_TEXTINPUT;
                sdl.text.windowID = id;
                SDL_strlcpy(sdl.text.text, event.text.c_str(), sizeof sdl.text.text);
                break;
            case InputEvent::Close:
                sdl.type = SDL_WINDOWEVENT;
                sdl.window.windowID = id;
                sdl.window.event = SDL_WINDOWEVENT_CLOSE;
                break;
            default:
                return;
        }
        SDL_PushEvent(&sdl);
    }

    void Capture(bool on) override { SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE); }

    void ShowCursor(Cursor& cursor) override {
        if (!cursor.native) cursor.native = MakeCursor(cursor);
        if (cursor.native) SDL_SetCursor(static_cast<SDL_Cursor*>(cursor.native));
    }

    void SetClipboard(const std::string& text) override { SDL_SetClipboardText(text.c_str()); }

    std::string Clipboard() override {
        char* text = SDL_GetClipboardText();
        std::string copy = text ? text : "";
        SDL_free(text);
        return copy;
    }

    // Starts xdg-open without waiting for it: a short-lived child starts it and exits
    // at once, so the program is adopted by init and never left a zombie.
    bool OpenWithDefaultProgram(const std::string& path) override {
        const pid_t child = fork();
        if (child < 0) return false;
        if (child == 0) {
            if (fork() == 0) {
                execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
                _exit(127);
            }
            _exit(0);
        }
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    static SDL_Cursor* MakeCursor(const Cursor& cursor) {
        switch (cursor.kind) {
            case Cursor::Arrow: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
            case Cursor::Wait: return SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
            case Cursor::Image: {
                const Bitmap& image = cursor.image.bitmap;
                SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                    const_cast<Color*>(image.pixels.data()), image.width, image.height, 32, image.width * 4,
                    SDL_PIXELFORMAT_ARGB8888);
                if (!surface) return nullptr;
                SDL_Cursor* made = SDL_CreateColorCursor(surface, cursor.image.hotX, cursor.image.hotY);
                SDL_FreeSurface(surface);
                return made;
            }
        }
        return nullptr;
    }

    // Turns an SDL event into input for the active dialog; events for the windows
    // below it are dropped (they are modal-disabled), except that all are repainted.
    bool Translate(Window& active, const SDL_Event& sdl, InputEvent& event) {
        event = {};
        const Uint32 activeId = Native(active) ? SDL_GetWindowID(Native(active)) : 0;
        switch (sdl.type) {
            case SDL_QUIT:
                event.kind = InputEvent::Close;
                return true;
            case SDL_WINDOWEVENT: {
                auto found = windows_.find(sdl.window.windowID);
                if (found == windows_.end()) return false;
                if (sdl.window.event == SDL_WINDOWEVENT_EXPOSED) Present(*found->second);
                if (sdl.window.event == SDL_WINDOWEVENT_CLOSE && sdl.window.windowID == activeId) {
                    event.kind = InputEvent::Close;
                    return true;
                }
                return false;
            }
            case SDL_MOUSEMOTION:
                if (sdl.motion.windowID != activeId) return false;
                event.kind = InputEvent::MouseMove;
                event.x = sdl.motion.x;
                event.y = sdl.motion.y;
                event.keys = KeyStateOf(Uint16(SDL_GetModState()));
                return true;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (sdl.button.windowID != activeId ||
                    (sdl.button.button != SDL_BUTTON_LEFT && sdl.button.button != SDL_BUTTON_RIGHT))
                    return false;
                event.kind = sdl.type == SDL_MOUSEBUTTONDOWN ? InputEvent::MouseDown : InputEvent::MouseUp;
                event.button = sdl.button.button == SDL_BUTTON_RIGHT ? 3 : 1;
                event.x = sdl.button.x;
                event.y = sdl.button.y;
                event.keys = KeyStateOf(Uint16(SDL_GetModState()));
                return true;
            case SDL_MOUSEWHEEL: {
                if (sdl.wheel.windowID != activeId) return false;
                event.kind = InputEvent::Wheel;
                event.wheel = sdl.wheel.y;
                SDL_GetMouseState(&event.x, &event.y);
                return true;
            }
            case SDL_KEYDOWN: {
                if (sdl.key.windowID != activeId) return false;
                event.kind = InputEvent::KeyDown;
                event.keys = KeyStateOf(sdl.key.keysym.mod);
                const SDL_Keycode sym = sdl.key.keysym.sym;
                for (const KeyPair& pair : kKeys)
                    if (pair.sym == sym) event.key = pair.key;
                if (event.key == Key::None && sym >= SDLK_a && sym <= SDLK_z) {
                    event.key = Key::Letter;
                    event.letter = char('a' + (sym - SDLK_a));
                }
                return event.key != Key::None;
            }
            case SDL_TEXTINPUT:
                if (sdl.text.windowID != activeId) return false;
                event.kind = InputEvent::Text;
                event.text = sdl.text.text;
                return true;
            default:
                return false;
        }
    }

    std::map<Uint32, Window*> windows_;
};

}  // namespace

Backend* MakeSdlBackend() {
    // A module must leave the host's signal handling alone.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return nullptr;
    return new SdlBackend();
}

}  // namespace ui
