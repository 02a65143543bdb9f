// Windowed-sinc resampling, against constant images and a clamped reference.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "store/ImageStore.h"
#include "store/Pyramid.h"
#include "store/Resample.h"
#include "store/StoreTestSupport.h"

namespace {

const WeightTable kWeights = [] {
    WeightTable t;
    BuildWeightTable(t);
    return t;
}();

// An initialised image record bound to the shared weight table.
struct SampledImage : ScopedImage {
    SampledImage() { image.weightTable = &kWeights; }
    SampledImage(int32_t width, int32_t height, PixelKind kind) : SampledImage() { Create(width, height, kind); }
};

TEST(Resample, WeightPhasesSumToTheirScalesAndConstantImagesSampleToTheirValueEverywhere) {
    const WeightTable& t = kWeights;
    for (int p = 0; p < kWeightPhases; ++p) {
        int32_t sum2048 = 0, sum32768 = 0;
        double sumFloat = 0.0;
        for (int j = 0; j < kWeightTaps; ++j) {
            sum2048 += t.scaled2048[j][p];
            sum32768 += t.scaled32768[j][p];
            sumFloat += t.floats[j][p];
            EXPECT_NEAR(t.scaled2048[j][p] / 2048.0, t.floats[j][p], 2.5 / 2048.0);
        }
        ASSERT_EQ((std::pair{sum2048, sum32768}), (std::pair{2048, 32768})) << p;
        EXPECT_NEAR(sumFloat, 1.0, 1e-6);
        EXPECT_GT(t.floats[2][p], 0.4f);  // a low-pass kernel: the middle tap dominates
    }
    // Moving the phase moves weight from the far-side taps to the near side.
    EXPECT_GT(t.floats[1][127], t.floats[1][0]);
    EXPECT_LT(t.floats[3][127], t.floats[3][0]);

    SampledImage packed(530, 7, kKindRGBA8), deep(530, 7, kKindRGBA16), floats(530, 7, kKindRGBAFloat),
        grey(530, 7, kKindGrey8);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 530; ++x) {
            setRGBA(x, y, packed.get(), 0, 200, 7, 255, 0);
            setRGBA(x, y, deep.get(), 0, 32768, 30000, 1, 0);
            SetFloatRGBA(x, y, floats.get(), 0, {0.25f, 2.0f, 0.0f, 1.0f});
            SetByte(x, y, grey.get(), 0, 200);
        }
    for (ImageStore* image : {grey.get(), deep.get()}) buildAll(image);
    const std::tuple<ImageStore*, std::array<float, 4>, float> constants[] = {
        {packed.get(), {200, 7, 255, 0}, 1e-3f}, {deep.get(), {32768, 30000, 1, 0}, 0.01f},
        {floats.get(), {0.25f, 2, 0, 1}, 1e-5f}};
    // Inside, across the tile seam at 512 and beyond every edge.
    for (float x : {-40.0f, 0.0f, 1.3f, 509.9f, 511.5f, 528.2f, 600.0f})
        for (float y : {-2.0f, 3.3f, 6.9f, 50.0f}) {
            for (const auto& [image, value, tolerance] : constants)
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(AsFloats(sample(image, 0, x, y))[c], value[c], tolerance) << x << "," << y;
            EXPECT_NEAR(sample(grey.get(), 0, x, y).red, 200.0f, 1e-3f);
        }
    // The trilinear form gives grey as red, green and blue with alpha 255; kinds without
    // one give zeros. Its blend of two levels shows in the resize tests below.
    const FloatRGBA g = sampleTrilinear(grey.get(), 0, 0.3f, 0.1f, 0.9f);
    EXPECT_NEAR(g.green, 200.0f, 1e-3f);
    EXPECT_EQ(g.alpha, 255.0f);
    SampledImage single(4, 4, kKindFloat);
    EXPECT_EQ(AsFloats(sampleTrilinear(single.get(), 0, 0.0f, 0.5f, 0.5f)), (std::array<float, 4>{}));
    const FloatRGBA n = sampleNormalised(deep.get(), 2, 0.5f, 0.7f, 0.2f);
    EXPECT_NEAR(n.red, 1.0f, 1e-5f);
}

