// The live preview: its geometry, the host request for the visible window, the
// render through the row loop, panning and the zoom buttons.
#include "dialog/Preview.h"

#include <algorithm>
#include <cstdio>

#include "dialog/MainDialog.h"
#include "pattern/RenderPlan.h"
#include "settings/Settings.h"
#include "store/HostUtil.h"
#include "store/ImageStore.h"
#include "store/SampleBytes.h"

int32_t ReducedExtent(int32_t extent, int32_t scale) { return (std::max(0, extent) + scale - 1) / scale; }

namespace {

// A pan held to 0..max(0, (ceil(E / s) - A) * s).
int32_t ClampPan(int32_t pan, int32_t extent, int32_t area, int32_t scale) {
    const int32_t limit = std::max(0, (ReducedExtent(extent, scale) - area) * scale);
    return std::clamp(pan, 0, limit);
}

// The pan after a zoom from oldScale to newScale that keeps the image point at the
// window's centre at its centre, clamped.
int32_t RecentredPan(int32_t pan, int32_t extent, int32_t area, int32_t oldScale, int32_t newScale) {
    // The window's extent in image pixels before and after, each no larger than the image.
    const int32_t before = std::min(area, ReducedExtent(extent, oldScale)) * oldScale;
    const int32_t after = std::min(area, ReducedExtent(extent, newScale)) * newScale;
    return ClampPan(pan + before / 2 - after / 2, extent, area, newScale);
}

}  // namespace

int32_t FitScale(int32_t extentX, int32_t extentY, int32_t areaX, int32_t areaY) {
    const auto axis = [](int32_t extent, int32_t area) {
        return extent < 1 ? 1 : ReducedExtent(extent, std::max(1, std::min(extent, area)));
    };
    return std::max(axis(extentX, areaX), axis(extentY, areaY));
}

ZoomButtons ZoomButtonStates(int32_t scale, int32_t zoomLimit, bool reducedImages) {
    ZoomButtons buttons{};
    buttons.zoomOut = reducedImages && scale < zoomLimit;
    buttons.zoomIn = reducedImages && scale >= 2;
    buttons.zoomFull = reducedImages && !(zoomLimit == 1 && scale == 1);
    std::snprintf(buttons.percent, sizeof buttons.percent, "%d%%", int(100 / std::max(1, scale)));
    return buttons;
}

namespace {

constexpr ui::Color kFrameColour = ui::Rgb(0, 0, 0);
constexpr ui::Color kSurroundColour = ui::Rgb(255, 255, 255);

enum CursorState : int32_t { kArrow = 0, kOpenHand = 1, kClosedHand = 2, kWait = 4 };

// The image part of the preview area: control 5 shrunk by 2 pixels on every side.
ui::Rect PreviewArea(ui::Window* window) {
    const ui::Rect control = ui::ControlRect(window, controlid::kPreview);
    return {control.left + 2, control.top + 2, control.right - 2, control.bottom - 2};
}

struct Extent {
    int32_t width, height;
};

// The filter rectangle's size; the dialog runs inside Start, where the host's
// filterRect is the one the run was prepared for.
Extent FilterExtent(const MainDialog& dialog) {
    const Rect& r = dialog.host.filterRecord->filterRect;
    return {std::max(0, r.right - r.left), std::max(0, r.bottom - r.top)};
}

void ShowCursorState(PreviewState& state, int32_t cursor) {
    if (cursor == kArrow && state.cursor == kArrow) return;
    state.cursor = cursor;
    const ui::Cursor* shown = nullptr;
    switch (cursor) {
    case kOpenHand: shown = ui::LoadCursor(kOpenHandCursor); break;
    case kClosedHand: shown = ui::LoadCursor(kClosedHandCursor); break;
    case kWait: shown = ui::WaitCursor(); break;
    default: break;
    }
    ui::SetCursor(shown ? shown : ui::ArrowCursor());
}

// Where the window's top-left pixel lands: centred in the preview area.
ui::Position WindowOrigin(const PreviewState& state, ui::Rect area) {
    return {area.left + area.Width() / 2 - state.windowWidth / 2, area.top + area.Height() / 2 - state.windowHeight / 2};
}

// Hands the host's output buffer (the rendered window) to displayPixels onto the
// dialog's surface. Deep samples are first reduced to 8 bits in a temporary buffer.
// With erase, the rest of the preview area is filled white.
void DisplayWindow(const MainDialog& dialog, const ui::Canvas& paint, bool erase) {
    const FilterRecord& record = *dialog.host.filterRecord;
    const PreviewState& state = dialog.preview;
    ui::Window* window = dialog.window;
    const ui::Rect area = PreviewArea(window);
    const int32_t width = state.windowWidth, height = state.windowHeight;
    const ui::Position origin = WindowOrigin(state, area);
    const ui::Canvas canvas = paint.Clipped(area);
    if (erase) {
        const ui::Rect image{origin.x, origin.y, origin.x + width, origin.y + height};
        ui::FillRect(canvas, {area.left, area.top, area.right, image.top}, kSurroundColour);
        ui::FillRect(canvas, {area.left, image.bottom, area.right, area.bottom}, kSurroundColour);
        ui::FillRect(canvas, {area.left, image.top, image.left, image.bottom}, kSurroundColour);
        ui::FillRect(canvas, {image.right, image.top, area.right, image.bottom}, kSurroundColour);
    }
    if (!HostHasProc(record.displayPixels) || !record.outData || width <= 0 || height <= 0) return;

    const int32_t planes = record.planes;
    const DepthClass depth = ImageFormatOf(record).depth;
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, height, width};
    map.imageMode = planes < 3 ? plugInModeGrayScale : plugInModeRGBColor;
    map.colBytes = planes;
    map.planeBytes = 1;
    map.rowBytes = record.outRowBytes;
    map.baseAddr = record.outData;
    Buffer narrowed;
    if (depth != DepthClass::bits8) {
        map.rowBytes = width * planes;
        if (AllocateBuffer(map.rowBytes * height, narrowed) != noErr) return;
        auto* to = static_cast<uint8_t*>(narrowed.data);
        const int32_t samples = width * planes;
        for (int32_t y = 0; y < height; ++y, to += samples) {
            const auto* from = static_cast<const uint8_t*>(record.outData) + std::ptrdiff_t(y) * record.outRowBytes;
            if (depth == DepthClass::bits16) {
                for (int32_t i = 0; i < samples; ++i) to[i] = uint8_t(std::min(Load<uint16_t>(from, i) >> 7, 255));
            } else {
                for (int32_t i = 0; i < samples; ++i) to[i] = uint8_t(ToByteLinear(Load<float>(from, i)));
            }
        }
        map.baseAddr = narrowed.data;
    }
    PIDrawSurface surface = canvas.AsDrawSurface();
    const VRect source = map.bounds;
    record.displayPixels(&map, &source, origin.y, origin.x, &surface);
    ReleaseBuffer(narrowed);
}

