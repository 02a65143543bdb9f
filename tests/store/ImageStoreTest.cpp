// The tiled image store: geometry, tile layout, accessors, allocation failure, imports.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Suites.h"
#include "store/HostUtil.h"
#include "store/ImageStore.h"
#include "store/StoreTestSupport.h"
#include "support/Environment.h"

namespace {

using Sizes = std::vector<std::pair<int32_t, int32_t>>;

Sizes Levels(const ImageStore& image) {
    Sizes sizes;
    for (int level = 0; level <= image.topLevel; ++level)
        sizes.emplace_back(image.levelWidth[level], image.levelHeight[level]);
    return sizes;
}

TEST(ImageStore, CreationGivesTheLevelGeometryOfOddSizesAndRefusesBadArguments) {
    ScopedImage wide(600, 5, kKindRGBA8), line(1025, 1, kKindGrey8), one(1, 1, kKindRGBA16),
        two(2, 1, kKindRGBAFloat), tall(3, 1100, kKindSigned3);
    EXPECT_EQ(Levels(wide.image), (Sizes{{600, 5}, {300, 4}, {150, 2}, {76, 1}, {38, 1}, {20, 1}, {10, 1}, {6, 1},
                                         {4, 1}, {2, 1}, {1, 1}}));
    EXPECT_EQ(wide->tileCount, 12);  // two tiles at level 0, one for each level after it
    EXPECT_EQ(Levels(line.image)[1], (std::pair{514, 1}));
    EXPECT_EQ(line->tilesPerRow[0], 3);
    EXPECT_EQ(Levels(one.image), (Sizes{{1, 1}}));
    EXPECT_EQ(one->tileCount, 1);
    EXPECT_EQ(Levels(two.image), (Sizes{{2, 1}, {1, 1}}));
    EXPECT_EQ(Levels(tall.image)[1], (std::pair{2, 550}));

    EXPECT_FALSE(CreateImage(nullptr, 4, 4, kKindRGBA8, 0));
    ScopedImage image(7, 3, kKindRGBA8);
    setRGBA(2, 1, image.get(), 0, 9, 8, 7, 6);
    EXPECT_FALSE(CreateImage(image.get(), 0, 4, kKindRGBA8, 0));
    for (int32_t kind : {6, 8, 10}) EXPECT_FALSE(CreateImage(image.get(), 4, 4, PixelKind(kind), 0)) << kind;
    // The refused calls left the image as it was.
    EXPECT_EQ(image->fullWidth, 7);
    EXPECT_EQ(PixelAt(image.get(), 2, 1), (Px{9, 8, 7, 6}));

    for (auto [channels, kind] : {std::pair{1, kKindGrey8}, {2, kKindRaw16}, {3, kKindRGBA8}}) {
        EXPECT_TRUE(CreateImageChannels(image.get(), 5, 5, channels, 0));
        EXPECT_EQ(image->pixelKind, kind);
    }
    EXPECT_EQ(image->pyramidState, kPyramidCreated);
}

TEST(ImageStore, AccessorsClampReadsIgnoreOutsideWritesAndStayInsideThePixel) {
    ScopedImage image(530, 6, kKindRGBA8);
    // Distinct values per pixel, across the seam between the two tiles.
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 530; ++x) setRGBA(x, y, image.get(), 0, x & 255, y, (x >> 8), 200);
    EXPECT_EQ(PixelAt(image.get(), -5, 3), (Px{0, 3, 0, 200}));
    EXPECT_EQ(PixelAt(image.get(), 9999, -2), (Px{529 & 255, 0, 2, 200}));
    EXPECT_EQ(PixelAt(image.get(), 513, 5), (Px{1, 5, 2, 200}));
    EXPECT_EQ(TileWidth(513, 5, image.get(), 0), 18);

    for (int32_t x : {-5, 530}) setRGBA(x, 3, image.get(), 0, 1, 1, 1, 1);
    EXPECT_EQ((std::pair{PixelAt(image.get(), 0, 3)[0], PixelAt(image.get(), 529, 3)[0]}), (std::pair{0, 529 & 255}));

