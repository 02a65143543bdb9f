// The main dialog's controls, declared once. One row per control id says what the
// control is (its kind), where it sits in the dialog's fixed pixel layout, which
// images it paints with, which label text it carries, its range and which settings
// field it transfers to. Painting, hit-testing, value transfer and the undo
// classification all read this table and nothing else.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/ui/Canvas.h"
#include "settings/Settings.h"

// Control kinds.
enum ControlKind : std::int32_t {
    kKindNone = -1,  // not a control the dialog handles by kind
    kKindSlider = 0,
    kKindLabel = 1,
    kKindNumberField = 2,
    kKindSwitch = 3,
    kKindStandardButton = 4,
    kKindIconButton = 7,
    kKindDropDownList = 13,
    kKindLogo = 18,
    kKindMemoryDot = 25,
    kKindExtraDot = 26,
};

constexpr std::uint16_t kNoControl = 65535;
constexpr int kControlIdCount = 200;  // ids 0..199

// What the descriptor function answers for a control id.
struct ControlDescriptor {
    std::uint16_t editId;     // a slider's number field; kNoControl for none
    std::uint16_t partnerId;  // the slider of a slider pair, else the control itself; kNoControl for none
    std::int32_t kind;        // ControlKind
    std::int32_t images[4];   // bitmap or icon resource ids, -1 for none
    std::int32_t labelNumber; // the label text's number (LabelText); 0 for none
    std::int32_t minimum;     // for labels: 1 left-aligned, 0 right-aligned
    std::int32_t maximum;
};

// The control with that id; kind kKindNone (and every other field at its default)
// for an id the dialog does not know.
ControlDescriptor DescribeControl(int id);

// The pixel rectangle every control is moved to when the dialog opens; empty for
// an unknown id.
ui::Rect ControlLayout(int id);
// The settings field a slider, switch or drop-down list transfers to; null otherwise.
std::int32_t Settings::*ControlField(int id);
// The control a label belongs to (its enabled state greys the label); -1 for none.
int LabelledControl(int labelId);
// The text of a label number; "-undef string-" for a number without one.
std::string_view LabelText(int labelNumber);
// The 24 controls that carry a setting, in the order the transfer walks them.
std::span<const int> TransferOrder();

// Fixed ids of the dialog.
namespace controlid {
constexpr int kOk = 3, kCancel = 2, kSave = 6, kLoad = 8, kGlueList = 9, kZoomIn = 10, kZoomOut = 11,
              kZoomActual = 12, kStatusLine = 13, kPreview = 5, kLogo = 54, kInfoPanel = 55, kDice = 69,
              kUndo = 70, kDice1 = 47, kReset1 = 48, kDice2 = 49, kReset2 = 7, kDice3 = 50, kNextGlue = 80,
              kFactory = 115, kPsd = 117, kExtraDot = 119, kFirstDot = 121, kLastDot = 145, kPresetsPage = 150,
              kSymmetryList = 77;
}  // namespace controlid

// Resource ids of the dialog's artwork.
namespace artwork {
constexpr int kBackground = 239, kTrackA = 101, kTrackB = 102, kKnob = 120, kLogo = 183, kDotFrame = 217;
}  // namespace artwork
