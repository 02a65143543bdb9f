// The memory dots' table: store, recall, pin, and the thumbnail in the extra dot.
#include "dialog/MemoryDotTable.h"

#include "settings/Settings.h"

namespace {

bool ValidDot(int n) { return n >= 0 && n < kMemoryDotCount; }

// Makes dot n the one current dot, returning any other to filled.
void MakeCurrent(MemoryDotsState& dots, int n, DotView& view) {
    for (int i = 0; i < kMemoryDotCount; ++i)
        if (i != n && dots.state[i] == DotState::current) {
            dots.state[i] = DotState::filled;
            view.RepaintControl(controlid::kFirstDot + i);
        }
    dots.state[n] = DotState::current;
    view.RepaintControl(controlid::kFirstDot + n);
}

}  // namespace

void InitialiseDots(MemoryDotsState& dots, MemoryDotPins& pins, ImageStore* thumbnail, const WeightTable* weights) {
    for (DotState& state : dots.state) state = DotState::empty;
    dots.pins = &pins;
    dots.shown = dots.hovered = -1;
    InitialiseImage(&dots.preview, weights);
    dots.thumbnail = thumbnail;
}

void SetUpDots(MemoryDotsState& dots, const Settings& settings, DotView& view) {
    for (int n = 0; n < kMemoryDotCount; ++n) {
        std::int32_t& pinned = dots.pins->pinned[n];
        // A pinned dot whose file is gone or cut short holds nothing: it is free again.
        if (pinned && !MemoryDotReadable(n)) pinned = 0;
        dots.state[n] = pinned ? DotState::filled : DotState::empty;
        view.RepaintControl(controlid::kFirstDot + n);
    }
    const int free = FirstFreeDot(*dots.pins);
    if (free >= 0) StoreDot(dots, free, settings, view);
}

void ReleaseDots(MemoryDotsState& dots) {
    ReleaseImage(&dots.preview);
    dots.shown = dots.hovered = -1;
}

int FirstFreeDot(const MemoryDotPins& pins) {
    for (int n = 0; n < kMemoryDotCount; ++n)
        if (!pins.pinned[n]) return n;
    return -1;
}

void StoreDot(MemoryDotsState& dots, int n, const Settings& settings, DotView& view) {
    if (!ValidDot(n)) return;
    view.RenewThumbnail();
    SaveMemoryDot(settings, dots.thumbnail, n);
    MakeCurrent(dots, n, view);
    dots.hovered = -1;
    ShowDot(dots, n, view);
}

bool RecallDot(MemoryDotsState& dots, int n, Settings& settings, DotView& view) {
    if (!ValidDot(n) || LoadMemoryDot(settings, dots.thumbnail, n) != noErr) return false;
    MakeCurrent(dots, n, view);
    view.SettingsReplaced();
    return true;
}

void ShowDot(MemoryDotsState& dots, int n, DotView& view) {
    char path[kPathCapacity];
    if (!MemoryDotPath(n, path)) return;
    // Read into a picture of its own first, so a failed read keeps the one shown.
    ImageStore picture;
    InitialiseImage(&picture, dots.preview.weightTable);
    if (!LoadMemoryDotThumbnail(path, &picture, kDotPreviewSide)) return;
    ReleaseImage(&dots.preview);
    dots.preview = picture;
    dots.shown = dots.hovered = n;
    view.RepaintControl(controlid::kExtraDot);
}

void HideDot(MemoryDotsState& dots, DotView& view) {
    ReleaseImage(&dots.preview);
    dots.shown = dots.hovered = -1;
    view.RepaintControl(controlid::kExtraDot);
}

void ClearCurrentDot(MemoryDotsState& dots, DotView& view) {
    for (int n = 0; n < kMemoryDotCount; ++n)
        if (dots.state[n] == DotState::current) {
            dots.state[n] = DotState::filled;
            view.RepaintControl(controlid::kFirstDot + n);
        }
}

DotClick ClickDot(MemoryDotsState& dots, int n, bool rightButton, bool ctrl, Settings& settings, DotView& view) {
    if (!ValidDot(n)) return DotClick::ignored;
    std::int32_t& pinned = dots.pins->pinned[n];
    // An empty dot takes the settings whichever button clicked it; Ctrl leaves it
    // unpinned, the first candidate for the next automatic store.
    if (dots.state[n] == DotState::empty) {
        pinned = !ctrl;
        StoreDot(dots, n, settings, view);
        return DotClick::stored;
    }
    if (rightButton) {
        dots.state[n] = DotState::empty;
        pinned = 0;
        view.RepaintControl(controlid::kFirstDot + n);
        HideDot(dots, view);
        return DotClick::emptied;
    }
    if (ctrl) {
        pinned = 0;
        view.RepaintControl(controlid::kFirstDot + n);
        return DotClick::unpinned;
    }
    return RecallDot(dots, n, settings, view) ? DotClick::recalled : DotClick::ignored;
}

bool ClickExtraDot(MemoryDotsState& dots, Settings& settings, DotView& view) {
    return dots.shown >= 0 && RecallDot(dots, dots.shown, settings, view);
}

void HoverDot(MemoryDotsState& dots, int n, DotView& view) {
    if (!ValidDot(n)) return;
    if (dots.state[n] == DotState::empty) {
        if (dots.shown >= 0) HideDot(dots, view);
    } else if (n != dots.shown) {
        ShowDot(dots, n, view);
    }
}

int DotImageId(DotState state, bool pinned, bool pressed) {
    switch (state) {
        case DotState::empty: return pressed ? 210 : 203;
        case DotState::filled: return pinned ? (pressed ? 216 : 215) : (pressed ? 214 : 213);
        case DotState::current: return pinned ? (pressed ? 212 : 208) : (pressed ? 211 : 202);
    }
    return 203;
}
