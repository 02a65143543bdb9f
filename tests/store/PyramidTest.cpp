// The level pyramid, against stated weights and a plain reference.
#include <algorithm>
#include <array>
#include <bit>
#include <random>

#include <gtest/gtest.h>

#include "store/ImageStore.h"
#include "store/Pyramid.h"
#include "store/StoreTestSupport.h"

namespace {

constexpr int32_t kTable[6][6] = {
    {0, 1, 4, 4, 1, 0},       {1, 16, 64, 64, 16, 1}, {4, 64, 256, 256, 64, 4},
    {4, 64, 256, 256, 64, 4}, {1, 16, 64, 64, 16, 1}, {0, 1, 4, 4, 1, 0},
};

// Level L + 1 pixel (x, y) computed the plain way, through the clamping getter.
Px ReferencePixel(const ImageStore* image, int level, int32_t x, int32_t y, float maximum) {
    Px sums{};
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 6; ++i) {
            const Px p = PixelAt(image, 2 * x + i - 2, 2 * y + j - 2, level);
            for (std::size_t c = 0; c < 4; ++c) sums[c] += kTable[j][i] * p[c];
        }
    for (int32_t& s : sums) s = int32_t(std::min(maximum, float(s) * (1.0f / 1640.0f)));
    return sums;
}

TEST(Pyramid, ConstantImagesStayConstantOnEveryLevel) {
    // Channel patterns; floats as bit patterns.
    const int32_t quarterBits = std::bit_cast<int32_t>(0.75f), bigBits = std::bit_cast<int32_t>(300.5f);
    const std::pair<PixelKind, IntRGBA> cases[] = {{kKindRGBA8, {200, 255, 17, 0}},
                                                   {kKindRGBA16, {32768, 1, 12345, 0}},
                                                   {kKindRGBAFloat, {quarterBits, bigBits, 0, quarterBits}}};
    for (const auto& [kind, value] : cases) {
        for (auto [w, h] : {std::pair{531, 515}, std::pair{600, 5}, std::pair{3, 1100}}) {
            ScopedImage image(w, h, kind);
            FillLevelZero(
                image.get(), [](int32_t, int32_t, void* v) { return *static_cast<IntRGBA*>(v); },
                const_cast<IntRGBA*>(&value), true);
            EXPECT_EQ(image->pyramidState, kPyramidBuilt);
            for (int level = 1; level <= image->topLevel; ++level)
                for (int32_t y = 0; y < image->levelHeight[level]; y += 7)
                    for (int32_t x = 0; x < image->levelWidth[level]; x += 5)
                        ASSERT_EQ(PixelAt(image.get(), x, y, level), AsPx(value))
                            << kind << " level " << level << " " << x << "," << y;
        }
    }
    ScopedImage grey(37, 21, kKindGrey8), deep(37, 21, kKindGrey16), single(37, 21, kKindFloat);
    for (int32_t y = 0; y < 21; ++y)
        for (int32_t x = 0; x < 37; ++x) {
            SetByte(x, y, grey.get(), 0, 255);
            SetWord(x, y, deep.get(), 0, 32768);
            SetFloat(x, y, single.get(), 0, 0.3f);
        }
    for (ImageStore* image : {grey.get(), deep.get(), single.get()}) buildAll(image);
    for (int level = 1; level <= grey->topLevel; ++level) {
        EXPECT_EQ(GetByte(grey->maxX[level], 0, grey.get(), level), 255);
        EXPECT_EQ(GetWord(0, grey->maxY[level], deep.get(), level), 32768);
        EXPECT_NEAR(GetFloat(0, 0, single.get(), level), 0.3f, 1e-6f);
    }
}

TEST(Pyramid, ASingleImpulseGivesTheFilterWeightsAndTheTiledStepMatchesThePlainFilterAcrossSeams) {
    ScopedImage grey(40, 23, kKindGrey8);
    for (int32_t y = 0; y < 23; ++y)
        for (int32_t x = 0; x < 40; ++x) SetByte(x, y, grey.get(), 0, 0);
    SetByte(10, 10, grey.get(), 0, 255);
    buildAll(grey.get());
    EXPECT_EQ(GetByte(5, 5, grey.get(), 1), 39);  // 255 * 256 / 1640
    EXPECT_EQ(GetByte(4, 5, grey.get(), 1), 9);   // offset +2 across: 255 * 64 / 1640
    EXPECT_EQ(GetByte(5, 4, grey.get(), 1), 9);
    EXPECT_EQ(GetByte(4, 4, grey.get(), 1), 2);   // 255 * 16 / 1640
    EXPECT_EQ(GetByte(6, 5, grey.get(), 1), 0);   // offset -2: 255 * 4 / 1640

    std::mt19937 random(7);
    for (PixelKind kind : {kKindRGBA8, kKindRGBA16}) {
        ScopedImage image(1030, 1027, kind);
        const int32_t top = kind == kKindRGBA8 ? 255 : 32768;
        for (int32_t y = 0; y < 1027; ++y)
            for (int32_t x = 0; x < 1030; ++x)
                setRGBA(x, y, image.get(), 0, int32_t(random() % (top + 1)), (x * 3 + y) % (top + 1),
                        int32_t(random() % (top + 1)), y % 256);
        buildAll(image.get());
        const float maximum = float(top);
        for (int level = 0; level < 2; ++level)
            for (int32_t y = 0; y < image->levelHeight[level + 1]; ++y)
                for (int32_t x = 0; x < image->levelWidth[level + 1]; ++x) {
                    // Every pixel near a seam or an edge, a sample elsewhere.
                    const bool nearSeam = (x & 255) < 3 || (x & 255) > 252 || (y & 255) < 3 || (y & 255) > 252;
                    if (!nearSeam && (x * 31 + y) % 97 != 0) continue;
                    ASSERT_EQ(PixelAt(image.get(), x, y, level + 1),
                              ReferencePixel(image.get(), level, x, y, maximum))
                        << kind << " level " << level + 1 << " " << x << "," << y;
                }
    }
}

