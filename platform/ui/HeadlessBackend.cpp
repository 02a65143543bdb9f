// The headless backend: no display, input from a script, a virtual clock.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <sstream>

#include "platform/ui/Headless.h"
#include "platform/ui/Internal.h"

namespace ui {

namespace {

struct Target {
    int id = -1;  // -1: x, y are client pixels; else offsets in control id
    bool centre = true;
    int x = 0, y = 0;
};

struct Step {
    enum Kind { Click, Drag, Move, Wheel, Type, KeyPress, Wait, Screenshot, CloseRequest, Call } kind = Click;
    Target from, to;
    int button = 1;
    unsigned keys = 0;
    int amount = 0;  // wheel lines, wait milliseconds
    std::string text;
    Key key = Key::None;
    char letter = 0;
    std::function<void(Window*)> call;
};

struct Queue {
    std::deque<Step> steps;
};

Queue& Input() {
    static Queue queue;
    return queue;
}

bool ParseTarget(const std::string& word, Target& target) {
    char extra = 0;
    if (word.size() > 1 && word[0] == '#') {
        const std::size_t at = word.find('@');
        target.centre = at == std::string::npos;
        if (std::sscanf(word.c_str() + 1, "%d%c", &target.id, &extra) == 1 && target.centre) return true;
        return !target.centre && std::sscanf(word.c_str() + at + 1, "%d,%d%c", &target.x, &target.y, &extra) == 2;
    }
    target.centre = false;
    return std::sscanf(word.c_str(), "%d,%d%c", &target.x, &target.y, &extra) == 2;
}

bool ParseKey(std::string name, Step& step) {
    for (;;) {
        if (name.rfind("Shift+", 0) == 0) step.keys |= kShift, name.erase(0, 6);
        else if (name.rfind("Ctrl+", 0) == 0) step.keys |= kCtrl, name.erase(0, 5);
        else break;
    }
    static const std::pair<const char*, Key> kNames[] = {
        {"Tab", Key::Tab},   {"Enter", Key::Enter},   {"Escape", Key::Escape},     {"Backspace", Key::Backspace},
        {"Delete", Key::Delete}, {"Left", Key::Left}, {"Right", Key::Right},       {"Up", Key::Up},
        {"Down", Key::Down}, {"Home", Key::Home},     {"End", Key::End},           {"PageUp", Key::PageUp},
        {"PageDown", Key::PageDown}, {"Space", Key::Space}, {"F4", Key::F4},
    };
    for (const auto& [keyName, key] : kNames) {
        if (name == keyName) {
            step.key = key;
            return true;
        }
    }
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0]))) {
        step.key = Key::Letter;
        step.letter = char(std::tolower(static_cast<unsigned char>(name[0])));
        return true;
    }
    return false;
}

bool ParseStep(const std::string& line, Step& step) {
    std::istringstream in(line);
    std::string verb, first, second;
    in >> verb;
    if (verb == "type") {
        step.kind = Step::Type;
        step.text = line.substr(std::min(line.size(), line.find("type") + 5));
        return true;
    }
    in >> first >> second;
    std::string rest;
    if (in >> rest) return false;
    const bool one = !first.empty() && second.empty(), two = !second.empty();
    if (verb == "click" || verb == "rclick" || verb == "ctrl-click" || verb == "shift-click") {
        step.kind = Step::Click;
        step.button = verb == "rclick" ? 3 : 1;
        step.keys = verb == "ctrl-click" ? unsigned(kCtrl) : verb == "shift-click" ? unsigned(kShift) : 0u;
        return one && ParseTarget(first, step.from);
    }
    if (verb == "drag" || verb == "ctrl-drag") {
        step.kind = Step::Drag;
        step.keys = verb == "ctrl-drag" ? unsigned(kCtrl) : 0u;
        return two && ParseTarget(first, step.from) && ParseTarget(second, step.to);
    }
    if (verb == "move") {
        step.kind = Step::Move;
        return one && ParseTarget(first, step.from);
    }
    if (verb == "wheel") {
        step.kind = Step::Wheel;
        return two && ParseTarget(first, step.from) && std::sscanf(second.c_str(), "%d", &step.amount) == 1;
    }
    if (verb == "key") {
        step.kind = Step::KeyPress;
        return one && ParseKey(first, step);
    }
    if (verb == "wait") {
        step.kind = Step::Wait;
        return one && std::sscanf(first.c_str(), "%d", &step.amount) == 1 && step.amount >= 0;
    }
    if (verb == "screenshot") {
        step.kind = Step::Screenshot;
        step.text = first;
        return one;
    }
    if (verb == "close") {
        step.kind = Step::CloseRequest;
        return first.empty();
    }
    return false;
}

