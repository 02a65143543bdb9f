// The main dialog's procedure: initialisation, value transfer, commands, the typing
// timer and the mouse.
#include "dialog/MainDialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dialog/AboutBox.h"
#include "dialog/DiceUndo.h"
#include "dialog/Exports.h"
#include "dialog/InfoPanel.h"
#include "dialog/ModuleDialog.h"
#include "dialog/PresetDialogs.h"
#include "store/HostUtil.h"
#include "settings/Settings.h"
#include "store/Glue.h"

namespace {

constexpr int kClientWidth = 834, kClientHeight = 740;

MainDialog& Of(ui::Window* window) { return *reinterpret_cast<MainDialog*>(ui::UserData(window)); }

bool ValidId(int id) { return id >= 0 && id < kControlIdCount; }

std::int32_t KindOf(const MainDialog& dialog, int id) {
    return ValidId(id) ? dialog.controls[id].kind : std::int32_t(kKindNone);
}

void SetNumberText(MainDialog& dialog, int fieldId, std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(value));
    ui::SetControlText(dialog.window, fieldId, text);
}

void Initialise(MainDialog& dialog, ui::Window* window) {
    Settings& settings = *dialog.settings;
    dialog.window = window;
    ui::SetUserData(window, reinterpret_cast<intptr_t>(&dialog));
    ui::SetClientSize(window, kClientWidth, kClientHeight);
    for (int id = 0; id < kControlIdCount; ++id)
        if (ui::HasControl(window, id)) ui::MoveControl(window, id, ControlLayout(id));
    CenterDialog(window);
    for (int id = 0; id < kControlIdCount; ++id) dialog.enabled[id] = 1, dialog.values[id] = 0;

    settings.runMode = RunMode::preview;
    settings.captureControl = -1;
    CaptureSnapshot(settings, dialog.atStart);

    for (int id = 0; id < kControlIdCount; ++id) {
        dialog.controls[id] = DescribeControl(id);
        if (dialog.controls[id].kind == kKindIconButton && dialog.controls[id].images[3] >= 0) {
            ui::SetControlImage(window, id, ui::LoadBitmap(ui::kIconResource, dialog.controls[id].images[3]));
            ui::SetControlText(window, id, "");
        }
    }

    ui::ClearItems(window, controlid::kGlueList);
    for (int mode = 1; mode <= kGlueModeCount; ++mode) ui::AddItem(window, controlid::kGlueList, GlueModeName(mode));
    ui::ClearItems(window, controlid::kSymmetryList);
    for (const char* folds : {"2", "3", "4", "5"}) ui::AddItem(window, controlid::kSymmetryList, folds);
    LoadPaintingResources(dialog);

    SettingsToControls(dialog);
    ControlsToSettings(dialog);

    if (settings.hostCanPreview) PreparePreview(dialog);
    ShowPresetName(dialog);
    UpdateZoomButtons(dialog);
    dialog.endCode = 0;
    SetUpMemoryDots(dialog);
    ui::SetFocus(window, controlid::kOk);
}

// Ends the dialog: OK keeps the settings, Cancel restores what the dialog opened with.
void End(MainDialog& dialog, bool confirmed) {
    ui::KillTimer(dialog.window, kTypingTimer);
    if (confirmed) {
        ControlsToSettings(dialog);
        SetResult(noErr);
    } else {
        ApplySnapshot(dialog.atStart, *dialog.settings);
        SetResult(userCanceledErr);
    }
    dialog.bitmaps.clear();
    dialog.endCode = confirmed ? 1 : 2;
    ui::EndDialog(dialog.window, confirmed ? controlid::kOk : controlid::kCancel);
}

void NextGlue(MainDialog& dialog) {
    Settings& settings = *dialog.settings;
    settings.glue = settings.glue >= kGlueModeCount ? 1 : settings.glue + 1;
    SettingsToControls(dialog);
    dialog.refresh = true;
}

void Command(MainDialog& dialog, int id, int code) {
    const std::int32_t kind = KindOf(dialog, id);
    if (kind == kKindSwitch) {
        ui::KillTimer(dialog.window, kTypingTimer);
        RefreshPreview(dialog);
    }
    if (kind == kKindDropDownList && code == ui::kSelectionChanged) {
        dialog.values[id] = ui::Selection(dialog.window, id) + 1;
        ApplyChange(dialog, id);
        RefreshPreview(dialog);
        return;
    }
    if (code == ui::kEditChanged) {
        if (kind != kKindNumberField) return;
        // The slider follows every key; the settings and the preview wait for the timer.
        const int slider = dialog.controls[id].partnerId;
        SetControlValue(dialog, slider, GetControlValue(dialog, slider));
        ui::SetTimer(dialog.window, kTypingTimer, kTypingDelayMs);
        return;
    }
    if (code != ui::kClicked) return;

    dialog.refresh = false;
    dialog.refresh |= PreviewZoomClick(dialog, id);
    UpdateZoomButtons(dialog);
    dialog.refresh |= PresetsClick(dialog, id);
    dialog.refresh |= ExportClick(dialog, id);
    dialog.refresh |= MemoryDotClick(dialog, id);
    if (id == controlid::kLogo) ShowAboutBox();
    if (id == controlid::kInfoPanel) ShowInfoPanel();
    dialog.refresh |= DiceUndoClick(dialog, id);
    if (id == controlid::kNextGlue) NextGlue(dialog);
    ApplyChange(dialog, id);
    ui::KillTimer(dialog.window, kTypingTimer);
    if (dialog.refresh) RefreshPreview(dialog);

    if (dialog.exportBusy) return;
    if (id == controlid::kOk) End(dialog, true);
    else if (id == controlid::kCancel) End(dialog, false);
}