    // The packed word holds red in its top byte; setRGBA keeps the low 8 bits of each value.
    SetLong(4, 4, image.get(), 0, 0x11223344u);
    EXPECT_EQ(PixelAt(image.get(), 4, 4), (Px{17, 34, 51, 68}));
    setRGBA(4, 4, image.get(), 0, 0x1ff, 0x100, 2, 3);
    EXPECT_EQ(GetLong(4, 4, image.get(), 0), 0xff000203u);

    // Levels beyond the top and images without tiles read zeros and take no writes.
    setRGBA(0, 0, image.get(), image->topLevel + 1, 5, 5, 5, 5);
    EXPECT_EQ(PixelAt(image.get(), 0, 0, image->topLevel + 1), (Px{}));
    ReleaseImage(image.get());
    setRGBA(0, 0, image.get(), 0, 5, 5, 5, 5);
    EXPECT_EQ(PixelAt(image.get(), 0, 0), (Px{}));
    ReleaseImage(image.get());  // a second release does nothing

    ScopedImage grey(3, 2, kKindGrey8);
    SetByte(1, 0, grey.get(), 0, 77);
    SetByte(2, 0, grey.get(), 0, 99);
    // Wider accessors on a one-byte kind neither read nor write.
    SetRGBA16(1, 0, grey.get(), 0, {1, 2, 3, 4});
    SetLong(1, 0, grey.get(), 0, 0xffffffffu);
    setRGBA(1, 0, grey.get(), 0, 1, 2, 3, 4);
    EXPECT_EQ((std::array<int64_t, 4>{GetByte(1, 0, grey.get(), 0), GetByte(2, 0, grey.get(), 0),
                                      GetLong(1, 0, grey.get(), 0), GetValue(1, 0, grey.get(), 0)}),
              (std::array<int64_t, 4>{77, 99, 0, 77}));
    EXPECT_EQ(AsFloats(getRGBAFloat(1, 0, grey.get(), 0)), (std::array{77 / 255.0f, 77 / 255.0f, 77 / 255.0f, 1.0f}));

    ScopedImage deep(4, 4, kKindRGBA16);
    setRGBAFloat(3, 2, deep.get(), 0, {1.0f, 0.5f, 0.25f, 0.0f});
    EXPECT_EQ(PixelAt(deep.get(), 3, 2), (Px{32768, 16384, 8192, 0}));

    ScopedImage floats(4, 4, kKindRGBAFloat);
    setRGBAFloat(1, 1, floats.get(), 0, {2.5f, -1.0f, 0.125f, 1.0f});
    EXPECT_EQ(getRGBAFloat(1, 1, floats.get(), 0).green, -1.0f);
    EXPECT_EQ(PixelAt(floats.get(), 1, 1)[2], std::bit_cast<int32_t>(0.125f));  // getRGBA gives the bit pattern

    ScopedImage signed3(2, 2, kKindSigned3);
    setRGBA(1, 1, signed3.get(), 0, -300, 40000 - 65536, 7, 99);
    IntRGBA p{0, 0, 0, 1234};
    getRGBA(1, 1, signed3.get(), 0, p);
    EXPECT_EQ(AsPx(p), (Px{-300, 40000 - 65536, 7, 1234}));  // kind 7 leaves alpha alone

    ScopedImage single(2, 2, kKindFloat);
    SetFloat(0, 1, single.get(), 0, 0.75f);
    EXPECT_EQ(AsFloats(getRGBAFloat(0, 1, single.get(), 0)), (std::array{0.75f, 0.75f, 0.75f, 1.0f}));
}

