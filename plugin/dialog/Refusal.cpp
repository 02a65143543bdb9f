// The refusal alerts' dialog procedure.
#include "dialog/Refusal.h"

#include "dialog/ModuleDialog.h"

namespace {

intptr_t RefusalProc(ui::Window* window, const ui::Message& message) {
    switch (message.kind) {
        case ui::MessageKind::Initialise:
            CenterDialog(window);
            return 0;
        case ui::MessageKind::Command:
            ui::EndDialog(window, message.id);
            return 0;
        default:
            return 0;
    }
}

}  // namespace

void ShowRefusal(const char* templateName) { RunModuleDialog(templateName, RefusalProc, 0); }
