// The memory dots in the main dialog.
#include "dialog/MemoryDots.h"

#include "dialog/MainDialog.h"
#include "dialog/PresetDialogs.h"

namespace {

// The dot table's view of the dialog.
struct DialogDotView final : DotView {
    MainDialog& dialog;
    explicit DialogDotView(MainDialog& d) : dialog(d) {}
    void RepaintControl(int id) override { ::RepaintControl(dialog, id); }
    void RenewThumbnail() override { ::RenewThumbnail(dialog.host.thumbnail, *dialog.settings); }
    void SettingsReplaced() override { SettingsToControls(dialog); }
};

int DotIndex(int id) { return id - controlid::kFirstDot; }

}  // namespace

void SetUpMemoryDots(MainDialog& dialog) {
    const DialogHost& run = dialog.host;
    if (!run.memoryDots) return;
    MemoryDotsState& dots = dialog.dots;
    InitialiseDots(dots, *run.memoryDots, run.thumbnail, run.weights);
    DialogDotView view(dialog);
    SetUpDots(dots, *dialog.settings, view);
}

void ReleaseMemoryDots(MainDialog& dialog) { ReleaseDots(dialog.dots); }

bool MemoryDotClick(MainDialog& dialog, int id) {
    if (!dialog.dots.pins) return false;
    DialogDotView view(dialog);
    if (id == controlid::kExtraDot) {
        // The right button and Ctrl belong to the HTML exports; a plain click recalls.
        return !dialog.rightButton && !dialog.ctrl && ClickExtraDot(dialog.dots, *dialog.settings, view);
    }
    if (id < controlid::kFirstDot || id > controlid::kLastDot) return false;
    return ClickDot(dialog.dots, DotIndex(id), dialog.rightButton, dialog.ctrl, *dialog.settings, view) ==
           DotClick::recalled;
}

bool MemoryDotWantsSnapshot(const MainDialog& dialog, int id) {
    // The extra dot's right and Ctrl clicks start exports, which leave the settings alone.
    if (id == controlid::kExtraDot) return dialog.dots.shown >= 0 && !dialog.rightButton && !dialog.ctrl;
    if (id < controlid::kFirstDot || id > controlid::kLastDot) return false;
    return dialog.dots.state[DotIndex(id)] != DotState::empty && !dialog.ctrl;
}

void HoverMemoryDots(MainDialog& dialog, int x, int y) {
    if (!dialog.dots.pins) return;
    DialogDotView view(dialog);
    for (int id = controlid::kFirstDot; id <= controlid::kLastDot; ++id)
        if (dialog.enabled[id] && ui::ControlRect(dialog.window, id).Contains(x, y)) HoverDot(dialog.dots, DotIndex(id), view);
}

int MemoryDotImage(const MainDialog& dialog, int id) {
    const int n = DotIndex(id);
    const bool pinned = dialog.dots.pins && dialog.dots.pins->pinned[n];
    return DotImageId(dialog.dots.state[n], pinned, dialog.values[id] & 2);
}

void PaintExtraDotPicture(MainDialog& dialog, const ui::Canvas& canvas) {
    const ImageStore& picture = dialog.dots.preview;
    if (picture.tileCount == 0) return;
    ui::Bitmap bitmap;
    bitmap.width = picture.fullWidth;
    bitmap.height = picture.fullHeight;
    bitmap.pixels.resize(std::size_t(bitmap.width) * std::size_t(bitmap.height));
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x) {
            IntRGBA p;
            getRGBA(x, y, &picture, 0, p);
            bitmap.pixels[std::size_t(y) * std::size_t(bitmap.width) + std::size_t(x)] =
                ui::Rgb(unsigned(p.red), unsigned(p.green), unsigned(p.blue));
        }
    const ui::Rect frame = ui::ControlRect(dialog.window, controlid::kExtraDot);
    ui::DrawBitmap(canvas, bitmap, frame.left + kDotPreviewInset, frame.top + kDotPreviewInset);
}

void ClearCurrentMemoryDot(MainDialog& dialog) {
    DialogDotView view(dialog);
    ClearCurrentDot(dialog.dots, view);
}
