// Shared inputs of the pattern tests: settings to render with and an asymmetric source.
#pragma once

#include <cstdint>

#include "settings/Settings.h"

inline Settings Factory() {
    Settings s;
    InitialiseSettings(s, nullptr);
    return s;
}

// Smooth off, mirror and weave on, 5-fold symmetry and glue "screen", which reads
// the source: every optional stage of the pipeline at work.
inline Settings Woven() {
    Settings s = Factory();
    s.smooth = 0;
    s.mirror = s.weave = 1;
    s.symmetry = 4;
    s.glue = 10;
    return s;
}

// Sample p of pixel (x, y) of a source that differs from pixel to pixel and channel
// to channel, with no mirror or rotation symmetry, below the depth's maximum.
inline int32_t SourceSample(int32_t x, int32_t y, int32_t p, int32_t depth) {
    return (x * 7 + y * 13 + p * 61) % (depth == 16 ? 32768 : 255);
}
