// Colour spaces of the glue modes (the chroma plane's round trip shows in the glue
// test of colours glued onto themselves).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <random>

#include "store/ColourSpaces.h"

namespace {

float Distance(Rgb a, Rgb b) { return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}); }

std::array<int, 3> NodeBytes(const uint8_t* table, int i, int j, int k) {
    const uint8_t* n = table + 3 * i + 48 * j + 768 * k;
    return {n[0], n[1], n[2]};
}

}  // namespace

TEST(ColourSpaces, HslHueConventionAndRoundTrip) {
    EXPECT_EQ(RgbToHsl({1.0f, 0.0f, 0.0f}).h, 1.0f);  // red is hue 1, not 0
    EXPECT_EQ(RgbToHsl({1.0f, 0.0f, 0.0f}).l, 0.5f);
    for (auto [c, sixths] : {std::pair{Rgb{1, 1, 0}, 1.0f}, {Rgb{0, 0, 1}, 4.0f}, {Rgb{1, 0, 0.5f}, 5.5f}})
        EXPECT_FLOAT_EQ(RgbToHsl(c).h, sixths / 6.0f);
    EXPECT_FLOAT_EQ(HueLuma(1.0f, 1.0f), 0.28f);
    EXPECT_FLOAT_EQ(HueLuma(2.0f / 6.0f, 1.0f), 0.52f);

    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int n = 0; n < 100000; ++n) {
        const Rgb c{unit(random), unit(random), unit(random)};
        const Hsl h = RgbToHsl(c);
        ASSERT_LE(Distance(HslToRgb(h.h, h.s, h.l), c), 2e-6f);
        // The corrected lightness runs from 0 through HueLuma at l = 0.5 to 1, and
        // its inverse gives the colour back.
        const Hsl corrected = RgbToHslCorrected(c);
        ASSERT_TRUE(corrected.l >= 0.0f && corrected.l <= 1.0f);
        ASSERT_LE(Distance(HslCorrectedToRgb(corrected.h, corrected.s, corrected.l), c), 1e-5f);
    }
    EXPECT_FLOAT_EQ(RgbToHslCorrected({1.0f, 0.0f, 0.0f}).l, 0.28f);
    EXPECT_EQ(RgbToHslCorrected({1.0f, 1.0f, 1.0f}).l, 1.0f);
}

TEST(ColourSpaces, LightnessFunctionsAndPlaneAnglesFrom0To2Pi) {
    EXPECT_EQ(LightnessRatio(0.0f, 0.0f), 1.0f);
    EXPECT_EQ(LightnessRatio(0.8f, 0.2f), 0.875f);   // 1 - 0.5 * 0.25
    EXPECT_EQ(LightnessRatio(0.2f, 0.8f), 0.125f);   // 0.5 * 0.25
    EXPECT_FLOAT_EQ(LightnessProduct(0.5f, 0.5f, 0.5f), 0.4375f);  // (2 - 0.25) * 0.25
    // Above 0.8 the product is pulled towards the reference, below 0.2 too.
    EXPECT_FLOAT_EQ(LightnessProduct(0.9f, 0.5f, 0.9f), 0.6975f + 0.5f * (0.9f - 0.6975f));
    EXPECT_EQ(LightnessProduct(0.0f, 0.9f, 0.0f), 0.0f);
    EXPECT_EQ(LightnessProduct(1.0f, 1.0f, 1.0f), 1.0f);

    EXPECT_FLOAT_EQ(PlaneToPolar({0.0f, -1.0f}).angle, 4.712389f);
    EXPECT_EQ(PlaneToPolar({0.0f, 0.0f}).angle, 0.0f);
    EXPECT_EQ(PlaneToPolar({1.0f, -1e-9f}).angle, 0.0f);  // just below the axis wraps to 0
}