TEST(Pyramid, SignedBoxKeepsTwiceTheMeanAndClamps) {
    ScopedImage image(4, 3, kKindSigned3);
    // Columns 0 and 1 hold (100, 100, 100); 2 and 3 (-30000, 30000, -7), 3 in the last row.
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            setRGBA(x, y, image.get(), 0, x < 2 ? 100 : -30000, x < 2 ? 100 : 30000, x < 2 ? 100 : y == 2 ? 3 : -7, 0);
    buildAllBoxed(image.get());
    EXPECT_EQ(image->pyramidState, kPyramidBuilt);
    EXPECT_EQ(PixelAt(image.get(), 0, 0, 1), (Px{200, 200, 100}));
    EXPECT_EQ(PixelAt(image.get(), 1, 0, 1), (Px{-32767, 32767, -7}));
    // The bottom row repeats the last source row: (3 + 3 + 3 + 3) / 4.
    EXPECT_EQ(PixelAt(image.get(), 1, 1, 1)[2], 3);
    // Signed division truncates towards zero: (-7 - 7 + 3 + 3) / 4 = -2.
    ScopedImage odd(2, 2, kKindSigned3);
    for (auto [x, y, red, blue] : {std::array{0, 0, -1, -7}, {1, 0, 0, -7}, {0, 1, 0, 3}, {1, 1, 0, 3}})
        setRGBA(x, y, odd.get(), 0, red, 0, blue, 0);
    buildAllBoxed(odd.get());
    EXPECT_EQ(PixelAt(odd.get(), 0, 0, 1), (Px{0, 0, -2}));
}

TEST(Pyramid, DriversAndRectangleUpdates) {
    ScopedImage tiny(1, 1, kKindRGBA8);
    buildAll(tiny.get());
    EXPECT_EQ(tiny->pyramidState, kPyramidBuilt);

    auto gradient = [](int32_t x, int32_t y, void*) { return IntRGBA{x & 255, y & 255, (x * y) & 255, 255}; };
    ScopedImage image(300, 200, kKindRGBA8), fresh(300, 200, kKindRGBA8);
    FillLevelZero(image.get(), gradient, nullptr, true);

    // Never built when pyramidTag has all bits set.
    ScopedImage tagged;
    ASSERT_TRUE(CreateImage(tagged.get(), 300, 200, kKindRGBA8, -1));
    FillLevelZero(tagged.get(), gradient, nullptr, true);
    EXPECT_EQ(tagged->pyramidState, kPyramidStale);

    // updateRect from the top level changes nothing, not even the state.
    image->pyramidState = kPyramidStale;
    updateRect(image.get(), Rect{0, 0, 1, 1}, image->topLevel, image->topLevel + 1);
    EXPECT_EQ(image->pyramidState, kPyramidStale);

    // Change a patch of level 0, update only its rectangle, and compare every level with
    // a full build of the same picture.
    auto patched = [](int32_t x, int32_t y, void* g) {
        if (x >= 101 && x < 140 && y >= 37 && y < 50) return IntRGBA{255, 0, 255 - x, 9};
        return reinterpret_cast<PixelMapping>(g)(x, y, nullptr);
    };
    FillLevelZero(image.get(), patched, reinterpret_cast<void*>(+gradient), false);
    updateRect(image.get(), Rect{37, 101, 50, 140}, 0, image->topLevel);
    EXPECT_EQ(image->pyramidState, kPyramidRectUpdated);
    FillLevelZero(fresh.get(), patched, reinterpret_cast<void*>(+gradient), true);
    for (int level = 1; level <= image->topLevel; ++level)
        for (int32_t y = 0; y < image->levelHeight[level]; ++y)
            for (int32_t x = 0; x < image->levelWidth[level]; ++x)
                ASSERT_EQ(PixelAt(image.get(), x, y, level), PixelAt(fresh.get(), x, y, level))
                    << level << " " << x << "," << y;

    // buildLevel clips the caller's rectangle to the target level.
    Rect rect{-4, -9, 5000, 5000};
    buildLevel(image.get(), 0, rect);
    EXPECT_EQ((Px{rect.top, rect.left, rect.bottom, rect.right}), (Px{0, 0, 100, 150}));
}

}  // namespace
