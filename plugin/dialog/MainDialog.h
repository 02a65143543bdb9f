// The main dialog: the filter's working window, run modally by the Start selector.
//
// Every setting is edited through painted sliders with number fields, switches and
// two drop-down lists; the dialog keeps one value and one enabled flag per control
// id (0..199) and copies them to and from the settings record in one transfer
// routine. The control table (ControlTable.h) is the one place that says what each
// control is.
//
// Where later work hooks in:
// - ApplyChange runs after every change the dialog applies (a click, a list
//   selection, a released slider, the typing timer): controls to settings, then the
//   undo snapshot the control's class asks for.
// - RefreshPreview (Preview.h) runs after every applied change that alters the
//   picture; the preview renders there.
// - DiceUndoClick, MemoryDotClick and ExportClick (DiceUndo.h, MemoryDots.h,
//   Exports.h) receive every click; their buttons are placed and drawn here.
#pragma once

#include <cstdint>
#include <map>

#include "dialog/ControlTable.h"
#include "dialog/MemoryDots.h"
#include "dialog/Preview.h"
#include "platform/ui/Dialog.h"
#include "settings/RandomSource.h"
#include "settings/StoredState.h"

struct FilterRecord;
struct ImageStore;
struct WeightTable;

// What the dialog needs of the run that opened it: the host's record (its window),
// the undo slots and the memory dots' pinned flags (null without a work block), the
// settings thumbnail, the weights the run's store images sample with and the row
// loop's preview rows.
struct DialogHost {
    const FilterRecord* filterRecord = nullptr;
    UndoSlots* undo = nullptr;
    ImageStore* thumbnail = nullptr;
    MemoryDotPins* memoryDots = nullptr;
    const WeightTable* weights = nullptr;
    const PreviewRows* previewRows = nullptr;  // the row loop's preview rows; null renders none
};
struct Settings;

// Ids the dialog uses besides its controls.
constexpr int kTypingTimer = 8064;       // restarted by every key in a number field
constexpr std::uint32_t kTypingDelayMs = 1000;
constexpr int kTimerPseudoControl = 777; // the typing timer's changes, for the undo classification

// The dialog's run state.
struct MainDialog {
    ui::Window* window = nullptr;
    DialogHost host;
    Settings* settings = nullptr;
    int endCode = 0;                 // 0 while open, 1 OK, 2 Cancel
    bool rightButton = false;        // the last press was the right button
    bool ctrl = false;               // Ctrl was held at the last left press
    bool refresh = false;            // a click handler asks for a preview refresh
    bool exportBusy = false;         // an HTML export runs: OK and Cancel wait
    int lastX = -999, lastY = 0;     // the pointer at the last slider drag step
    SettingsSnapshot atStart{};      // what Cancel restores
    std::int32_t values[kControlIdCount] = {};
    std::uint8_t enabled[kControlIdCount] = {};
    ControlDescriptor controls[kControlIdCount] = {};
    std::map<int, ui::Bitmap> bitmaps;  // painting resources, by resource id
    PreviewState preview;
    MemoryDotsState dots;
    RandomSource random = {ClockSeed()};  // the dice's, seeded as the dialog opens
};

// Runs the dialog over the host's window with these settings. True when the
// user confirmed with OK; Cancel restores the settings as they were and sets the
// result to userCanceledErr.
bool RunMainDialog(const DialogHost& host, Settings& settings);

// Value transfer between the controls and the settings record.
void ControlsToSettings(MainDialog& dialog);
void SettingsToControls(MainDialog& dialog);
std::int32_t GetControlValue(MainDialog& dialog, int id);
void SetControlValue(MainDialog& dialog, int id, std::int32_t value);
// Shows the current preset's name (settingsFileName) in the status line.
void ShowPresetName(MainDialog& dialog);

// Controls to settings, then the undo snapshot that control id's class asks for.
void ApplyChange(MainDialog& dialog, int id);
// The undo snapshot a change of control id takes.
enum class SnapshotKind { none, settingsOnly, withFile };
SnapshotKind SnapshotFor(const MainDialog& dialog, int id);

// Painting (DialogPainting.cpp): the background, and one control by its kind.
void LoadPaintingResources(MainDialog& dialog);
void PaintBackground(MainDialog& dialog, const ui::Canvas& canvas);
void PaintControl(MainDialog& dialog, const ui::Canvas& canvas, int id);
// Repaints one control now that its value changed.
void RepaintControl(MainDialog& dialog, int id);
// The slider value under pointer column x, clamped to the slider's range.
std::int32_t SliderValueAt(const MainDialog& dialog, int id, int x);