TEST(ColourSpaces, ColourTablesHoldTheReferenceNodesAndANeutralAxisAndInterpolateExactlyOnLinearTables) {
    const LabTables& t = GetLabTables();
    // Node (i, j, k) and the bytes it holds.
    const std::pair<const uint8_t*, std::array<int, 6>> stated[] = {
        {t.forward, {0, 0, 0, 0, 128, 128}},     {t.forward, {15, 15, 15, 255, 128, 128}},
        {t.forward, {8, 8, 8, 163, 128, 128}},   {t.forward, {4, 4, 4, 93, 128, 128}},
        {t.forward, {15, 0, 0, 144, 208, 208}},  {t.forward, {0, 15, 0, 214, 51, 207}},
        {t.forward, {0, 0, 15, 104, 158, 33}},   {t.inverse, {15, 8, 8, 255, 249, 237}},
        {t.inverse, {8, 8, 8, 125, 104, 95}},    {t.inverse, {0, 0, 0, 0, 0, 181}},
        {t.inverse, {15, 0, 0, 0, 255, 255}},
    };
    for (const auto& [table, n] : stated)
        EXPECT_EQ(NodeBytes(table, n[0], n[1], n[2]), (std::array{n[3], n[4], n[5]})) << n[0] << "," << n[1] << "," << n[2];
    // Greys on the neutral axis, lightness growing with every channel (the neighbours
    // of the reference nodes come from the same smooth model).
    for (int k = 0; k < 16; ++k) {
        const std::array<int, 3> grey = NodeBytes(t.forward, k, k, k);
        EXPECT_EQ((std::array{grey[1], grey[2]}), (std::array{128, 128})) << k;
        EXPECT_GT(grey[0], k == 0 ? -1 : NodeBytes(t.forward, k - 1, k - 1, k - 1)[0]) << k;
        for (int j = 0; j < 16; ++j)
            for (int i = 1; i < 16; ++i) {
                ASSERT_GE(NodeBytes(t.forward, i, j, k)[0], NodeBytes(t.forward, i - 1, j, k)[0]);
                ASSERT_GE(NodeBytes(t.forward, j, i, k)[0], NodeBytes(t.forward, j, i - 1, k)[0]);
                ASSERT_GE(NodeBytes(t.forward, j, k, i)[0], NodeBytes(t.forward, j, k, i - 1)[0]);
            }
    }

    // A table linear in the node indices: interpolation on the 8-bit path must give
    // the linear function of the input, divided by 17 and truncated.
    static uint8_t table[kColourTableBytes];
    for (int k = 0; k < 16; ++k)
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i) {
                uint8_t* n = table + 3 * i + 48 * j + 768 * k;
                n[0] = uint8_t(3 * i + 5 * j + 7 * k);
                n[1] = uint8_t(7 * i + 3 * j + 5 * k);
                n[2] = uint8_t(10 + 5 * i + 7 * j + 3 * k);
            }
    for (int32_t r = 0; r < 256; r += 3)
        for (int32_t g = 0; g < 256; g += 5)
            for (int32_t b = 0; b < 256; b += 7) {
                const GlueColour out = TableInterpolate(table, {r, g, b}, GluePath::bits8);
                ASSERT_EQ(out.r, (3 * r + 5 * g + 7 * b) / 17) << r << " " << g << " " << b;
                ASSERT_EQ(out.g, (7 * r + 3 * g + 5 * b) / 17);
                ASSERT_EQ(out.b, 10 + (5 * r + 7 * g + 3 * b) / 17);
            }
    // The 16-bit path interpolates the same function on its own scale: 2184 weight
    // units per node step of 2184.5334.
    std::mt19937 random(3);
    for (int n = 0; n < 20000; ++n) {
        const int32_t r = int32_t(random() % 32769), g = int32_t(random() % 32769), b = int32_t(random() % 32769);
        const GlueColour out = TableInterpolate(table, {r, g, b}, GluePath::bits16);
        const double scale = 2184.0 / 2184.5334 / 17.0;
        ASSERT_NEAR(out.r, (3.0 * r + 5.0 * g + 7.0 * b) * scale, 2.0);
        ASSERT_NEAR(out.g, (7.0 * r + 3.0 * g + 5.0 * b) * scale, 2.0);
        ASSERT_NEAR(out.b, 2184.0 * 10.0 / 17.0 + (5.0 * r + 7.0 * g + 3.0 * b) * scale, 2.0);
    }
}

TEST(ColourSpaces, TableSpaceRoundTrip) {
    // Forward then inverse on the 8-bit path, measured: mean error 2.40 per channel,
    // worst 43 (clipped nodes near white and saturated colours, steep gamma near 0);
    // inside 64..191 mean 1.52, worst 16. A wrong stride, axis order or weight raises
    // the mean many times over.
    const LabTables& t = GetLabTables();
    int worst[2] = {0, 0}, count[2] = {0, 0};
    double total[2] = {0.0, 0.0};  // [0] all colours, [1] the inner cube
    for (int32_t r = 0; r < 256; r += 3)
        for (int32_t g = 0; g < 256; g += 3)
            for (int32_t b = 0; b < 256; b += 3) {
                const GlueColour back = FromLab(t, ToLab(t, {r, g, b}, GluePath::bits8), GluePath::bits8);
                const bool isInner = std::min({r, g, b}) >= 64 && std::max({r, g, b}) <= 191;
                for (int32_t e : {back.r - r, back.g - g, back.b - b})
                    for (int s = 0; s <= int(isInner); ++s) {
                        worst[s] = std::max(worst[s], std::abs(e));
                        total[s] += std::abs(e);
                        ++count[s];
                    }
            }
    EXPECT_LE(worst[0], 43);
    EXPECT_LT(total[0] / count[0], 2.5);
    EXPECT_LE(worst[1], 16);
    EXPECT_LT(total[1] / count[1], 1.6);
    // Greys stay on the neutral axis on both paths.
    for (int32_t v = 0; v <= 255; v += 17) {
        const GlueColour lab = ToLab(t, {v, v, v}, GluePath::bits8);
        const GlueColour wide = ToLab(t, {v * 128, v * 128, v * 128}, GluePath::bits16);
        EXPECT_EQ((std::array{lab.g, lab.b, wide.g, wide.b}), (std::array{128, 128, 128 * 2184 / 17, 128 * 2184 / 17})) << v;
    }
}