// Requests the window, renders it through the row loop and draws it.
// Asks the host for the window at the current scale and pan, no larger than the area.
OSErr RequestWindow(MainDialog& dialog) {
    const ui::Rect area = PreviewArea(dialog.window);
    PreviewState& state = dialog.preview;
    state.windowWidth = state.windowHeight = 0;
    if (!dialog.host.previewRows) return noErr;
    return dialog.host.previewRows->request(area.Width(), area.Height(), state.windowWidth, state.windowHeight);
}

OSErr Render(MainDialog& dialog) {
    PreviewState& state = dialog.preview;
    const FilterRecord& record = *dialog.host.filterRecord;
    const int32_t cursor = state.cursor;
    ShowCursorState(state, kWait);
    state.shown = false;
    OSErr error = noErr;
    if (HostHasProc(record.advanceState) && HostHasProc(record.displayPixels) && dialog.host.previewRows) {
        error = RequestWindow(dialog);
        if (error == noErr) {
            dialog.host.previewRows->render();
            state.shown = CurrentResult() == noErr;
            state.sourceOnly = false;
        }
    }
    if (state.shown) DisplayWindow(dialog, ui::PaintCanvas(dialog.window), true);
    ShowCursorState(state, cursor == kWait ? kArrow : cursor);
    return error;
}

bool OnPreview(ui::Window* window, int x, int y) { return ui::ControlRect(window, controlid::kPreview).Contains(x, y); }

}  // namespace

void PreparePreview(MainDialog& dialog) {
    const FilterRecord& record = *dialog.host.filterRecord;
    Settings& settings = *dialog.settings;
    PreviewState& state = dialog.preview;
    state = PreviewState{};
    state.reducedImages = HostHasProc(record.advanceState) && HostHasProc(record.displayPixels) &&
                          record.samplingSupport != hostDoesNotSupportSampling;
    const ui::Rect area = PreviewArea(dialog.window);
    const Extent extent = FilterExtent(dialog);
    state.fitScale = state.reducedImages ? FitScale(extent.width, extent.height, area.Width(), area.Height()) : 1;
    state.zoomLimit = state.fitScale;
    settings.previewScale = state.fitScale;
    settings.previewPanX = settings.previewPanY = 0;
    if (Render(dialog) != noErr) {
        settings.hostCanPreview = 0;
        SetResult(noErr);
    }
}

void RefreshPreview(MainDialog& dialog) {
    ControlsToSettings(dialog);
    if (!dialog.settings->hostCanPreview) return;
    const OSErr error = Render(dialog);
    if (error != noErr) SetResult(error);
}

