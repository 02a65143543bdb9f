// Painting the main dialog: the background picture, the painted sliders, labels,
// status line, memory dots and the extra dot's frame. Standard controls (number
// fields, switches, buttons, lists) are drawn by the toolkit on top.
#include <algorithm>

#include "dialog/MainDialog.h"
#include "settings/Settings.h"

namespace {

constexpr ui::Color kBlack = ui::Rgb(0, 0, 0);
constexpr ui::Color kGrey = ui::FromColorRef(0x8C8C8C);
constexpr ui::Color kWhite = ui::Rgb(255, 255, 255);
constexpr ui::Color kTrackFill = ui::FromColorRef(0xFFDEDE);
constexpr ui::Color kTrackFillDisabled = ui::FromColorRef(0xDEDEDE);
constexpr ui::Color kPreviewFrame = kBlack;
constexpr int kTextHeight = 14;
constexpr int kLabelOverhang = 8;

const ui::Font* LabelFont() { return ui::GetFont("Arial", 8); }

const ui::Bitmap* Image(const MainDialog& dialog, int id) {
    const auto found = dialog.bitmaps.find(id);
    return found == dialog.bitmaps.end() || found->second.Empty() ? nullptr : &found->second;
}

// Puts the background picture back under r before something is painted over it.
void RestoreBackground(const MainDialog& dialog, const ui::Canvas& canvas, ui::Rect r) {
    const ui::Canvas clipped = canvas.Clipped(r);
    if (const ui::Bitmap* background = Image(dialog, artwork::kBackground))
        ui::DrawBitmap(clipped, *background, 0, 0);
    else
        ui::FillRect(clipped, r, kWhite);
}

// Text in the dialog's painted style: vertically centred in r less 2 pixels at the
// bottom, moved up 2 pixels.
void PaintText(const ui::Canvas& canvas, std::string_view text, ui::Rect r, ui::Color color, unsigned align) {
    const ui::Font* font = LabelFont();
    if (!font) return;
    ui::Rect box{r.left, r.top - 2, r.right, r.bottom - 4};
    box.top += (box.Height() - kTextHeight) / 2;
    box.bottom = box.top + kTextHeight;
    ui::DrawText(canvas.Clipped(ui::Bound(r, box)), *font, text, box, color, align | ui::kTextVCenter);
}

void PaintSlider(const MainDialog& dialog, const ui::Canvas& canvas, int id, ui::Rect r) {
    const ControlDescriptor& control = dialog.controls[id];
    const ui::Canvas clipped = canvas.Clipped(r);
    const bool enabled = dialog.enabled[id];
    const ui::Bitmap* track = Image(dialog, control.images[0]);
    if (enabled && track) {
        ui::DrawBitmap(clipped, *track, r.left, r.top);
    } else {
        const ui::Rect plain{r.left, r.top, r.right - 2, r.top + 11};
        RestoreBackground(dialog, canvas, r);
        ui::FillRect(clipped, plain, enabled ? kTrackFill : kTrackFillDisabled);
        ui::FrameRect(clipped, plain, enabled ? kBlack : kGrey);
        const ui::Rect inner{plain.left + 1, plain.top + 1, plain.right - 1, plain.bottom - 1};
        ui::DrawLine(clipped, inner.left, inner.top, inner.right - 1, inner.top, kGrey);
        ui::DrawLine(clipped, inner.left, inner.top, inner.left, inner.bottom - 1, kGrey);
        ui::DrawLine(clipped, inner.left, inner.bottom - 1, inner.right - 1, inner.bottom - 1, enabled ? kWhite : kGrey);
        ui::DrawLine(clipped, inner.right - 1, inner.top, inner.right - 1, inner.bottom - 1, enabled ? kWhite : kGrey);
    }
    if (!enabled) return;
    if (const ui::Bitmap* knob = Image(dialog, control.images[1])) {
        const int range = std::max(1, control.maximum - control.minimum);
        const int x = r.left + 1 + (dialog.values[id] - control.minimum) * (r.Width() - 15) / range;
        ui::DrawBitmap(clipped, *knob, x, r.top + 1);
    }
}

void PaintLabel(const MainDialog& dialog, const ui::Canvas& canvas, int id, ui::Rect r) {
    const ControlDescriptor& control = dialog.controls[id];
    const int of = LabelledControl(id);
    const bool enabled = of < 0 || dialog.enabled[of];
    // A long word may run a few pixels out of its rectangle on the side away from
    // its control; there is only the card's background.
    const bool left = control.minimum == 1;
    const ui::Rect room{left ? r.left : r.left - kLabelOverhang, r.top, left ? r.right + kLabelOverhang : r.right,
                        r.bottom};
    RestoreBackground(dialog, canvas, room);
    PaintText(canvas, LabelText(control.labelNumber), room, enabled ? kBlack : kGrey,
              left ? ui::kTextLeft : ui::kTextRight);
}

void PaintStatusLine(const MainDialog& dialog, const ui::Canvas& canvas, ui::Rect r) {
    RestoreBackground(dialog, canvas, r);
    const ui::Rect inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    PaintText(canvas.Clipped(inside), dialog.settings->settingsFileName, inside, kBlack, ui::kTextCenter);
}

}  // namespace

