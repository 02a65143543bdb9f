// Opens a real SDL2 window (run under Xvfb by CTest) and drives a dialog through
// SDL's own event queue: typed text reaches the edit field and a click on the
// button ends the dialog. Exits 0 on success.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/Dialog.h"
#include "platform/ui/Internal.h"

namespace {

const char kTemplate[] =
    "dialog 0 0 160 60\n"
    "caption \"SDL check\"\n"
    "font \"MS Sans Serif\" 8\n"
    "edit 10 10 10 80 12 \"\" border\n"
    "button 5 100 36 50 14 \"OK\" default\n";

constexpr int kStart = 1, kWatchdog = 2;
int textChanges = 0;

void Inject(ui::Window* window, ui::InputEvent::Kind kind, int x, int y, const std::string& text = {}) {
    ui::InputEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    event.text = text;
    ui::TheBackend().Inject(*window, event);
}

intptr_t Proc(ui::Window* window, const ui::Message& message) {
    switch (message.kind) {
        case ui::MessageKind::Initialise:
            ui::SetTimer(window, kStart, 100);
            ui::SetTimer(window, kWatchdog, 10000);  // ends a dialog whose input went missing
            return 0;
        case ui::MessageKind::Timer:
            if (message.id == kWatchdog) {
                ui::EndDialog(window, -2);
            } else {
                ui::KillTimer(window, kStart);
                const ui::Rect button = ui::ControlRect(window, 5);
                const int x = button.left + button.Width() / 2, y = button.top + button.Height() / 2;
                Inject(window, ui::InputEvent::Text, 0, 0, "ok");
                Inject(window, ui::InputEvent::MouseMove, x, y);
                Inject(window, ui::InputEvent::MouseDown, x, y);
                Inject(window, ui::InputEvent::MouseUp, x, y);
            }
            return 0;
        case ui::MessageKind::Command:
            if (message.id == 10 && message.code == ui::kEditChanged) ++textChanges;
            if (message.id == 5) ui::EndDialog(window, 5);
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int main() {
    if (ui::ActiveBackend() != ui::BackendKind::Sdl) {
        std::fprintf(stderr, "the SDL backend did not start (TESSELUME_UI=%s)\n", std::getenv("TESSELUME_UI"));
        return 1;
    }
    const std::string text = kTemplate;
    const intptr_t code =
        ui::RunDialog({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, nullptr, Proc, 0);
    std::printf("end code %ld, text changes %d\n", long(code), textChanges);
    return code == 5 && textChanges == 1 ? 0 : 1;
}
