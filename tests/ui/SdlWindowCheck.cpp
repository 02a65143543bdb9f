// Opens a real SDL2 window (run under Xvfb by CTest) and drives a dialog through
// SDL's own event queue: typed text reaches the edit field and a click on the
// button ends the dialog. Exits 0 on success.
#include <cstdio>
#include <string>

#include "platform/ui/Dialog.h"
#include "platform/ui/Internal.h"

namespace {

const char kTemplate[] =
    "dialog 0 0 160 60\ncaption \"SDL check\"\nfont \"MS Sans Serif\" 8\n"
    "edit 10 10 10 80 12 \"\" border\nbutton 5 100 36 50 14 \"OK\" default\n";

constexpr int kStart = 1, kWatchdog = 2;
int textChanges = 0;

intptr_t Proc(ui::Window* window, const ui::Message& message) {
    if (message.kind == ui::MessageKind::Initialise) {
        ui::SetTimer(window, kStart, 100);
        ui::SetTimer(window, kWatchdog, 10000);  // ends a dialog whose input went missing
    } else if (message.kind == ui::MessageKind::Timer && message.id == kWatchdog) {
        ui::EndDialog(window, -2);
    } else if (message.kind == ui::MessageKind::Timer) {
        ui::KillTimer(window, kStart);
        const ui::Rect button = ui::ControlRect(window, 5);
        for (auto kind : {ui::InputEvent::Text, ui::InputEvent::MouseMove, ui::InputEvent::MouseDown,
                          ui::InputEvent::MouseUp}) {
            ui::InputEvent event;
            event.kind = kind;
            event.x = button.left + button.Width() / 2;
            event.y = button.top + button.Height() / 2;
            event.text = "ok";
            ui::TheBackend().Inject(*window, event);
        }
    } else if (message.kind == ui::MessageKind::Command) {
        textChanges += message.id == 10 && message.code == ui::kEditChanged;
        if (message.id == 5) ui::EndDialog(window, 5);
    }
    return 0;
}

}  // namespace

int main() {
    if (ui::ActiveBackend() != ui::BackendKind::Sdl) {
        std::fprintf(stderr, "the SDL backend did not start\n");
        return 1;
    }
    const std::string text = kTemplate;
    const intptr_t code =
        ui::RunDialog({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, nullptr, Proc, 0);
    std::printf("end code %ld, text changes %d\n", long(code), textChanges);
    return code == 5 && textChanges == 1 ? 0 : 1;
}
