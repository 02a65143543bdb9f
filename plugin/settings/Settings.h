// The settings record: the 36 pattern parameters, the run mode, the preview's view
// and the dialog's last-used names. It lives in the host's `parameters` handle and
// survives from run to run there; every other store of settings (descriptor,
// presets file, cached settings, undo, memory dots) copies fields in and out, never
// the record as bytes, so its layout binds nothing outside the module.
#pragma once

#include <cstdint>

#include "PIFilter.h"

struct RunGlobals;

// Where a render's rows go: the host's image, the dialog's preview, or a store
// image for an export.
enum class RunMode : std::int32_t { final = 0, preview = 1, store = 2 };

constexpr int kPathCapacity = 260;

struct Settings {
    std::int32_t showDialog;      // 1: Start shows the dialog
    RunGlobals* owner;            // the current globals; rewritten on every call
    std::int32_t captureControl;  // the dialog's mouse-capture state
    std::int32_t pressTime;
    std::uint8_t hostCanPreview;  // the host has advanceState and displayPixels
    std::int32_t smooth;          // switch: anti-alias fine bands
    std::int32_t glue;            // glue mode 1..62
    std::int32_t previewScale;    // preview reduction factor
    RunMode runMode;
    std::int32_t previewPanX, previewPanY;
    std::int32_t viewState[5];    // the preview's view; 0, 0, 1, 100, 100 on a first run

    // The 36 parameters but glue and smooth, in their storage order.
    std::int32_t mixer1, mixer2, mixer3;
    std::int32_t sharpness1, sharpness2, sharpness3;
    std::int32_t amount11, amount21, amount31, amount12, amount22, amount32;
    std::int32_t invert1, invert2, invert3, mirror;
    std::int32_t sharpness;
    std::int32_t weave;
    std::int32_t redCycles, redPhase, redShift, redAmplitude;
    std::int32_t greenCycles, greenPhase, greenShift, greenAmplitude;
    std::int32_t blueCycles, bluePhase, blueShift, blueAmplitude;
    std::int32_t density;
    std::int32_t zoom;
    std::int32_t aspect;
    std::int32_t symmetry;        // 1..4: 2-fold .. 5-fold

    std::int32_t renderFlag;      // render field set to 1 at creation and by FactoryReset
    std::int32_t renderMarks[2];  // render fields set to -1 at creation
    std::int32_t exportKind;      // 3 at every Start, 6 while a PSD is saved, 3 for HTML pages

    char settingsFolder[kPathCapacity];  // initial folder of the presets dialogs
    char psdFolder[kPathCapacity];       // initial folder of the PSD export
    char pagesFolder[kPathCapacity];     // folder of the HTML pages
    char settingsFileName[kPathCapacity];
    char fileNames[3][kPathCapacity];    // other file choosers' last names
};

// Fills a freshly allocated record with its initial values, factory parameters included.
void InitialiseSettings(Settings& settings, RunGlobals* owner);

// Writes the factory parameter values, glue 1, smooth 1 and renderFlag 1; every other
// field keeps its value.
void FactoryReset(Settings& settings);

// Enumeration types of the scripting descriptor.
enum class EnumType : std::uint32_t { glue = PIFourCC("GLty"), symmetry = PIFourCC("SYty") };

// An integer setting as a working constant: converted to float, scaled in double
// precision, kept in single precision (factors such as 0.01, 0.1 and -0.01).
inline float SettingConstant(std::int32_t setting, double factor) {
    return float(double(float(setting)) * factor);
}

// 'GL01'..'GL62' give 1..62 for glue, 'SY01'..'SY04' give 1..4 for symmetry. Any other
// code gives index 0 and false; callers store the 0.
bool CodeToIndex(EnumType type, std::uint32_t code, std::int32_t& index);
// The reverse; an index out of range gives '<NO>'.
std::uint32_t IndexToCode(std::int32_t index, EnumType type);
