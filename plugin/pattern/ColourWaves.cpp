// Colour waves: the tables, the ramp image and the smooth lookup.
#include "pattern/ColourWaves.h"

#include <algorithm>
#include <cmath>

#include "store/PixelMath.h"
#include "settings/Settings.h"
#include "store/Pyramid.h"

namespace {

void BuildChannel(int32_t cycles, int32_t phase, int32_t shift, int32_t amplitude, uint8_t table[256]) {
    buildColourWave(double(float(cycles)), double(float(double(float(phase)) * 0.01 * kPi)),
                    double(SettingConstant(shift, 0.01)), double(SettingConstant(amplitude, 0.01)), table);
}

}  // namespace

void buildColourWave(double cycles, double phase, double shift, double amplitude, uint8_t table[256]) {
    if (cycles == 0.0) {
        for (int i = 0; i < 256; ++i) table[i] = uint8_t(i);
        return;
    }
    for (int i = 0; i < 256; ++i) {
        // The step is 2 pi / 255: index 0 is at -pi and index 255 at +pi.
        const float angle = float(double(i) * 0.02463994237647059 - kPi);
        const double wave = std::sin((double(angle) - phase) * cycles);
        const float value = float(wave * amplitude + shift);
        table[i] = uint8_t(int64_t(double(value) * 127.5 + 127.5) & 255);
    }
}

void BuildColourTables(const Settings& s, ColourTables& tables) {
    BuildChannel(s.redCycles, s.redPhase, s.redShift, s.redAmplitude, tables.red);
    BuildChannel(s.greenCycles, s.greenPhase, s.greenShift, s.greenAmplitude, tables.green);
    BuildChannel(s.blueCycles, s.bluePhase, s.blueShift, s.blueAmplitude, tables.blue);
}

void FillRamp(ImageStore& ramp, const ColourTables& tables) {
    if (ramp.tileCount == 0) return;
    for (int32_t i = 0; i < 256; ++i) setRGBA(i, 0, &ramp, 0, tables.red[i], tables.green[i], tables.blue[i], 255);
    ramp.pyramidState = kPyramidStale;
    buildAll(&ramp);
}

namespace {

// The ramp level of the smooth lookup, log2(0.7071 * 255 * largest difference) held
// to topLevel, and the position along the ramp, held to -1..2: positions beyond read
// the same edge pixels, and holding them keeps the samplers' integer conversions in
// range for any t.
struct RampRead {
    float level;
    float u;
};

RampRead SmoothRead(float t, float prev, float above, int32_t topLevel) {
    const float fromLeft = prev != -1.0f ? std::fabs(t - prev) * 255.0f : 0.0f;
    const float fromAbove = above != -1.0f ? std::fabs(t - above) * 255.0f : 0.0f;
    const float difference = fromLeft > fromAbove ? fromLeft : fromAbove;
    const float footprint = float(double(difference) * 0.707106781186548);
    float level = 0.0f;
    if (footprint > 1.0f) {
        level = float(double(PixelMath::Log(footprint)) / 0.693147180559945);
        if (level > float(topLevel)) level = float(topLevel);
    }
    return {level, !(t >= -1.0f) ? -1.0f : (t > 2.0f ? 2.0f : t)};
}

}  // namespace

void CopyRampLevels(const ImageStore& ramp, RampLevels& levels) {
    levels.topLevel = ramp.tileCount == 0 ? -1 : std::min(ramp.topLevel, kRampLevels - 1);
    for (int32_t level = 0; level <= levels.topLevel; ++level) {
        levels.sampleWidth[level] = std::min(ramp.sampleWidth[level], 256);
        for (int32_t x = 0; x < levels.sampleWidth[level]; ++x) {
            IntRGBA value{0, 0, 0, 0};
            getRGBA(x, 0, &ramp, level, value);
            levels.colours[level * 256 + x] = (value.red & 255) | (value.green & 255) << 8 | (value.blue & 255) << 16;
        }
    }
}

IntRGBA SmoothColour(const ImageStore& ramp, float t, float& prev, float& above) {
    const RampRead read = SmoothRead(t, prev, above, ramp.topLevel);
    const int32_t whole = int32_t(read.level);
    IntRGBA colour;
    trilinear(&ramp, whole, read.level - float(whole), read.u, 0.0f, colour);
    above = prev;
    prev = t;
    return colour;
}