// The windowed-sinc sum of an 8-bit or 16-bit image read through the clamping getter.
FloatRGBA ClampedReference(const ImageStore* image, float x, float y) {
    const float fx = float(double(x) + 0.5), fy = float(double(y) + 0.5);
    const int32_t ix = int32_t(fx), iy = int32_t(fy);
    const int px = int((fx - float(ix)) * 128.0f), py = int((fy - float(iy)) * 128.0f);
    const bool eight = image->pixelKind == kKindRGBA8;
    const WeightTable& t = kWeights;
    int64_t total[4] = {0, 0, 0, 0};
    for (int k = 0; k < 5; ++k) {
        int64_t row[4] = {0, 0, 0, 0};
        for (int j = 0; j < 5; ++j) {
            const Px v = PixelAt(image, ix + 2 - j, iy + 2 - k);
            const int64_t w = eight ? t.scaled2048[j][px] : t.scaled32768[j][px];
            for (std::size_t c = 0; c < 4; ++c) row[c] += w * v[c];
        }
        const int64_t w = eight ? t.scaled2048[k][py] : t.scaled32768[k][py];
        for (int c = 0; c < 4; ++c) total[c] += w * (eight ? row[c] : row[c] / 32768);
    }
    const float scale = eight ? 2.3841858e-7f : 3.0517578e-5f;
    return {float(total[0]) * scale, float(total[1]) * scale, float(total[2]) * scale, float(total[3]) * scale};
}

TEST(Resample, TilePathEqualsClampedReadsAcrossSeams) {
    std::mt19937 random(11);
    for (PixelKind kind : {kKindRGBA8, kKindRGBA16}) {
        SampledImage image(1100, 600, kind);
        const uint32_t top = kind == kKindRGBA8 ? 256 : 32769;
        for (int32_t y = 0; y < 600; ++y)
            for (int32_t x = 0; x < 1100; ++x)
                setRGBA(x, y, image.get(), 0, int32_t(random() % top), int32_t(random() % top), (x * 7) % 256,
                        int32_t(random() % top));
        std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
        // Points on both sides of the seams at 512 and 1024, at the edges and inside.
        for (float bx : {1.0f, 3.0f, 300.0f, 505.0f, 508.0f, 510.0f, 513.0f, 516.0f, 1020.0f, 1097.0f})
            for (float by : {0.0f, 2.0f, 250.0f, 506.0f, 509.0f, 511.0f, 514.0f, 597.0f})
                for (int i = 0; i < 4; ++i) {
                    const float x = bx + fraction(random), y = by + fraction(random);
                    ASSERT_EQ(AsFloats(sample(image.get(), 0, x, y)), AsFloats(ClampedReference(image.get(), x, y)))
                        << kind << " " << x << "," << y;
                }
    }
}

// A source whose levels 0, 1 and 2 hold different constants, so the colour of a resize
// tells which levels it read.
void FillLevels(ImageStore* image) {
    const int32_t colours[3][3] = {{200, 10, 0}, {100, 30, 60}, {0, 50, 120}};
    for (int level = 0; level < 3; ++level)
        for (int32_t y = 0; y < image->levelHeight[level]; ++y)
            for (int32_t x = 0; x < image->levelWidth[level]; ++x)
                setRGBA(x, y, image, level, colours[level][0], colours[level][1], colours[level][2], 255);
}

