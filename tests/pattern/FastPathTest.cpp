// The fast path against the scalar reference: every SIMD level the machine has must
// give the reference's bits, kernel by kernel and through whole renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "PatternTestSupport.h"
#include "export/StoreRender.h"
#include "pattern/RowKernels.h"
#include "pattern/RowsAhead.h"
#include "store/Glue.h"
#include "store/StoreTestSupport.h"
#include "support/Environment.h"

namespace {

// A colour as an array, so one assertion compares and prints all three channels.
std::array<int32_t, 3> Colour(const PatternColour& c) { return {c.red, c.green, c.blue}; }
std::array<int32_t, 3> Colour(const GlueColour& c) { return {c.r, c.g, c.b}; }

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

TEST(FastPath, KernelsGiveTheReferenceBitsOnEveryLevel) {
    const std::vector<SimdLevel> levels = AvailableSimdLevels();
    ASSERT_EQ(levels.front(), SimdLevel::scalar);
    const RowKernels reference = KernelsFor(SimdLevel::scalar);
    std::mt19937 random(17);
    for (int trial = 0; trial < 400; ++trial) {
        Settings s = Drawn(uint32_t(random()));
        s.previewScale = 1 + int32_t(random() % 3);
        s.previewPanX = int32_t(random() % 50);
        s.previewPanY = int32_t(random() % 50);
        const int16_t width = int16_t(1 + random() % 300), height = int16_t(1 + random() % 300);
        const GeometryConstants geometry = MakeGeometryConstants(s, Rect{0, 0, height, width});
        const FieldConstants field = MakeFieldConstants(s);
        const int32_t row = int32_t(random() % uint32_t(height)), first = int32_t(random() % 7);
        // Now and then a row longer than the kernels' chunks of 512 pixels.
        const int32_t count = int32_t(trial % 40 == 0 ? 513 + random() % 700 : random() % 70);
        // Points the geometry gives, then points anywhere, with zeros, huge values and NaN.
        const std::size_t n = std::size_t(count);
        std::vector<float> x(n), y(n), t(n);
        reference.mapRow(geometry, row, first, count, x.data(), y.data());
        const float specials[] = {0.0f, -0.0f, 1e-40f, 3e7f, -2e9f, 1e15f, std::bit_cast<float>(0x7fc00000u)};
        auto wild = [&] {
            return random() % 8 == 0 ? specials[random() % 7] : std::uniform_real_distribution<float>(-300, 300)(random);
        };
        std::vector<float> wildX(n), wildY(n), wildT(n);
        for (std::size_t i = 0; i < n; ++i) wildX[i] = wild(), wildY[i] = wild();
        reference.patternRow(field, x.data(), y.data(), count, t.data(), nullptr);
        reference.patternRow(field, wildX.data(), wildY.data(), count, wildT.data(), nullptr);
        // The sines of x as a render takes them once for its columns.
        std::vector<float> table(kXSineRows * n);
        TakeXSines(field, wildX.data(), count, table.data(), count);
        const XSines wildSines{table.data(), count};
        for (SimdLevel level : levels) {
            const RowKernels kernels = KernelsFor(level);
            ASSERT_EQ(kernels.level, level);
            std::vector<float> fx(n), fy(n), ft(n), fw(n), fs(n);
            kernels.mapRow(geometry, row, first, count, fx.data(), fy.data());
            kernels.patternRow(field, x.data(), y.data(), count, ft.data(), nullptr);
            kernels.patternRow(field, wildX.data(), wildY.data(), count, fw.data(), nullptr);
            kernels.patternRow(field, wildX.data(), wildY.data(), count, fs.data(), &wildSines);
            ASSERT_TRUE(SameBits(fx, x) && SameBits(fy, y) && SameBits(ft, t) && SameBits(fw, wildT) &&
                        SameBits(fs, wildT))
                << SimdLevelName(level) << " trial " << trial;
        }
    }
}

TEST(FastPath, SmoothColoursGiveTheStoreSamplersColoursOnEveryLevel) {
    // Values with no neighbour, close neighbours (level 0), far ones (blurred levels),
    // values outside 0..1, NaN and infinities, against SmoothColour through the store.
    std::mt19937 random(36);
    Settings s = Drawn(uint32_t(random()));
    ScopedImage ramp(256, 1, kKindRGBA8);
    RenderPlan plan;
    BuildRenderPlan(s, Rect{0, 0, 8, 8}, ImageFormat{}, SimdLevel::scalar, ramp.image, plan);
    const int32_t count = 1000;
    std::vector<float> t(count), prev(count), above(count);
    std::vector<PatternColour> expected(count);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t kind = i / 50 % 4;
        auto value = [&] { return std::uniform_real_distribution<float>(kind == 3 ? -3.0f : 0.0f, kind == 3 ? 4.0f : 1.0f)(random); };
        const float extremes[] = {std::bit_cast<float>(0x7fc00000u), INFINITY, -INFINITY, 1e30f};
        t[i] = i % 97 == 0 ? extremes[i / 97 % 4] : value();
        const float step = kind == 1 ? 0.003f : 1.0f;
        prev[i] = random() % 5 == 0 ? -1.0f : (kind == 0 ? value() : t[i] + step * (value() - 0.5f));
        above[i] = random() % 5 == 0 ? -1.0f : (kind == 0 ? value() : t[i] + step * (value() - 0.5f));
        float p = prev[i], a = above[i];
        const IntRGBA colour = SmoothColour(ramp.image, t[i], p, a);
        expected[i] = {colour.red, colour.green, colour.blue};
    }
    for (SimdLevel level : AvailableSimdLevels()) {
        if (level == SimdLevel::scalar) continue;
        std::vector<PatternColour> got(count);
        for (int32_t first = 0; first < count; first += 37)
            KernelsFor(level).smoothRow(plan.rampLevels, &t[first], &prev[first], &above[first],
                                        std::min(37, count - first), &got[first]);
        for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(Colour(got[i]), Colour(expected[i])) << SimdLevelName(level) << " pixel " << i << " t " << t[i];
    }
}

