// Glue modes: every mode stays within the path's scale, and the cases where a wrong
// shift, sign, operand order or channel rotation would show give the stated values.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "store/Glue.h"

namespace {

const std::set<int32_t> kWholeColourModes = {15, 16, 22, 23, 28, 29, 46, 47, 48, 49,
                                             50, 51, 53, 54, 55, 56, 57, 59, 60, 61};

const std::array<int32_t, 256> kPingPong = [] {
    std::array<int32_t, 256> table;
    BuildPingPongTable(table.data());
    return table;
}();

GlueColour Grey(int32_t v) { return {v, v, v}; }

// One channel of a per-channel mode, fed through all three channels.
int32_t Channel(int32_t mode, GluePath path, int32_t p, int32_t d) {
    const GlueColour r = Glue(mode, path, Grey(p), Grey(d), kPingPong.data());
    EXPECT_TRUE(r.r == r.g && r.g == r.b) << "mode " << mode;
    return r.r;
}

// A value on the path's scale; one time in four an edge of the scale or its middle.
int32_t RandomValue(std::mt19937& random, int32_t full) {
    if (random() % 4 == 0) {
        const int32_t half = full == 255 ? 128 : 16384;
        const int32_t edges[] = {0, 1, half - 1, half, half + 1, full - 1, full};
        return edges[random() % 7];
    }
    return int32_t(random() % uint32_t(full + 1));
}

// A colour as an array, so one assertion compares and prints all three channels.
using Rgb3 = std::array<int32_t, 3>;
Rgb3 AsRgb(const GlueColour& c) { return {c.r, c.g, c.b}; }

}  // namespace

TEST(Glue, EveryModeStaysInRangeForRandomColoursOnBothPaths) {
    // Fixed seed; 2.5 million pairs per path, a third of them through the slower
    // whole-colour modes.
    constexpr int32_t kRow = 512;
    std::mt19937 random(20240611);
    std::vector<GlueColour> p(kRow), d(kRow), out(kRow);
    for (GluePath path : {GluePath::bits8, GluePath::bits16}) {
        const int32_t full = path == GluePath::bits8 ? 255 : 32768;
        for (int32_t mode = 0; mode <= kGlueModeCount + 1; ++mode) {
            const int rows = kWholeColourModes.count(mode) ? 80 : 40;
            for (int row = 0; row < rows; ++row) {
                for (int32_t i = 0; i < kRow; ++i) {
                    p[size_t(i)] = {RandomValue(random, full), RandomValue(random, full), RandomValue(random, full)};
                    d[size_t(i)] = {RandomValue(random, full), RandomValue(random, full), RandomValue(random, full)};
                }
                GlueRow(mode, path, p.data(), d.data(), out.data(), kRow, kPingPong.data());
                for (const GlueColour& c : out)
                    ASSERT_TRUE(std::min({c.r, c.g, c.b}) >= 0 && std::max({c.r, c.g, c.b}) <= full)
                        << GlueModeName(mode) << " path " << int(path);
                // On the 8-bit path a per-channel mode gives each channel what it gives that
                // channel's values fed through all three: no channel is mixed up with another.
                const bool perChannel = !kWholeColourModes.count(mode) && mode >= 2 && mode <= kGlueModeCount;
                for (std::size_t i = 0; path == GluePath::bits8 && perChannel && i < kRow; i += 7)
                    ASSERT_EQ((std::pair{out[i].g, out[i].b}),
                              (std::pair{Channel(mode, path, p[i].g, d[i].g), Channel(mode, path, p[i].b, d[i].b)}))
                        << mode;
                // In place over the pattern gives the same row.
                GlueRow(mode, path, p.data(), d.data(), p.data(), kRow, kPingPong.data());
                for (int32_t i = 0; i < kRow; ++i) ASSERT_EQ(AsRgb(p[size_t(i)]), AsRgb(out[size_t(i)]));
            }
        }
    }
}

TEST(Glue, StatedValuesOfTheIntegerModes) {
    constexpr GluePath b8 = GluePath::bits8, b16 = GluePath::bits16;
    // Mode, path, pattern, image and the stated result.
    const std::tuple<int32_t, GluePath, int32_t, int32_t, int32_t> cases[] = {
        // Procedural +: nearly the pattern at the middle of the 8-bit table, the average
        // on the 16-bit path.
        {2, b8, 200, 128, (255 * 200) >> 8}, {2, b8, 200, 0, 0}, {2, b8, 0, 255, 253},
        {2, b16, 1000, 16384, (8192 * 1000 + 8192 * 16384) >> 14}, {2, b16, 1000, 32768, 32768},
        // Difference is the product form, hard diff the absolute difference.
        {4, b8, 128, 128, 127}, {26, b8, 128, 128, 0}, {26, b8, 20, 200, 180}, {14, b8, 0, 255, 255},
        {4, b8, 0, 255, 254}, {14, b8, 255, 255, 0}, {4, b8, 255, 255, 0}, {14, b16, 0, 32768, 32768},
        {17, b8, 127, 1, 0}, {17, b8, 128, 1, 2}, {17, b16, 16384, 100, 100},
        // Vivid a on the 16-bit path runs at 8-bit precision and comes back.
        {20, b16, 16384, 16384, (128 << 7) | (128 >> 1)}, {20, b16, 32768, 200, 32768}, {20, b16, 32768, 100, 0},
        // Dodge and burn at the ends of the pattern.
        {30, b8, 255, 1, 255}, {30, b8, 255, 255, 255}, {30, b8, 255, 0, 0}, {30, b16, 32768, 0, 32768},
        {30, b16, 32768, 1, 32768}, {31, b8, 0, 255, 255}, {31, b8, 0, 0, 0}, {31, b8, 0, 254, 0},
        {31, b16, 32768, 16384, 16385},  // 16383.5 truncated towards zero
        // Bitwise modes; queen on the 8-bit path.
        {36, b8, 0xf0, 0x3c, 0x30}, {37, b8, 0xf0, 0x3c, 0xfc}, {38, b8, 0xf0, 0x3c, 0xcc}, {34, b8, 200, 100, 121},
        // Hard mix switches exactly past the full scale.
        {52, b8, 100, 155, 0}, {52, b8, 100, 156, 255}, {52, b16, 16384, 16384, 0}, {52, b16, 16384, 16385, 32768},
        // Dextrous: full for two blacks, half for equal values.
        {58, b8, 0, 0, 255}, {58, b16, 0, 0, 32768}, {58, b8, 77, 77, 127}, {58, b16, 5000, 5000, 16384},
        // Multibright and screendim at the ends.
        {39, b16, 32768, 32768, 32768}, {62, b8, 255, 0, 255}, {62, b16, 0, 0, 0},
    };
    for (const auto& [mode, path, p, d, want] : cases)
        EXPECT_EQ(Channel(mode, path, p, d), want) << "mode " << mode << " " << p << " " << d;
    EXPECT_EQ(Channel(14, b16, 12345, 23456), Channel(4, b16, 12345, 23456));
    // Queen is the mirror of king on the 16-bit path only.
    EXPECT_EQ(Channel(34, b16, 30000, 10000), Channel(33, b16, 10000, 30000));
}

