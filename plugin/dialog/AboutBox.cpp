// The about box's dialog procedure.
#include "dialog/AboutBox.h"

#include "dialog/ModuleDialog.h"

namespace {

constexpr int kNameArea = 101;  // hidden static: where the product name is painted

bool aboutBoxOpen = false;

void Close(ui::Window* window, int code) {
    aboutBoxOpen = false;
    ui::EndDialog(window, code);
}

intptr_t AboutProc(ui::Window* window, const ui::Message& message) {
    switch (message.kind) {
        case ui::MessageKind::Initialise:
            aboutBoxOpen = true;
            CenterDialog(window);
            return 0;
        case ui::MessageKind::EraseBackground: {
            const ui::Size size = ui::ClientSize(window);
            ui::FillRect(ui::PaintCanvas(window), {0, 0, size.width, size.height}, ui::Rgb(255, 255, 255));
            return 1;
        }
        case ui::MessageKind::StaticColor:
            return ui::kHollow;
        case ui::MessageKind::Paint:
            if (const ui::Font* font = ui::GetFont("Arial", 14, true))
                ui::DrawText(ui::PaintCanvas(window), *font, "Tesselume", ui::ControlRect(window, kNameArea),
                             ui::Rgb(0x14, 0x32, 0x5A), ui::kTextVCenter);
            return 0;
        case ui::MessageKind::Command:
            Close(window, message.id);
            return 0;
        case ui::MessageKind::Close:
            Close(window, ui::kIdCancel);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void ShowAboutBox() {
    if (aboutBoxOpen) return;
    RunModuleDialog("ABOUTBOX", AboutProc, 0);
    aboutBoxOpen = false;
}

bool AboutBoxOpen() { return aboutBoxOpen; }

void ClearAboutBoxOpen() { aboutBoxOpen = false; }