Position Resolve(Window& window, const Target& target) {
    if (target.id < 0) return {target.x, target.y};
    const Rect r = ControlRect(&window, target.id);
    if (target.centre) return {r.left + r.Width() / 2, r.top + r.Height() / 2};
    return {r.left + target.x, r.top + target.y};
}

class HeadlessBackend : public Backend {
public:
    HeadlessBackend() {
        if (const char* script = std::getenv("TESSELUME_UI_SCRIPT")) {
            std::string error;
            if (!headless::QueueScript(script, &error)) std::fprintf(stderr, "TESSELUME_UI_SCRIPT: %s\n", error.c_str());
        }
    }

    BackendKind Kind() const override { return BackendKind::Headless; }
    void Open(Window&) override {}
    void Show(Window&) override {}
    // Input left over from the step that ended a dialog is meant for no other one.
    void Close(Window& window) override {
        std::erase(closeSent_, &window);
        pending_.clear();
    }
    void Resized(Window&) override {}
    void Moved(Window&) override {}
    void Present(Window&) override {}
    Rect Frame(Window&) override { return {}; }
    Size Screen() override { return {1920, 1080}; }
    std::uint32_t Now() override { return clock_; }

    bool WaitInput(Window& active, std::uint32_t deadline, bool hasDeadline, InputEvent& event) override {
        const auto reached = [&](std::uint32_t when) { return std::int32_t(when - clock_) <= 0; };
        for (;;) {
            if (waiting_) {
                if (hasDeadline && std::int32_t(deadline - waitUntil_) <= 0) {
                    if (!reached(deadline)) clock_ = deadline;
                    return false;
                }
                clock_ = waitUntil_;
                waiting_ = false;
            }
            if (hasDeadline && reached(deadline)) return false;
            if (!pending_.empty()) {
                event = pending_.front();
                pending_.pop_front();
                idleTimers_ = 0;
                return true;
            }
            auto& steps = Input().steps;
            if (!steps.empty()) {
                Step step = std::move(steps.front());
                steps.pop_front();
                if (Play(active, step, event)) return true;
                continue;
            }
            // The script is used up: let the timers run, a bounded number of times so
            // that a timer that never stops cannot keep the dialog open, then close.
            if (hasDeadline && idleTimers_ < kIdleTimerLimit) {
                ++idleTimers_;
                clock_ = deadline;
                return false;
            }
            const bool again = std::find(closeSent_.begin(), closeSent_.end(), &active) != closeSent_.end();
            if (!again) closeSent_.push_back(&active);
            event = {};
            event.kind = again ? InputEvent::Abandon : InputEvent::Close;
            return true;
        }
    }

    // Plays the script's steps up to the next wait; the clock stands still.
    bool PollInput(Window& active, InputEvent& event) override {
        if (waiting_ && std::int32_t(waitUntil_ - clock_) <= 0) waiting_ = false;
        while (!waiting_) {
            if (!pending_.empty()) {
                event = pending_.front();
                pending_.pop_front();
                return true;
            }
            auto& steps = Input().steps;
            if (steps.empty()) return false;
            Step step = std::move(steps.front());
            steps.pop_front();
            if (Play(active, step, event)) return true;
        }
        return false;
    }

    void Inject(Window&, const InputEvent& event) override { pending_.push_back(event); }
    void Capture(bool) override {}
    void ShowCursor(Cursor&) override {}
    void SetClipboard(const std::string& text) override { clipboard_ = text; }
    std::string Clipboard() override { return clipboard_; }
    // No program is started without a display; the request counts as done.
    bool OpenWithDefaultProgram(const std::string&) override { return true; }

private:
    static constexpr int kIdleTimerLimit = 1000;