TEST(Resample, ResizeChoosesTheLevelFromTheRatioLessTheBiasAndKeepsTheImageTheRightWayRound) {
    SampledImage source(512, 512, kKindRGBA8);
    FillLevels(source.get());
    SampledImage half(256, 256, kKindRGBA8), quarter(128, 96, kKindRGBA8);
    copyOrResize(source.get(), half.get());  // level 0.5: half way between 0 and 1
    // Each channel within 1 of the level mix.
    const auto near = [](Px got, Px want) {
        return std::ranges::equal(got, want, [](int32_t a, int32_t b) { return std::abs(a - b) <= 1; });
    };
    EXPECT_TRUE(near(PixelAt(half.get(), 17, 200), {150, 20, 30, 255}));
    EXPECT_EQ(half->pyramidState, kPyramidBuilt);
    copyOrResize(source.get(), quarter.get());  // level 1.5: half way between 1 and 2
    EXPECT_TRUE(near(PixelAt(quarter.get(), 127, 95), {50, 40, 90, 255}));
    // An explicit bias of 0 and a destination rectangle: 512 -> 256 reads level 1 alone,
    // and only the rectangle is written.
    SampledImage canvas(300, 260, kKindRGBA8);
    FillLevelZero(canvas.get(), [](int32_t, int32_t, void*) { return IntRGBA{1, 2, 3, 4}; }, nullptr, false);
    resize(source.get(), canvas.get(), LevelRect(source.get(), 0), Rect{2, 40, 258, 296}, 0.0f);
    EXPECT_TRUE(near(PixelAt(canvas.get(), 40, 2), {100, 30, 60, 255}));
    EXPECT_EQ(PixelAt(canvas.get(), 39, 2), (Px{1, 2, 3, 4}));
    EXPECT_EQ(PixelAt(canvas.get(), 296, 100), (Px{1, 2, 3, 4}));

    // An asymmetric source: red in the left third, blue in the bottom half of the rest.
    SampledImage asymmetric(300, 200, kKindRGBA8), small(60, 40, kKindRGBA8);
    auto picture = [](int32_t x, int32_t y, void*) {
        return x < 100 ? IntRGBA{255, 0, 0, 255} : y >= 100 ? IntRGBA{0, 0, 255, 255} : IntRGBA{0, 255, 0, 255};
    };
    FillLevelZero(asymmetric.get(), picture, nullptr, true);
    copyOrResize(asymmetric.get(), small.get());
    EXPECT_GT(PixelAt(small.get(), 5, 35)[0], 240);
    EXPECT_GT(PixelAt(small.get(), 50, 5)[1], 240);
    EXPECT_GT(PixelAt(small.get(), 50, 35)[2], 240);
}

TEST(Resample, CopiesBetweenEqualSizes) {
    SampledImage source(70, 45, kKindRGBA8), copy(70, 45, kKindRGBA8), other(70, 45, kKindRGBA16);
    FillLevelZero(
        source.get(), [](int32_t x, int32_t y, void*) { return IntRGBA{3 * x, 5 * y, (x * y) & 255, (x + 7 * y) & 255}; },
        nullptr, true);
    copyOrResize(source.get(), copy.get());
    EXPECT_EQ(copy->pyramidState, kPyramidBuilt);
    for (int level = 0; level <= source->topLevel; ++level)
        for (int32_t y = 0; y < source->levelHeight[level]; ++y)
            for (int32_t x = 0; x < source->levelWidth[level]; ++x)
                ASSERT_EQ(GetLong(x, y, source.get(), level), GetLong(x, y, copy.get(), level))
                    << level << " " << x << "," << y;

    // Different kinds: nothing is copied.
    setRGBA(3, 3, other.get(), 0, 7, 7, 7, 7);
    copyLevel(source.get(), other.get(), 0, 0);
    EXPECT_EQ(PixelAt(other.get(), 3, 3)[0], 7);
    // Level to level: only the overlap is written.
    SampledImage wide(100, 10, kKindRGBA8);
    FillLevelZero(wide.get(), [](int32_t, int32_t, void*) { return IntRGBA{9, 9, 9, 9}; }, nullptr, false);
    copyLevel(source.get(), wide.get(), 1, 0);  // 36 x 24 onto 100 x 10
    EXPECT_EQ(GetLong(35, 9, wide.get(), 0), GetLong(35, 9, source.get(), 1));
    EXPECT_EQ(GetLong(36, 9, wide.get(), 0), 0x09090909u);
}

TEST(Resample, EdgeMapModes) {
    SampledImage image(16, 16, kKindRGBA8);  // topLevel 4
    // u, v, level and mode in; u, v, level and whether outside out.
    const std::pair<std::array<float, 4>, std::array<float, 4>> cases[] = {
        {{0.3f, 1.0f, 1, 1}, {0.3f, 1.0f, 1, 1}},     {{1.25f, 0.5f, 1, 2}, {1.0f, 0.5f, 1.75f, 0}},
        {{-0.25f, 1.5f, 0, 4}, {0.75f, 1.0f, 0, 0}},  {{2.25f, -0.5f, 0, 6}, {0.25f, 0.5f, 0, 0}},
        {{0.125f, 1.25f, 0, 7}, {0.375f, 0.75f, 0, 0}}, {{7.0f, -2.0f, 0, 0}, {7.0f, -2.0f, 0, 0}},
    };
    for (const auto& [in, want] : cases) {
        const EdgePoint got = edgeMap(in[0], in[1], in[2], int(in[3]), image.get());
        EXPECT_EQ((std::array{got.u, got.v, got.level, float(got.outside)}), want) << in[0] << "," << in[1] << " " << in[3];
    }
}

}  // namespace