void LoadPaintingResources(MainDialog& dialog) {
    dialog.bitmaps.clear();
    for (const int id : {artwork::kBackground, artwork::kTrackA, artwork::kTrackB, artwork::kKnob, artwork::kDotFrame})
        dialog.bitmaps[id] = ui::LoadBitmap(ui::kBitmapResource, id);
    for (int id = 202; id <= 216; ++id) dialog.bitmaps[id] = ui::LoadBitmap(ui::kBitmapResource, id);
}

void PaintBackground(MainDialog& dialog, const ui::Canvas& canvas) {
    const ui::Size size = ui::ClientSize(dialog.window);
    ui::FillRect(canvas, {0, 0, size.width, size.height}, kWhite);
    if (const ui::Bitmap* background = Image(dialog, artwork::kBackground)) ui::DrawBitmap(canvas, *background, 0, 0);
}

void PaintControl(MainDialog& dialog, const ui::Canvas& canvas, int id) {
    const ui::Rect r = ui::ControlRect(dialog.window, id);
    if (r.Empty() || ui::Intersect(r, canvas.clip).Empty()) return;
    if (id == controlid::kStatusLine) {
        PaintStatusLine(dialog, canvas, r);
        return;
    }
    if (id == controlid::kPreview && !dialog.settings->hostCanPreview) {
        ui::FrameRect(canvas, r, kPreviewFrame);
        return;
    }
    switch (dialog.controls[id].kind) {
        case kKindSlider:
            PaintSlider(dialog, canvas, id, r);
            return;
        case kKindLabel:
            PaintLabel(dialog, canvas, id, r);
            return;
        case kKindMemoryDot:
            if (const ui::Bitmap* dot = Image(dialog, MemoryDotImage(dialog, id)))
                ui::DrawBitmap(canvas.Clipped({r.left, r.top, r.right, r.bottom + 2}), *dot, r.left, r.top + 2);
            return;
        case kKindExtraDot:
            if (const ui::Bitmap* frame = Image(dialog, artwork::kDotFrame)) ui::DrawBitmap(canvas, *frame, r.left, r.top);
            PaintExtraDotPicture(dialog, canvas);
            return;
        default:
            return;
    }
}

void RepaintControl(MainDialog& dialog, int id) {
    if (!dialog.window) return;
    ui::Rect r = ui::ControlRect(dialog.window, id);
    if (dialog.controls[id].kind == kKindMemoryDot) r.bottom += 2;
    if (dialog.controls[id].kind == kKindLabel) r = {r.left - kLabelOverhang, r.top - 2, r.right + kLabelOverhang, r.bottom};
    if (id == controlid::kStatusLine) r.top -= 2;
    ui::InvalidateRect(dialog.window, r);
}

std::int32_t SliderValueAt(const MainDialog& dialog, int id, int x) {
    const ControlDescriptor& control = dialog.controls[id];
    const ui::Rect r = ui::ControlRect(dialog.window, id);
    const int range = std::max(1, control.maximum - control.minimum);
    const int span = std::max(1, r.Width() - 14);
    const int value = control.minimum + (x - 4 - (r.left + 1)) * range / span;
    return std::clamp(value, control.minimum, control.maximum);
}
