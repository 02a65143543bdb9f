// The 36 parameters, declared once: terminology name, scripting key and type, field,
// factory value, the range the dialog's controls reach, and the position in the
// presets file. The scripting code, the presets code, the resource compiler (for
// the terminology), the dialog and the command line all read this table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "PIFilter.h"
#include "settings/Settings.h"

enum class ParamKind : std::uint8_t { integer, boolean, glue, symmetry };

struct ParameterInfo {
    std::string_view name;          // terminology name, also the command line's
    std::uint32_t key;              // scripting key
    ParamKind kind;
    std::int32_t Settings::*field;
    std::int32_t factory;
    std::int32_t minimum, maximum;  // what the dialog's controls and dice reach
    int filePosition;               // 1-based value position in the presets file
};

inline constexpr int kParameterCount = 36;

// In terminology order; the scripting descriptor is written in this order too.
inline constexpr std::array<ParameterInfo, kParameterCount> kParameters = {{
    {"mixer 1", PIFourCC("0001"), ParamKind::integer, &Settings::mixer1, 33, 0, 100, 2},
    {"mixer 2", PIFourCC("0002"), ParamKind::integer, &Settings::mixer2, 71, 0, 100, 3},
    {"mixer 3", PIFourCC("0003"), ParamKind::integer, &Settings::mixer3, 97, 0, 100, 4},
    {"sharpness 1", PIFourCC("0004"), ParamKind::integer, &Settings::sharpness1, 83, 0, 100, 5},
    {"sharpness 2", PIFourCC("0005"), ParamKind::integer, &Settings::sharpness2, 6, 0, 100, 6},
    {"sharpness 3", PIFourCC("0006"), ParamKind::integer, &Settings::sharpness3, 46, 0, 100, 7},
    {"amount 11", PIFourCC("0007"), ParamKind::integer, &Settings::amount11, 192, 0, 200, 8},
    {"amount 21", PIFourCC("0008"), ParamKind::integer, &Settings::amount21, 90, 0, 200, 9},
    {"amount 31", PIFourCC("0009"), ParamKind::integer, &Settings::amount31, 120, 0, 200, 10},
    {"amount 12", PIFourCC("0010"), ParamKind::integer, &Settings::amount12, 146, 0, 200, 11},
    {"amount 22", PIFourCC("0011"), ParamKind::integer, &Settings::amount22, 109, 0, 200, 12},
    {"amount 32", PIFourCC("0012"), ParamKind::integer, &Settings::amount32, 25, 0, 200, 13},
    {"invert 1", PIFourCC("0013"), ParamKind::boolean, &Settings::invert1, 1, 0, 1, 14},
    {"invert 2", PIFourCC("0014"), ParamKind::boolean, &Settings::invert2, 0, 0, 1, 15},
    {"invert 3", PIFourCC("0015"), ParamKind::boolean, &Settings::invert3, 1, 0, 1, 16},
    {"mirror", PIFourCC("0016"), ParamKind::boolean, &Settings::mirror, 0, 0, 1, 17},
    {"sharpness", PIFourCC("0017"), ParamKind::integer, &Settings::sharpness, 0, 0, 100, 18},
    {"weave", PIFourCC("0018"), ParamKind::boolean, &Settings::weave, 0, 0, 1, 19},
    {"red cycles", PIFourCC("0019"), ParamKind::integer, &Settings::redCycles, 1, 0, 100, 20},
    {"red phase", PIFourCC("0020"), ParamKind::integer, &Settings::redPhase, -58, -100, 100, 21},
    {"red shift", PIFourCC("0021"), ParamKind::integer, &Settings::redShift, 0, -100, 100, 22},
    {"red amplitude", PIFourCC("0022"), ParamKind::integer, &Settings::redAmplitude, 100, 0, 200, 23},
    {"green cycles", PIFourCC("0023"), ParamKind::integer, &Settings::greenCycles, 1, 0, 100, 24},
    {"green phase", PIFourCC("0024"), ParamKind::integer, &Settings::greenPhase, -7, -100, 100, 25},
    {"green shift", PIFourCC("0025"), ParamKind::integer, &Settings::greenShift, 0, -100, 100, 26},
    {"green amplitude", PIFourCC("0026"), ParamKind::integer, &Settings::greenAmplitude, 100, 0, 200, 27},
    {"blue cycles", PIFourCC("0027"), ParamKind::integer, &Settings::blueCycles, 1, 0, 100, 28},
    {"blue phase", PIFourCC("0028"), ParamKind::integer, &Settings::bluePhase, -90, -100, 100, 29},
    {"blue shift", PIFourCC("0029"), ParamKind::integer, &Settings::blueShift, 0, -100, 100, 30},
    {"blue amplitude", PIFourCC("0030"), ParamKind::integer, &Settings::blueAmplitude, 100, 0, 200, 31},
    {"density", PIFourCC("0031"), ParamKind::integer, &Settings::density, 1, 0, 100, 32},
    {"glue", PIFourCC("GLUE"), ParamKind::glue, &Settings::glue, 1, 1, 62, 33},
    {"zoom", PIFourCC("0033"), ParamKind::integer, &Settings::zoom, 55, 0, 100, 36},
    {"aspect", PIFourCC("0034"), ParamKind::boolean, &Settings::aspect, 1, 0, 1, 37},
    {"symmetry", PIFourCC("SYky"), ParamKind::symmetry, &Settings::symmetry, 2, 1, 4, 38},
    {"smooth", PIFourCC("0036"), ParamKind::boolean, &Settings::smooth, 1, 0, 1, 39},
}};

inline constexpr std::uint32_t kGlueType = std::uint32_t(EnumType::glue);
inline constexpr std::uint32_t kSymmetryType = std::uint32_t(EnumType::symmetry);
inline constexpr std::uint32_t kNoCode = PIFourCC("<NO>");

// One parameter's value as a scripting descriptor records it: integers as long,
// switches as bool (set when the field's low byte is), glue and symmetry as their
// enumeration codes. Scripting, the command line, its presets, the benchmarks and
// the tests all map settings to descriptors through these two.
struct ScriptValue {
    std::uint32_t type;  // typeInteger, typeBoolean or typeEnumerated
    std::int32_t value;  // integer or boolean
    std::uint32_t enumType, enumValue;
};
ScriptValue ToScriptValue(const ParameterInfo& p, std::int32_t field);
// Takes a descriptor's value into the field: a value of the wrong type changes
// nothing, an unknown enumeration code stores 0.
void FromScriptValue(const ParameterInfo& p, const ScriptValue& value, std::int32_t& field);

inline constexpr std::array<std::string_view, 5> kSymmetryNames = {{"", "2-fold", "3-fold", "4-fold", "5-fold"}};