// The first enabled control under the point that takes the mouse itself, by id.
int HitTest(const MainDialog& dialog, int x, int y) {
    for (int id = 0; id < kControlIdCount; ++id) {
        const std::int32_t kind = dialog.controls[id].kind;
        const bool takesMouse = kind == kKindSlider || kind == kKindLogo || kind == kKindMemoryDot ||
                                kind == kKindExtraDot || id == controlid::kPreview;
        if (takesMouse && dialog.enabled[id] && ui::ControlRect(dialog.window, id).Contains(x, y)) return id;
    }
    return -1;
}

void Press(MainDialog& dialog, const ui::Message& message) {
    Settings& settings = *dialog.settings;
    dialog.rightButton = message.kind == ui::MessageKind::RightDown;
    dialog.ctrl = !dialog.rightButton && (message.keys & ui::kCtrl);
    const int id = HitTest(dialog, message.x, message.y);
    if (id < 0) return;
    if (id == controlid::kPreview) {
        if (PreviewPress(dialog, message.x, message.y)) {
            settings.captureControl = id;
            ui::SetCapture(dialog.window);
        }
        return;
    }
    const std::int32_t kind = dialog.controls[id].kind;
    if (kind == kKindMemoryDot || kind == kKindExtraDot) {
        dialog.values[id] |= 2;
        RepaintControl(dialog, id);
    }
    ui::SetCapture(dialog.window);
    settings.captureControl = id;
    settings.pressTime = std::int32_t(ui::TickCount());
    // The first move always counts, so the knob jumps to the press point at once.
    dialog.lastX = -999;
    ui::Message move;
    move.kind = ui::MessageKind::MouseMove;
    move.x = message.x;
    move.y = message.y;
    move.keys = message.keys;
    ui::PostMessage(dialog.window, move);
}

void Move(MainDialog& dialog, const ui::Message& message) {
    const int id = dialog.settings->captureControl;
    if (id < 0) {
        HoverMemoryDots(dialog, message.x, message.y);
        PreviewHover(dialog, message.x, message.y);
        return;
    }
    if (id == controlid::kPreview) {
        PreviewDrag(dialog, message.x, message.y);
        return;
    }
    if (KindOf(dialog, id) != kKindSlider) return;
    const int x = message.x - 4;
    if (x == dialog.lastX && message.y == dialog.lastY) return;
    SetControlValue(dialog, id, SliderValueAt(dialog, id, message.x));
    dialog.lastX = x;
    dialog.lastY = message.y;
}

void Release(MainDialog& dialog) {
    Settings& settings = *dialog.settings;
    const int id = settings.captureControl;
    ui::ReleaseCapture();
    settings.captureControl = -1;
    if (id < 0) return;
    const std::int32_t kind = KindOf(dialog, id);
    if ((kind == kKindMemoryDot || kind == kKindExtraDot) && (dialog.values[id] & 2)) {
        dialog.values[id] &= ~2;
        RepaintControl(dialog, id);
    }
    if (kind == kKindLogo || kind == kKindMemoryDot || kind == kKindExtraDot) {
        // These act like buttons: on release, through the click path.
        ui::Message click;
        click.kind = ui::MessageKind::Command;
        click.id = id;
        click.code = ui::kClicked;
        ui::PostMessage(dialog.window, click);
        return;
    }
    if (id == controlid::kPreview) {
        PreviewRelease(dialog);
        return;
    }
    ApplyChange(dialog, id);
    if (kind == kKindSlider) {
        ui::KillTimer(dialog.window, kTypingTimer);
        RefreshPreview(dialog);
    }
}

