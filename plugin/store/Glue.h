// Glue: lays the rendered pattern colour onto the image colour by one of 62 blend
// modes.
//
// Both colours arrive as integers on the image's scale, 0..255 on the 8-bit path and
// 0..32768 (the host's 16-bit scale) on the 16-bit path, and every mode keeps its
// result within that range. The integer modes use the path's own shifts and
// truncations, so results are bit-exact; the few modes that work in HSL, in the
// chroma plane or in the table space use single precision in a fixed order.
// Nothing here allocates, fails or keeps state between calls.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

enum class GluePath : uint8_t {
    bits8,   // 8 bits per channel, scale 0..255
    bits16,  // 16 bits per channel, scale 0..32768
};

// One colour: red, green, blue on the path's scale (or, in the table space,
// lightness and the two opponent components).
struct GlueColour {
    int32_t r, g, b;
};

// The glue modes by number 1..62 (entry 0 unused): the name the dialog's menu shows
// and the scripting terminology's name, empty for the modes the terminology does
// not list. The number is also the index of the mode's 8-bit and 16-bit kernels
// (GlueRow).
struct GlueModeInfo {
    std::string_view menuName, termName;
};
inline constexpr int32_t kGlueModeCount = 62;
inline constexpr std::array<GlueModeInfo, kGlueModeCount + 1> kGlueModes = {{
    {"", ""},
    {"normal", "normal"},
    {"procedural +", "procedural +"},
    {"procedural -", "procedural -"},
    {"difference", "difference"},
    {"lighten", "lighten"},
    {"darken", "darken"},
    {"add", "add"},
    {"subtract", "subtract"},
    {"multiply", "multiply"},
    {"screen", "screen"},
    {"hard light", "hard light"},
    {"overlay", "overlay"},
    {"superlay", "superlay"},
    {"exclusion", "exclusion"},
    {"color", "color"},
    {"luminance", "luminance"},
    {"linear light", "linear light"},
    {"pin light", "pin light"},
    {"spin light", "spin light"},
    {"vivid a", "vivid a"},
    {"vivid b", "vivid b"},
    {"saturation", "saturation"},
    {"hue", "hue"},
    {"similarity", "similarity"},
    {"cross", "cross"},
    {"hard diff", "harsh diff"},
    {"soft light", "soft light"},
    {"bright", "bright"},
    {"dim", "dim"},
    {"dodge", "dodge"},
    {"burn", "burn"},
    {"ace", "ace"},
    {"king", "king"},
    {"queen", "queen"},
    {"jack", "jack"},
    {"and", "and"},
    {"or", "or"},
    {"xor", "xor"},
    {"multibright", "multibright"},
    {"hot", "hot"},
    {"cold", "cold"},
    {"wet", "wet"},
    {"dry", "dry"},
    {"up", "up"},
    {"down", "down"},
    {"wax", "wax"},
    {"wane", "wane"},
    {"north", "north"},
    {"south", "south"},
    {"east", "east"},
    {"west", "west"},
    {"hard mix", "hard mix"},
    {"frontal", "frontal"},
    {"parietal", "parietal"},
    {"temporal", "temporal"},
    {"occipital", "occipital"},
    {"limbic", "limbic"},
    {"dextrous", "dextrous"},
    {"sinister", "sinister"},
    {"anterior", ""},
    {"posterior", ""},
    {"screendim", "screendim"},
}};

// The menu's name of a glue mode; empty outside 1..62.
constexpr std::string_view GlueModeName(int32_t mode) {
    return mode >= 1 && mode <= kGlueModeCount ? kGlueModes[std::size_t(mode)].menuName : std::string_view{};
}
// The terminology's name of a glue mode; empty outside it.
constexpr std::string_view GlueTermName(int32_t mode) {
    return mode >= 1 && mode <= kGlueModeCount ? kGlueModes[std::size_t(mode)].termName : std::string_view{};
}
constexpr bool GlueModeInTerminology(int32_t mode) { return !GlueTermName(mode).empty(); }

// Mode 1 ("normal") and every number outside 2..62 give the pattern colour itself.
constexpr bool GlueIsNormal(int32_t mode) { return mode < 2 || mode > kGlueModeCount; }

// Fills the ping-pong table mode 2 reads on the 8-bit path: 2v below 128, 511 - 2v
// from 128 (0, 2, ..., 254, 255, 253, ..., 1).
void BuildPingPongTable(int32_t table[256]);

// Blends count pixels: out[i] = mode(p[i], d[i]), p the pattern and d the image.
// out may be p or d. Modes outside 2..62 (and 1, "normal") give the pattern colour.
// pingPong is the table above; it is read by mode 2 on the 8-bit path only.
void GlueRow(int32_t mode, GluePath path, const GlueColour* p, const GlueColour* d, GlueColour* out,
             int32_t count, const int32_t pingPong[256]);

// One pixel of GlueRow.
inline GlueColour Glue(int32_t mode, GluePath path, GlueColour p, GlueColour d, const int32_t pingPong[256]) {
    GlueColour out;
    GlueRow(mode, path, &p, &d, &out, 1, pingPong);
    return out;
}