void DrawPreview(MainDialog& dialog, const ui::Canvas& canvas) {
    const ui::Rect area = PreviewArea(dialog.window);
    ui::FrameRect(canvas, {area.left - 1, area.top - 1, area.right + 1, area.bottom + 1}, kFrameColour);
    if (dialog.preview.shown) DisplayWindow(dialog, canvas, !dialog.preview.sourceOnly);
}

bool PreviewZoomClick(MainDialog& dialog, int id) {
    if (id != controlid::kZoomIn && id != controlid::kZoomOut && id != controlid::kZoomActual) return false;
    const PreviewState& state = dialog.preview;
    if (!state.reducedImages || !dialog.settings->hostCanPreview) return false;
    Settings& settings = *dialog.settings;
    const int32_t s = settings.previewScale;
    int32_t next = s;
    if (id == controlid::kZoomOut && s < state.zoomLimit) next = s + 1;
    if (id == controlid::kZoomIn && s > 1) next = s - 1;
    if (id == controlid::kZoomActual) next = 1;
    if (next == s) return false;

    const ui::Rect area = PreviewArea(dialog.window);
    const Extent extent = FilterExtent(dialog);
    settings.previewPanX = RecentredPan(settings.previewPanX, extent.width, area.Width(), s, next);
    settings.previewPanY = RecentredPan(settings.previewPanY, extent.height, area.Height(), s, next);
    if (id == controlid::kZoomOut && next == state.zoomLimit) settings.previewPanX = settings.previewPanY = 0;
    settings.previewScale = next;
    return true;
}

void UpdateZoomButtons(MainDialog& dialog) {
    const bool reducedImages = dialog.preview.reducedImages && dialog.settings->hostCanPreview;
    const ZoomButtons buttons = ZoomButtonStates(dialog.settings->previewScale, dialog.preview.zoomLimit, reducedImages);
    ui::Window* window = dialog.window;
    ui::EnableControl(window, controlid::kZoomIn, buttons.zoomIn);
    ui::EnableControl(window, controlid::kZoomOut, buttons.zoomOut);
    ui::EnableControl(window, controlid::kZoomActual, buttons.zoomFull);
    ui::SetControlText(window, controlid::kZoomActual, buttons.percent);
    for (int id : {controlid::kZoomIn, controlid::kZoomOut, controlid::kZoomActual}) ui::InvalidateControl(window, id);
}

bool PreviewPress(MainDialog& dialog, int x, int y) {
    PreviewState& state = dialog.preview;
    if (!dialog.settings->hostCanPreview || !OnPreview(dialog.window, x, y) ||
        dialog.settings->previewScale == state.fitScale)
        return false;
    state.panning = true;
    state.lastX = x;
    state.lastY = y;
    ShowCursorState(state, kClosedHand);
    return true;
}

void PreviewDrag(MainDialog& dialog, int x, int y) {
    PreviewState& state = dialog.preview;
    if (!state.panning) return;
    Settings& settings = *dialog.settings;
    const int32_t s = settings.previewScale;
    const int32_t dx = (x - state.lastX) * s, dy = (y - state.lastY) * s;
    state.lastX = x;
    state.lastY = y;
    if (dx == 0 && dy == 0) return;
    const ui::Rect area = PreviewArea(dialog.window);
    const Extent extent = FilterExtent(dialog);
    settings.previewPanX = ClampPan(settings.previewPanX - dx, extent.width, area.Width(), s);
    settings.previewPanY = ClampPan(settings.previewPanY - dy, extent.height, area.Height(), s);
    state.shown = false;
    const OSErr error = RequestWindow(dialog);
    if (error != noErr) {
        SetResult(error);
        return;
    }
    // While dragging, the window shows the image itself; the pattern follows on release.
    if (dialog.host.previewRows) dialog.host.previewRows->renderSource();
    state.shown = dialog.host.previewRows && dialog.host.filterRecord->outData != nullptr;
    state.sourceOnly = true;
    if (state.shown) DisplayWindow(dialog, ui::PaintCanvas(dialog.window), false);
}

void PreviewRelease(MainDialog& dialog) {
    PreviewState& state = dialog.preview;
    if (!state.panning) return;
    state.panning = false;
    ShowCursorState(state, kOpenHand);
    RefreshPreview(dialog);
}

void PreviewHover(MainDialog& dialog, int x, int y) {
    PreviewState& state = dialog.preview;
    const bool canPan = dialog.settings->hostCanPreview && dialog.settings->previewScale != state.zoomLimit;
    ShowCursorState(state, canPan && OnPreview(dialog.window, x, y) ? kOpenHand : kArrow);
}
