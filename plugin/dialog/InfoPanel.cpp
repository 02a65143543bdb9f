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

// Lays the texts out over the picture, which they lie on without a background.
intptr_t InfoPanelProc(ui::Window* window, const ui::Message& message) {
    if (message.kind == ui::MessageKind::Initialise) LayOut(window);
    if (message.kind == ui::MessageKind::StaticColor) return ui::kHollow;
    return NoticeProc(window, message);
}

}  // namespace

void ShowInfoPanel() {
    if (infoPanelOpen) return;
    infoPanelOpen = true;
    RunModuleDialog("INFOPANEL", InfoPanelProc, 0);
    infoPanelOpen = false;
}
