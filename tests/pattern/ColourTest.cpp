// Colour waves: the tables' stated entries, the colour index and the smooth lookup.
#include <gtest/gtest.h>

#include "store/HostUtil.h"
#include "pattern/ColourWaves.h"
#include "PatternTestSupport.h"
#include "store/StoreTestSupport.h"

namespace {

TEST(ColourWaves, TablesHoldTheStatedEntriesAndSmoothReadsTheRampAtTheLevelOfTheDifference) {
    Settings s = FactorySettings();
    // Zero cycles: every table is the identity, whatever phase, shift and amplitude say.
    s.redCycles = s.greenCycles = s.blueCycles = 0;
    ColourTables tables;
    BuildColourTables(s, tables);
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(tables.red[i] == i && tables.green[i] == i && tables.blue[i] == i) << i;
    // One cycle, phase 0, shift 0, amplitude 100: one full sine period that never
    // reaches 255 because of the truncation.
    uint8_t table[256];
    buildColourWave(1.0, 0.0, 0.0, 1.0, table);
    for (auto [i, want] : {std::pair{0, 127}, {255, 127}, {64, 0}, {191, 254}}) EXPECT_EQ(table[i], want) << i;
    for (int i = 0; i < 256; ++i) EXPECT_LT(table[i], 255);
    // Shift 50 pushes the top of the wave to about 318, which wraps to 62.
    buildColourWave(1.0, 0.0, 0.5, 1.0, table);
    EXPECT_EQ(table[191], 62);
    // The channels use their own settings: a half-turn phase flips red's wave.
    s.redCycles = s.greenCycles = s.blueCycles = 1;
    s.redPhase = s.redAmplitude = s.greenAmplitude = 100;
    s.greenPhase = s.redShift = s.greenShift = 0;
    BuildColourTables(s, tables);
    EXPECT_EQ(tables.green[64], 0);
    EXPECT_EQ(tables.red[64], 254);
    // The colour index: t = 1 gives 255, t = 0.5 127; beyond 0..1 it wraps.
    for (auto [t, want] : {std::pair{1.0f, 255}, {0.5f, 127}, {1.5f, 382 & 255}, {-0.5f, -127 & 255}})
        EXPECT_EQ(ColourIndex(t), want) << t;

    // The smooth lookup reads the ramp at the level of the difference.
    Current() = CurrentCall{};
    ScopedImage ramp(256, 1, kKindRGBA8);
    // A sawtooth table: neighbouring entries differ a lot, so blurred levels differ
    // visibly from level 0.
    ColourTables sawtooth;
    for (int i = 0; i < 256; ++i) {
        sawtooth.red[i] = uint8_t((i % 2) * 255);
        sawtooth.green[i] = uint8_t(i);
        sawtooth.blue[i] = uint8_t(255 - i);
    }
    FillRamp(ramp.image, sawtooth);
    // No neighbour (first pixel of the render): level 0, read at the entry's centre;
    // above takes the left value and prev takes t.
    for (int i : {17, 255}) {
        float prev = -1.0f, above = -1.0f;
        const float t = (float(i) + 0.5f) / 256.0f;
        const IntRGBA colour = SmoothColour(ramp.image, t, prev, above);
        EXPECT_EQ((Px{colour.red, colour.green, colour.blue}), (Px{sawtooth.red[i], sawtooth.green[i], sawtooth.blue[i]}));
        EXPECT_EQ((std::pair{above, prev}), (std::pair{-1.0f, t}));
    }
    // Equal neighbours: still level 0.
    const float t = 100.5f / 256.0f;
    float prev = t, above = t;
    EXPECT_EQ(SmoothColour(ramp.image, t, prev, above).red, sawtooth.red[100]);
    // A large jump from the pixel above (d = 0.25 * 255, level about 5.5) reads a
    // blurred level where the sawtooth averages out to the middle.
    above = t + 0.25f;
    const IntRGBA blurred = SmoothColour(ramp.image, t, prev, above);
    EXPECT_EQ(above, t);  // the left neighbour's value goes to the row buffer
    EXPECT_GT(blurred.red, 64);
    EXPECT_LT(blurred.red, 192);
}

}  // namespace