TEST(FastPath, GlueSamplesGiveGlueRowsColoursOnEveryLevel) {
    // Every mode the lanes hold, on both paths, over random colours with the extremes
    // 0, the middle and full scale, against the scalar GlueRow.
    std::mt19937 random(52);
    int32_t pingPong[256];
    BuildPingPongTable(pingPong);
    for (GluePath path : {GluePath::bits8, GluePath::bits16}) {
        const int32_t full = path == GluePath::bits8 ? 255 : 32768;
        const int32_t count = 101;
        std::vector<GlueColour> p(count), d(count), expected(count);
        auto sample = [&] {
            const int32_t pick = int32_t(random() % 8);
            return pick == 0 ? 0 : pick == 1 ? full : pick == 2 ? full / 2 : int32_t(random() % uint32_t(full + 1));
        };
        for (int32_t i = 0; i < count; ++i) p[i] = {sample(), sample(), sample()}, d[i] = {sample(), sample(), sample()};
        int32_t held = 0;
        for (int32_t mode = 1; mode <= kGlueModeCount; ++mode) {
            GlueRow(mode, path, p.data(), d.data(), expected.data(), count, pingPong);
            for (SimdLevel level : AvailableSimdLevels()) {
                if (level == SimdLevel::scalar) continue;
                std::vector<GlueColour> got(count, GlueColour{-1, -1, -1});
                if (!KernelsFor(level).glueSamples(mode, path, &p[0].r, &d[0].r, &got[0].r, 3 * count)) continue;
                held += level == AvailableSimdLevels().back();
                for (int32_t i = 0; i < count; ++i)
                    ASSERT_EQ(Colour(got[i]), Colour(expected[i]))
                        << "mode " << mode << " " << SimdLevelName(level) << " pixel " << i;
            }
        }
        EXPECT_GE(held, 20);  // the common integer modes run on lanes
    }
}

// Selects the kernels' level and the thread count for the module's renders while it lives.
struct UseFastPath {
    testsupport::ScopedEnv level, threads;
    UseFastPath(const char* simd, int32_t count)
        : level("TESSELUME_SIMD", simd), threads("TESSELUME_THREADS", std::to_string(count)) {}
};

TEST(FastPath, RendersGiveTheReferenceBytesOnEveryLevelAndThreadCount) {
    // Random settings with every glue mode, on odd and even sizes, 8 and 16 bits, grey
    // and RGB, with and without transparency, masks and selected rectangles: the
    // reference (scalar, one thread) against every level with 1, 2 and 3 threads.
    Renderer renderer;
    std::mt19937 random(1717);
    for (int32_t trial = 0; trial < 62; ++trial) {
        Settings s = Drawn(uint32_t(random()));
        s.glue = 1 + trial;
        // Some rows longer than a kernel call's chunk, so smooth carries across chunks.
        const bool wide = trial % 8 == 3;
        const int32_t width = wide ? 257 + int32_t(random() % 60) : 1 + int32_t(random() % 70);
        const int32_t height = wide ? 1 + int32_t(random() % 6) : 1 + int32_t(random() % 50);
        if (wide) s.smooth = 1;
        const int32_t planes = trial % 3 == 0 ? 1 : 3, depth = trial % 2 == 0 ? 8 : 16;
        const filterhost::Image source = Source(width, height, planes, depth, trial % 5 == 0);
        std::vector<uint8_t> mask;
        std::optional<Rect> area;
        if (trial % 4 == 1) {
            for (int32_t i = 0; i < width * height; ++i) mask.push_back(uint8_t(random() % 3 == 0 ? 0 : random()));
        } else if (trial % 4 == 2) {
            const int32_t top = int32_t(random() % uint32_t(height)), left = int32_t(random() % uint32_t(width));
            area = Rect{int16_t(top), int16_t(left), int16_t(top + 1 + random() % uint32_t(height - top)),
                        int16_t(left + 1 + random() % uint32_t(width - left))};
        }
        filterhost::Image reference = source;
        {
            const UseFastPath scalar("scalar", 1);
            renderer.Render(reference, s, mask, area);
        }
        for (SimdLevel level : AvailableSimdLevels())
            for (int32_t threads = 1; threads <= 3; ++threads) {
                filterhost::Image image = source;
                const UseFastPath fast(SimdLevelName(level), threads);
                renderer.Render(image, s, mask, area);
                ASSERT_EQ(image.samples, reference.samples)
                    << "trial " << trial << " " << SimdLevelName(level) << " threads " << threads;
            }
    }
}