intptr_t MainDialogProc(ui::Window* window, const ui::Message& message) {
    if (message.kind == ui::MessageKind::Initialise) {
        Initialise(*reinterpret_cast<MainDialog*>(message.param), window);
        return 0;
    }
    MainDialog& dialog = Of(window);
    switch (message.kind) {
        case ui::MessageKind::Paint: {
            const ui::Canvas canvas = ui::PaintCanvas(window);
            if (dialog.settings->hostCanPreview) DrawPreview(dialog, canvas);
            for (int id = 0; id < kControlIdCount; ++id) PaintControl(dialog, canvas, id);
            return 0;
        }
        case ui::MessageKind::EraseBackground:
            PaintBackground(dialog, ui::PaintCanvas(window));
            return 1;
        case ui::MessageKind::StaticColor:
            return ui::kHollow;
        case ui::MessageKind::Command:
            Command(dialog, message.id, message.code);
            return 0;
        case ui::MessageKind::Timer:
            if (message.id != kTypingTimer) return 0;
            ApplyChange(dialog, kTimerPseudoControl);
            ui::KillTimer(window, kTypingTimer);
            RefreshPreview(dialog);
            return 0;
        case ui::MessageKind::LeftDown:
        case ui::MessageKind::RightDown:
            Press(dialog, message);
            return 0;
        case ui::MessageKind::MouseMove:
            Move(dialog, message);
            return 0;
        case ui::MessageKind::LeftUp:
        case ui::MessageKind::RightUp:
            Release(dialog);
            return 0;
        default:
            return 0;
    }
}

}  // namespace

std::int32_t GetControlValue(MainDialog& dialog, int id) {
    const ControlDescriptor& control = dialog.controls[id];
    switch (control.kind) {
        case kKindSlider: {
            const std::string text = ui::ControlText(dialog.window, control.editId);
            char* end = nullptr;
            const long read = std::strtol(text.c_str(), &end, 10);
            const bool number = end != text.c_str();
            const long clamped = std::clamp<long>(number ? read : 0, control.minimum, control.maximum);
            if (!number || clamped != read) SetNumberText(dialog, control.editId, std::int32_t(clamped));
            return std::int32_t(clamped);
        }
        case kKindSwitch:
            return dialog.values[id] = ui::Checked(dialog.window, id) ? 1 : 0;
        case kKindDropDownList:
            return ui::Selection(dialog.window, id) + 1;
        default:
            return dialog.values[id];
    }
}

void SetControlValue(MainDialog& dialog, int id, std::int32_t value) {
    const ControlDescriptor& control = dialog.controls[id];
    switch (control.kind) {
        case kKindSlider:
            if (dialog.values[id] != value) {
                dialog.values[id] = value;
                RepaintControl(dialog, id);
            }
            if (ui::ControlText(dialog.window, control.editId) != std::to_string(value))
                SetNumberText(dialog, control.editId, value);
            return;
        case kKindSwitch:
            dialog.values[id] = value;
            ui::SetCheck(dialog.window, id, value != 0);
            return;
        case kKindDropDownList:
            dialog.values[id] = value;
            ui::SetSelection(dialog.window, id, value - 1);
            return;
        default:
            dialog.values[id] = value;
            RepaintControl(dialog, id);
            return;
    }
}

void ControlsToSettings(MainDialog& dialog) {
    for (const int id : TransferOrder()) dialog.settings->*ControlField(id) = GetControlValue(dialog, id);
}

void SettingsToControls(MainDialog& dialog) {
    for (const int id : TransferOrder()) SetControlValue(dialog, id, dialog.settings->*ControlField(id));
}

void ShowPresetName(MainDialog& dialog) {
    ui::SetControlText(dialog.window, controlid::kStatusLine, dialog.settings->settingsFileName);
    RepaintControl(dialog, controlid::kStatusLine);
}

SnapshotKind SnapshotFor(const MainDialog& dialog, int id) {
    using namespace controlid;
    if (id == kTimerPseudoControl) return SnapshotKind::settingsOnly;
    if (id == kLoad) return SnapshotKind::withFile;
    if (id == kOk || id == kCancel || id == kSave || id == kZoomIn || id == kZoomOut || id == kZoomActual ||
        id == kUndo || id == kPresetsPage)
        return SnapshotKind::none;
    switch (KindOf(dialog, id)) {
        case kKindMemoryDot:
        case kKindExtraDot:
            return MemoryDotWantsSnapshot(dialog, id) ? SnapshotKind::withFile : SnapshotKind::none;
        case kKindSlider:
        case kKindSwitch:
        case kKindDropDownList:
        case kKindIconButton:
            return SnapshotKind::settingsOnly;
        default:
            return SnapshotKind::none;
    }
}

void ApplyChange(MainDialog& dialog, int id) {
    ControlsToSettings(dialog);
    const SnapshotKind kind = SnapshotFor(dialog, id);
    if (kind != SnapshotKind::none && dialog.host.undo)
        TakeUndoSnapshot(*dialog.host.undo, *dialog.settings, dialog.host.thumbnail, kind == SnapshotKind::withFile);
}

bool RunMainDialog(const DialogHost& host, Settings& settings) {
    MainDialog dialog;
    dialog.host = host;
    dialog.settings = &settings;
    const intptr_t code = RunModuleDialog("DISSOLVESANSPARAM", MainDialogProc, reinterpret_cast<intptr_t>(&dialog));
    ReleaseMemoryDots(dialog);
    if (code == controlid::kOk) return true;
    // A dialog that could not open, or that ended another way, leaves the settings
    // as they were.
    if (dialog.endCode != 2) {
        if (dialog.window) ApplySnapshot(dialog.atStart, settings);
        SetResult(userCanceledErr);
    }
    return false;
}