TEST(ImageStore, ConversionsFootprintLevelAndBilinearAndTrilinearReads) {
    for (auto [f, linear, root] : {std::tuple{0.5f, 127, 180}, {0.25f, 63, 127}, {-0.2f, 0, 0}, {1e9f, 255, 255}}) {
        EXPECT_EQ(ToByteLinear(f), linear) << f;
        EXPECT_EQ(ToByteSqrt(f), root) << f;
    }

    ScopedImage wide(600, 5, kKindRGBA8);
    EXPECT_EQ(levelForFootprint(1.0f, 0.5f, 0.2f, 1.0f, wide.get()), 0.0f);
    EXPECT_NEAR(levelForFootprint(8.0f, 2.0f, 8.0f, 1.0f, wide.get()), 3.0f, 0.01f);
    EXPECT_EQ(levelForFootprint(1e6f, 0.0f, 1e6f, 0.0f, wide.get()), 10.0f);

    ScopedImage image(4, 2, kKindRGBA8);
    // Red rises by 40 per column, green by 100 per row; level 1 is a different constant.
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x) setRGBA(x, y, image.get(), 0, 40 * x, 100 * y, 7, 255);
    setRGBA(0, 0, image.get(), 1, 10, 20, 30, 40);
    setRGBA(1, 0, image.get(), 1, 10, 20, 30, 40);
    auto bi = [&](float x, float y) {
        IntRGBA p;
        bilinear(x, y, image.get(), 0, p);
        return AsPx(p);
    };
    auto tri = [&](int level, float t, float u, float v) {
        IntRGBA p;
        trilinear(image.get(), level, t, u, v, p);
        return AsPx(p);
    };
    EXPECT_EQ(bi(1.25f, 0.5f), (Px{50, 50, 7, 255}));
    EXPECT_EQ(bi(-3.0f, 7.0f), (Px{0, 100, 7, 255}));  // clamps to the bottom-left pixel
    EXPECT_EQ(bi(3.5f, 0.0f)[0], 120);
    // u = 3/8 is the centre of column 1 of level 0; t = 0 never reads level 1.
    EXPECT_EQ(tri(0, 0.0f, 0.375f, 0.25f), (Px{40, 0, 7, 255}));
    EXPECT_EQ(tri(0, 0.5f, 0.375f, 0.25f), (Px{25, 10, 18, 147}));  // half way to level 1's (10, 20, 30, 40)
    // A level beyond topLevel - 1 samples topLevel - 1 and topLevel.
    EXPECT_EQ(tri(9, 0.0f, 0.5f, 0.5f)[0], 10);
}

// filterhost's buffer suite, serving `allowed` allocations and then refusing, as the
// current call's suite for the scope's lifetime.
struct HostBuffers {
    BufferProcs procs{};
    FilterRecord record{};
    FilterRecord* const previous = std::exchange(Current().filterRecord, &record);
    explicit HostBuffers(int32_t allowed) {
        filterhost::suites::FillBufferProcs(procs, kCurrentBufferProcsVersion, true);
        filterhost::suites::Buffers() = {0, allowed, 0};
        record.bufferProcs = &procs;
    }
    ~HostBuffers() { Current().filterRecord = previous; filterhost::suites::Buffers() = {}; }
    int32_t Outstanding() const { return filterhost::suites::Buffers().outstanding; }
};

TEST(ImageStore, AllocationFailurePartWayLeavesNothing) {
    // 1100 x 600 takes 19 blocks: the tile array, 3 x 2 tiles at level 0, 2 x 1 at
    // level 1 and one for each of the ten levels above.
    for (int allowed : {0, 1, 4, 8, 18}) {
        const testsupport::ScopedEnv noHeap("TESSELUME_HEAP_FAIL_AFTER", "0");
        HostBuffers host(allowed);
        ScopedImage image;
        EXPECT_FALSE(CreateImage(image.get(), 1100, 600, kKindRGBA16, 0)) << allowed;
        EXPECT_EQ(image->tiles, nullptr);
        EXPECT_EQ(host.Outstanding(), 0) << allowed;
    }
    // With enough host buffers every block comes from the host; with 3 the heap serves
    // the rest. Release returns each block to where it came from (a heap block freed
    // through the host's suite would fail, the sanitizer build checks the heap side).
    for (auto [allowed, kind] : {std::pair{100, kKindRGBA16}, {3, kKindRGBA8}}) {
        HostBuffers host(allowed);
        ScopedImage image(1100, 600, kind);
        EXPECT_EQ(host.Outstanding(), std::min(allowed, 19));
        EXPECT_EQ(image->tiles[3].handle != nullptr, allowed == 100);
        ReleaseImage(image.get());
        EXPECT_EQ(host.Outstanding(), 0);
    }
}

// A host serving rows of a 9 x 6 RGBA image and its mask through advanceState.
struct FakeRowHost {
    static inline FakeRowHost* instance = nullptr;
    static constexpr int32_t imageWidth = 9;
    FilterRecord record{};
    std::vector<uint8_t> image = std::vector<uint8_t>(9 * 6 * 4), mask = std::vector<uint8_t>(9 * 6);
    int calls = 0;