TEST(FastPath, ExportRendersGiveTheReferenceBytesOnEveryLevelAndThreadCount) {
    // The exports' renders into store images, 8 and 16 bits, with smooth on some rows
    // wider than a kernel call: every level and thread count against the reference.
    std::mt19937 random(2024);
    for (int32_t trial = 0; trial < 12; ++trial) {
        Settings s = Drawn(uint32_t(random()));
        s.smooth = trial % 2;
        const bool wide = trial % 3 == 0;
        const int16_t width = int16_t(wide ? 257 + random() % 300 : 1 + random() % 60);
        const int16_t height = int16_t(1 + random() % 40);
        const bool deep = trial % 4 >= 2;
        const ImageFormat format{deep ? DepthClass::bits16 : DepthClass::bits8, false, false};
        const PixelKind kind = deep ? kKindRGBA16 : kKindRGBA8;
        const auto render = [&](const char* simd, int32_t threads) {
            const UseFastPath path(simd, threads);
            auto image = std::make_unique<ScopedImage>();
            EXPECT_TRUE(CreateImage(&image->image, width, height, kind, kNoPyramid));
            EXPECT_TRUE(RenderIntoStore(s, Rect{0, 0, height, width}, format, nullptr, image->image));
            return image;
        };
        const auto reference = render("scalar", 1);
        for (SimdLevel level : AvailableSimdLevels())
            for (int32_t threads : {1, 3}) {
                const auto image = render(SimdLevelName(level), threads);
                for (int32_t y = 0; y < height; ++y)
                    for (int32_t x = 0; x < width; ++x)
                        ASSERT_EQ(PixelAt(image->get(), x, y), PixelAt(reference->get(), x, y))
                            << "trial " << trial << " " << SimdLevelName(level) << " threads " << threads << " at " << x
                            << ", " << y;
            }
    }
}

TEST(FastPath, RowsAheadFollowTheRowBufferWhenRowsComeOutOfOrder) {
    // Rows asked for out of order restart the ring from the row buffer as the rows
    // before left it; every row's values and colours must still be the reference's.
    Settings s = FactorySettings();
    s.smooth = 1;
    const int32_t width = 300, height = 40;
    ScopedImage ramp(256, 1, kKindRGBA8);
    RenderPlan plan;
    BuildRenderPlan(s, Rect{0, 0, int16_t(height), int16_t(width)}, ImageFormat{}, AvailableSimdLevels().back(),
                    ramp.image, plan);
    std::vector<float> expectedBuffer(width + 4, -1.0f), buffer(width + 4, -1.0f);
    SmoothState expectedState{expectedBuffer.data(), int32_t(expectedBuffer.size()), -1.0f};
    SmoothState state{buffer.data(), int32_t(buffer.size()), -1.0f};
    std::unique_ptr<PatternRowsAhead> ahead = PatternRowsAhead::Start(3, plan);
    ASSERT_TRUE(ahead);
    for (int32_t row : {0, 1, 2, 3, 9, 10, 11, 5, 6, 30, 31, 32, 33}) {
        std::vector<float> values(width);
        std::vector<PatternColour> colours(width);
        expectedState.prev = -1.0f;
        for (int32_t first = 0; first < width; first += kRowChunk) {
            const int32_t count = std::min(kRowChunk, width - first);
            PatternValues(plan, row, first, count, values.data() + first);
            PatternColours(plan, values.data() + first, first, count, expectedState, colours.data() + first);
        }
        const PatternOfRow got = ahead->Row(row, width, height, state);
        ASSERT_EQ(std::memcmp(got.values, values.data(), values.size() * sizeof(float)), 0) << "row " << row;
        for (std::size_t x = 0; x < std::size_t(width); ++x)
            ASSERT_EQ(Colour(got.colours[x]), Colour(colours[x])) << "row " << row << " column " << x;
        FollowRowBuffer(plan, got.values, width, state);
        ASSERT_EQ(std::memcmp(buffer.data(), expectedBuffer.data(), buffer.size() * sizeof(float)), 0) << "row " << row;
    }
}

}  // namespace