    void Mouse(InputEvent::Kind kind, Position at, int button, unsigned keys) {
        InputEvent event;
        event.kind = kind;
        event.x = at.x;
        event.y = at.y;
        event.button = button;
        event.keys = keys;
        pending_.push_back(event);
    }

    // Turns a step into input events (queued) or does it; true when event holds the
    // first thing to hand to the dialog.
    bool Play(Window& active, Step& step, InputEvent& event) {
        switch (step.kind) {
            case Step::Click: {
                const Position at = Resolve(active, step.from);
                Mouse(InputEvent::MouseMove, at, 1, step.keys);
                Mouse(InputEvent::MouseDown, at, step.button, step.keys);
                Mouse(InputEvent::MouseUp, at, step.button, step.keys);
                break;
            }
            case Step::Drag: {
                const Position from = Resolve(active, step.from), to = Resolve(active, step.to);
                Mouse(InputEvent::MouseMove, from, 1, step.keys);
                Mouse(InputEvent::MouseDown, from, 1, step.keys);
                for (int i = 1; i <= 4; ++i)
                    Mouse(InputEvent::MouseMove,
                          {from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4}, 1, step.keys);
                Mouse(InputEvent::MouseUp, to, 1, step.keys);
                break;
            }
            case Step::Move:
                Mouse(InputEvent::MouseMove, Resolve(active, step.from), 1, 0);
                break;
            case Step::Wheel: {
                Mouse(InputEvent::Wheel, Resolve(active, step.from), 1, 0);
                pending_.back().wheel = step.amount;
                break;
            }
            case Step::Type:
                for (std::size_t at = 0; at < step.text.size();) {
                    std::size_t next = at + 1;
                    while (next < step.text.size() && (static_cast<unsigned char>(step.text[next]) & 0xC0) == 0x80) ++next;
                    InputEvent typed;
                    typed.kind = InputEvent::Text;
                    typed.text = step.text.substr(at, next - at);
                    pending_.push_back(typed);
                    at = next;
                }
                break;
            case Step::KeyPress: {
                InputEvent press;
                press.kind = InputEvent::KeyDown;
                press.key = step.key;
                press.letter = step.letter;
                press.keys = step.keys;
                pending_.push_back(press);
                break;
            }
            case Step::Wait:
                waiting_ = true;
                waitUntil_ = clock_ + std::uint32_t(step.amount);
                return false;
            case Step::Screenshot:
                if (!SaveScreenshot(&active, step.text.c_str()))
                    std::fprintf(stderr, "screenshot: cannot write %s\n", step.text.c_str());
                return false;
            case Step::CloseRequest:
                event = {};
                event.kind = InputEvent::Close;
                return true;
            case Step::Call:
                step.call(&active);
                event = {};
                return true;
        }
        return false;
    }

    std::uint32_t clock_ = 0;
    bool waiting_ = false;
    std::uint32_t waitUntil_ = 0;
    int idleTimers_ = 0;
    std::deque<InputEvent> pending_;
    std::vector<Window*> closeSent_;
    std::string clipboard_;
};

}  // namespace

Backend* MakeHeadlessBackend() { return new HeadlessBackend(); }

namespace headless {

bool QueueScript(std::string_view script, std::string* error) {
    std::vector<Step> parsed;
    std::string text(script);
    for (char& c : text)
        if (c == ';') c = '\n';
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        line.erase(0, first);
        while (!line.empty() && (line.back() == '\r' || (line.back() == ' ' && line.rfind("type", 0) != 0))) line.pop_back();
        Step step;
        if (!ParseStep(line, step)) {
            if (error) *error = "cannot read the step \"" + line + "\"";
            return false;
        }
        parsed.push_back(std::move(step));
    }
    for (Step& step : parsed) Input().steps.push_back(std::move(step));
    return true;
}

void QueueCall(std::function<void(Window*)> call) {
    Step step;
    step.kind = Step::Call;
    step.call = std::move(call);
    Input().steps.push_back(std::move(step));
}

void ClearQueue() { Input().steps.clear(); }

}  // namespace headless

}  // namespace ui
