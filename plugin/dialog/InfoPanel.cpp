// The information panel's dialog procedure.
#include "dialog/InfoPanel.h"

#include "dialog/ModuleDialog.h"

namespace {

bool infoPanelOpen = false;

constexpr int kWidth = 673, kHeight = 462;
constexpr int kTitle = 200, kFirstLine = 201, kLineCount = 8, kClose = 1;

// The texts sit beside the legend swatches of the picture (artwork/Artwork.cpp),
// 46 pixels apart.
void LayOut(ui::Window* window) {
    ui::SetClientSize(window, kWidth, kHeight);
    ui::MoveControl(window, kTitle, {334, 12, 662, 30});
    for (int i = 0; i < kLineCount; ++i) {
        const int top = 38 + 46 * i;
        ui::MoveControl(window, kFirstLine + i, {352, top, 664, top + 44});
    }
    ui::MoveControl(window, kClose, {586, 426, 662, 452});
}

intptr_t InfoPanelProc(ui::Window* window, const ui::Message& message) {
    switch (message.kind) {
        case ui::MessageKind::Initialise:
            LayOut(window);
            CenterDialog(window);
            return 0;
        case ui::MessageKind::StaticColor:
            return ui::kHollow;
        case ui::MessageKind::Command:
            ui::EndDialog(window, message.id);
            return 0;
        default:
            return 0;
    }
}

}  // namespace

void ShowInfoPanel() {
    if (infoPanelOpen) return;
    infoPanelOpen = true;
    RunModuleDialog("INFOPANEL", InfoPanelProc, 0);
    infoPanelOpen = false;
}
