// The memory dots' table and what clicks, hovering and the dialog's start do to it:
// the 25 dots of the main dialog and the extra dot that shows a dot's thumbnail. A click on an empty dot stores the current settings in it, a click on
// a filled dot brings them back; pinned dots last into later runs, unpinned ones
// are reused (the settings each dialog opens with go into the first of them).
//
// The pinned flags live in the work block and reach the map file when the run
// ends; each dot's settings and thumbnail are its presets file in the state
// folder. The dialog owns the table below; these operations reach the dialog only
// through DotView, so they run without a window too.
#pragma once

#include <cstdint>

#include "dialog/ControlTable.h"
#include "settings/StoredState.h"
#include "store/ImageStore.h"

struct Settings;

constexpr int32_t kDotPreviewSide = 88;  // the picture inside the extra dot's frame
constexpr int kDotPreviewInset = 4;      // its offset from the frame's top-left corner

enum class DotState : std::int16_t { empty = 0, filled = 1, current = 2 };

// The dots' part of the dialog's run state; dot n is control 121 + n.
struct MemoryDotsState {
    DotState state[kMemoryDotCount] = {};
    MemoryDotPins* pins = nullptr;     // the work block's pinned flags
    int shown = -1;                    // the dot the extra dot shows, -1 for none
    int hovered = -1;                  // the dot under the pointer, -1 for none
    ImageStore preview = {};           // the shown dot's thumbnail, 88 x 88; no tiles when none
    ImageStore* thumbnail = nullptr;   // the run's settings thumbnail, written with each dot
};

// What the dots need of the dialog around them.
struct DotView {
    virtual void RepaintControl(int id) = 0;
    // Renders the run's thumbnail from the current settings, before a dot keeps them.
    virtual void RenewThumbnail() = 0;
    // The settings were replaced: set the controls from them and refresh the preview.
    virtual void SettingsReplaced() = 0;

protected:
    ~DotView() = default;
};

// What a click on a dot did; the dialog's undo snapshot follows from it.
enum class DotClick { ignored, stored, recalled, emptied, unpinned };

// Binds the table to the run's pins and thumbnail; the extra dot's picture samples
// with the run's weights.
void InitialiseDots(MemoryDotsState& dots, MemoryDotPins& pins, ImageStore* thumbnail, const WeightTable* weights);
// At dialog start: pinned dots whose files read to their end are filled (the others
// become empty and unpinned), every dot is painted, and the settings go into the
// first free dot, which the extra dot then shows.
void SetUpDots(MemoryDotsState& dots, const Settings& settings, DotView& view);
void ReleaseDots(MemoryDotsState& dots);

// The lowest dot that is not pinned; -1 when all 25 are.
int FirstFreeDot(const MemoryDotPins& pins);

// Dot n keeps the current settings and thumbnail and becomes current.
void StoreDot(MemoryDotsState& dots, int n, const Settings& settings, DotView& view);
// Dot n's settings replace the current ones; nothing happens when its file cannot
// be read to its end.
bool RecallDot(MemoryDotsState& dots, int n, Settings& settings, DotView& view);
// The extra dot shows dot n's thumbnail; it keeps its former picture when dot n's
// file holds none.
void ShowDot(MemoryDotsState& dots, int n, DotView& view);
void HideDot(MemoryDotsState& dots, DotView& view);
// Undo leaves no dot current.
void ClearCurrentDot(MemoryDotsState& dots, DotView& view);

// A released click on dot n (0..24) with the button and Ctrl flags of its press.
DotClick ClickDot(MemoryDotsState& dots, int n, bool rightButton, bool ctrl, Settings& settings, DotView& view);
// A plain click on the extra dot recalls the dot it shows.
bool ClickExtraDot(MemoryDotsState& dots, Settings& settings, DotView& view);
// The pointer moved (without capture) to dot n, or to no dot (-1).
void HoverDot(MemoryDotsState& dots, int n, DotView& view);

// The bitmap that shows a dot in its state, pinned or not, pressed or not.
int DotImageId(DotState state, bool pinned, bool pressed);