TEST(Glue, StatedValuesOfTheWholeColourModesAndIndexesOutsideTheModes) {
    // Channel rotations take their weights from the stated channels.
    const GlueColour p{200, 100, 50}, d{10, 20, 30};
    const std::pair<int32_t, Rgb3> cases[] = {
        {48, {125, 84, 34}}, {49, {162, 37, 42}}, {50, {185, 90, 49}}, {51, {177, 96, 48}}};
    for (const auto& [mode, want] : cases)
        EXPECT_EQ(AsRgb(Glue(mode, GluePath::bits8, p, d, kPingPong.data())), want) << mode;
    // 16-bit: lerp weights on 32768.
    EXPECT_EQ(AsRgb(Glue(48, GluePath::bits16, {20000, 16384, 0}, {0, 32768, 32768}, kPingPong.data())),
              (Rgb3{10000, 16384, 20000}));
    // Indexes outside the modes leave the pattern.
    for (GluePath path : {GluePath::bits8, GluePath::bits16})
        for (int32_t mode : {0, 1, 63, -1, 1000, -2147483647 - 1})
            EXPECT_EQ(AsRgb(Glue(mode, path, p, d, kPingPong.data())), AsRgb(p)) << mode;

    // Bright and dim compare lumas without the low bits: 15760 and 15711 agree above
    // the low 8 bits, and both modes keep the pattern.
    const GlueColour close{100, 50, 20}, closer{99, 50, 21}, light{200, 200, 200}, dark{10, 90, 40};
    for (GluePath path : {GluePath::bits8, GluePath::bits16})
        for (int32_t mode : {28, 29}) {
            EXPECT_EQ(AsRgb(Glue(mode, path, close, closer, kPingPong.data())), AsRgb(close)) << mode;
            // Otherwise bright keeps the lighter colour and dim the darker, in either order.
            const Rgb3 kept = AsRgb(mode == 28 ? light : dark);
            EXPECT_EQ(AsRgb(Glue(mode, path, light, dark, kPingPong.data())), kept) << mode;
            EXPECT_EQ(AsRgb(Glue(mode, path, dark, light, kPingPong.data())), kept) << mode;
        }

    // Grey inputs to the HSL modes. Color with a grey pattern: a grey at the image's
    // normalised luma, (77 * 200 + 150 * 40 + 28 * 10) >> 8 = 84.
    EXPECT_EQ(AsRgb(Glue(15, GluePath::bits8, Grey(90), {200, 40, 10}, kPingPong.data())), (Rgb3{84, 84, 84}));
    // Frontal with greys, black or white: the grey of the smaller lightness.
    for (GluePath path : {GluePath::bits8, GluePath::bits16}) {
        const int32_t full = path == GluePath::bits8 ? 255 : 32768;
        const int32_t pairs[][2] = {{full, 0}, {0, full}, {full, full}, {full * 3 / 4, full / 4}, {full / 5, full / 2}};
        for (const auto& [a, b] : pairs)
            EXPECT_EQ(AsRgb(Glue(53, path, Grey(a), Grey(b), kPingPong.data())), AsRgb(Grey(std::min(a, b))))
                << a << " " << b;
    }
}

TEST(Glue, ColourModesGiveBackAColourGluedOntoItself) {
    // With p = d, frontal's chroma-plane mix and hue's and saturation's corrected
    // lightness round trip must return the colour: wrong hue conventions, angle
    // quadrants or lightness inverses would not.
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        const GlueColour c{int32_t(random() % 256), int32_t(random() % 256), int32_t(random() % 256)};
        for (int32_t mode : {22, 23, 53}) {
            const GlueColour r = Glue(mode, GluePath::bits8, c, c, kPingPong.data());
            ASSERT_LE(std::max({std::abs(r.r - c.r), std::abs(r.g - c.g), std::abs(r.b - c.b)}), 2)
                << mode << ": " << c.r << " " << c.g << " " << c.b;
        }
    }
}