    FakeRowHost() {
        instance = this;
        record.planes = 4;
        record.depth = 8;
        record.imageSize = {6, 9};
        record.advanceState = [] { return instance->Advance(); };
        record.inRect = {1, 2, 3, 4};
        record.inputRate = 0x20000;
    }

    OSErr Advance() {
        ++calls;
        record.inData = nullptr;
        record.maskData = nullptr;
        if (record.inRect.bottom > record.inRect.top) {
            EXPECT_EQ(record.inRect.bottom - record.inRect.top, 1);
            EXPECT_EQ(record.inHiPlane - record.inLoPlane + 1, record.planes);
            EXPECT_EQ(record.inputRate, 0x10000);
            EXPECT_EQ(record.inputPadding, plugInWantsEdgeReplication);
            record.inData = image.data() + (record.inRect.top * imageWidth + record.inRect.left) * record.planes;
            record.inRowBytes = imageWidth * record.planes;
        }
        if (record.maskRect.bottom > record.maskRect.top) {
            EXPECT_EQ(record.maskRate, 0x10000);
            record.maskData = mask.data() + std::size_t(record.maskRect.top) * imageWidth + record.maskRect.left;
            record.maskRowBytes = imageWidth;
        }
        return noErr;
    }
};

TEST(ImageStore, ImportsReadTheFilterRectangleRowByRow) {
    FakeRowHost host;
    for (std::size_t i = 0; i < host.image.size(); ++i) host.image[i] = uint8_t(i * 7 + 3);
    for (std::size_t i = 0; i < host.mask.size(); ++i) host.mask[i] = uint8_t(10 + i);
    host.record.filterRect = {1, 2, 5, 9};  // 7 x 4 from (2, 1)
    ScopedImage image(7, 4, kKindRGBA8);
    ASSERT_EQ(ImportImage(image.get(), &host.record), noErr);
    EXPECT_EQ(host.calls, 4);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 7; ++x) {
            const uint8_t* s = host.image.data() + ((y + 1) * 9 + x + 2) * 4;
            ASSERT_EQ(PixelAt(image.get(), x, y), (Px{s[0], s[1], s[2], s[3]})) << x << "," << y;
        }
    EXPECT_EQ(image->pyramidState, kPyramidStale);
    // The request fields are given back.
    EXPECT_EQ(host.record.inRect.right, 4);
    EXPECT_EQ(host.record.inputRate, 0x20000);
    // The mask, framed: one pixel right and down, inside a frame of 0.
    host.record.haveMask = true;
    ScopedImage framed(9, 6, kKindGrey8);
    ASSERT_EQ(ImportMask(framed.get(), &host.record, true), noErr);
    EXPECT_EQ(GetByte(1, 1, framed.get(), 0), 10 + 1 * 9 + 2);
    EXPECT_EQ(GetByte(7, 4, framed.get(), 0), 10 + 4 * 9 + 8);
    for (auto [x, y] : {std::pair{3, 0}, {2, 5}, {0, 2}, {8, 2}}) EXPECT_EQ(GetByte(x, y, framed.get(), 0), 0);
}

TEST(ImageStore, EdgeAlpha) {
    ScopedImage image(5, 4, kKindRGBA8);
    // A single bright pixel: alpha is the luma Laplacian.
    auto bright = [](int32_t x, int32_t y, void*) {
        return x == 2 && y == 1 ? IntRGBA{40, 40, 40, 9} : IntRGBA{0, 0, 0, 9};
    };
    FillLevelZero(image.get(), bright, nullptr, false);
    EXPECT_EQ(image->pyramidState, kPyramidStale);
    EdgeAlpha(image.get(), 0, Rect{0, 0, 4, 5}, false);
    EXPECT_EQ(PixelAt(image.get(), 2, 1), (Px{40, 40, 40, 156}));  // |0 - 4 * 39|
    EXPECT_EQ(PixelAt(image.get(), 3, 1)[3], 39);
    EXPECT_EQ(PixelAt(image.get(), 4, 3)[3], 0);
}

}  // namespace
