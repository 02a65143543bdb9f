// Glue: lays the rendered pattern colour onto the image colour by one of 62 blend
// modes (mode names: GlueModeName in settings/Parameters.h).
//
// Both colours arrive as integers on the image's scale, 0..255 on the 8-bit path and
// 0..32768 (the host's 16-bit scale) on the 16-bit path, and every mode keeps its
// result within that range. The integer modes use the path's own shifts and
// truncations, so results are bit-exact; the few modes that work in HSL, in the
// chroma plane or in the table space use single precision in a fixed order.
// Nothing here allocates, fails or keeps state between calls.
#pragma once

#include <cstdint>

enum class GluePath : uint8_t {
    bits8,   // 8 bits per channel, scale 0..255
    bits16,  // 16 bits per channel, scale 0..32768
};

// One colour: red, green, blue on the path's scale (or, in the table space,
// lightness and the two opponent components).
struct GlueColour {
    int32_t r, g, b;
};

constexpr int32_t kGlueModeLast = 62;

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
