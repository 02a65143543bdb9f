// The compositing pass on hand-made host records: run modes, depth classes, grey
// conversion, transparency, the preview's selection weight and checkerboard.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/Globals.h"
#include "pattern/Compositing.h"
#include "pattern/RenderDriver.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"

namespace {

// A host record over in-memory buffers of `rows` rows of `width` pixels.
struct Fixture {
    FilterRecord record{};
    RunGlobals globals{};
    Settings settings;
    std::vector<uint8_t> block = std::vector<uint8_t>(kWorkBlockBytes);
    std::vector<uint16_t> in, out;  // 16-bit words; 8-bit images use their bytes
    std::vector<uint8_t> mask;

    Fixture(int32_t width, int32_t rows, int16_t planes, int32_t depth, int32_t runMode) {
        Current() = CurrentCall{};
        InitialiseSettings(settings, &globals);
        settings.runMode = runMode;
        globals.filterRecord = &record;
        globals.workBlock.data = block.data();
        for (int i = 0; i < 256; ++i) Work(globals).pingPong[i] = i < 128 ? 2 * i : 511 - 2 * i;
        const bool grey = planes < 3;
        record.imageMode = int16_t(depth == 16 ? (grey ? plugInModeGray16 : plugInModeRGB48)
                                               : (grey ? plugInModeGrayScale : plugInModeRGBColor));
        record.depth = depth;
        record.planes = planes;
        record.inLoPlane = 0;
        record.inHiPlane = int16_t(planes - 1);
        record.inLayerPlanes = record.outLayerPlanes = int16_t(grey ? 1 : 3);
        record.filterCase = filterCaseFlatImageNoSelection;
        record.outRect = record.inRect = Rect{0, 0, int16_t(rows), int16_t(width)};
        const int32_t rowBytes = width * planes * (depth / 8);
        in.assign(std::size_t(rows * rowBytes / 2 + 1), 0);
        out.assign(in.size(), 0);
        record.inData = in.data();
        record.outData = out.data();
        record.inRowBytes = record.outRowBytes = rowBytes;
        globals.loop.width = width;
        globals.loop.height = rows;
        globals.loop.lastColumn = width - 1;
        globals.loop.lastRow = rows - 1;
    }
    uint8_t* In8() { return reinterpret_cast<uint8_t*>(in.data()); }
    uint8_t* Out8() { return reinterpret_cast<uint8_t*>(out.data()); }
    void SetMask(std::vector<uint8_t> bytes, int32_t rowBytes, int32_t firstRow, int32_t lastRow) {
        mask = std::move(bytes);
        record.haveMask = true;
        record.maskData = mask.data();
        record.maskRowBytes = rowBytes;
        globals.loop.maskRows[0] = firstRow;
        globals.loop.maskRows[1] = lastRow;
    }
    void Composite(int32_t y, const std::vector<PatternColour>& colours) {
        CompositePixels(MakeCompositeRow(globals, settings, y), 0, colours.data(), int32_t(colours.size()));
    }
};

PatternColour Colour8(int32_t r, int32_t g, int32_t b) { return {r / 255.0f, g / 255.0f, b / 255.0f, 255.0f}; }

TEST(Compositing, FinalRunEightBit) {
    // Glue "normal": the output is the pattern colour whatever the source holds.
    Fixture f(3, 1, 3, 8, 0);
    const uint8_t source[9] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    std::memcpy(f.In8(), source, 9);
    f.Composite(0, {Colour8(10, 20, 30), Colour8(255, 0, 128), Colour8(0, 0, 0)});
    const uint8_t expected[9] = {10, 20, 30, 255, 0, 128, 0, 0, 0};
    EXPECT_EQ(std::memcmp(f.Out8(), expected, 9), 0);
    // Every 8-bit value survives the pattern's scaling by 1/255 and back.
    std::vector<PatternColour> all;
    for (int v = 0; v < 256; ++v) all.push_back(Colour8(v, 255 - v, v));
    Fixture wide(256, 1, 3, 8, 0);
    wide.Composite(0, all);
    for (int v = 0; v < 256; ++v) {
        ASSERT_EQ(wide.Out8()[3 * v], v);
        ASSERT_EQ(wide.Out8()[3 * v + 1], 255 - v);
    }
    // Glue "add" (7): min(255, p + d) per channel, with the source from inData.
    f.settings.glue = 7;
    f.Composite(0, {Colour8(10, 250, 0), Colour8(100, 100, 100), Colour8(0, 0, 0)});
    const uint8_t added[9] = {19, 255, 7, 106, 105, 104, 3, 2, 1};
    EXPECT_EQ(std::memcmp(f.Out8(), added, 9), 0);
}

TEST(Compositing, GreyAndTransparency) {
    // Grey images take (77 R + 150 G + 28 B) >> 8 of the pattern; white gives 254.
    Fixture grey(2, 1, 1, 8, 0);
    grey.Composite(0, {Colour8(255, 255, 255), Colour8(200, 100, 50)});
    EXPECT_EQ(grey.Out8()[0], 254);
    EXPECT_EQ(grey.Out8()[1], (200 * 77 + 100 * 150 + 50 * 28) >> 8);
    // An editable-transparency layer gets a fully opaque result in the final run.
    Fixture layer(2, 1, 4, 8, 0);
    layer.record.filterCase = filterCaseEditableTransparencyWithSelection;
    layer.Composite(0, {Colour8(1, 2, 3), Colour8(4, 5, 6)});
    const uint8_t expected[8] = {1, 2, 3, 255, 4, 5, 6, 255};
    EXPECT_EQ(std::memcmp(layer.Out8(), expected, 8), 0);
    // 16-bit: values arrive times 128, the alpha is 32768, grey RGB keeps only sample 0.
    Fixture deep(1, 1, 2, 16, 0);
    deep.record.filterCase = filterCaseEditableTransparencyNoSelection;
    deep.Composite(0, {PatternColour{255 * 128 / 32768.0f, 255 * 128 / 32768.0f, 255 * 128 / 32768.0f, 32768.0f}});
    EXPECT_EQ(deep.out[0], (32640 * 255) >> 8);
    EXPECT_EQ(deep.out[1], 32768);
}

TEST(Compositing, PreviewWeightsAndCheckerboard) {
    // 8-bit preview over 20 x 2 pixels: row 0 masked out (0), row 1 fully selected (255).
    Fixture f(20, 2, 3, 8, 1);
    std::vector<uint8_t> mask(40, 0);
    std::fill(mask.begin() + 20, mask.end(), 255);
    f.SetMask(mask, 20, 0, 1);
    std::vector<PatternColour> colours(20, Colour8(10, 20, 30));
    f.Composite(0, colours);
    f.Composite(1, colours);
    for (int32_t x = 0; x < 20; ++x) {
        const int32_t shade = ((x ^ 0) & 8) == 0 ? 255 : 204;  // 8 x 8 squares, light where (x ^ y) & 8 is 0
        EXPECT_EQ(f.Out8()[3 * x], shade) << x;
        EXPECT_EQ(f.Out8()[3 * x + 2], shade) << x;
        EXPECT_EQ(f.Out8()[60 + 3 * x], 10) << x;  // weight 256 shows the result unchanged
        EXPECT_EQ(f.Out8()[60 + 3 * x + 2], 30) << x;
    }
    EXPECT_EQ(f.Out8()[3 * 8], 204);
    EXPECT_EQ(f.Out8()[3 * 16], 255);
    // A half weight (128 -> 129) mixes (129 * c + shade * 127) >> 8; rows the mask
    // buffer does not hold weigh 0; no mask at all weighs 255.
    f.SetMask(std::vector<uint8_t>(20, 128), 20, 1, 1);
    f.Composite(1, colours);
    EXPECT_EQ(f.Out8()[60], (129 * 10 + 255 * 127) >> 8);
    EXPECT_EQ(maskWeight(3, 0, f.globals), 0);
    EXPECT_EQ(maskWeight(3, 1, f.globals), 128);
    EXPECT_EQ(maskWeight(20, 1, f.globals), 0);  // beyond the last column
    f.record.haveMask = false;
    EXPECT_EQ(maskWeight(3, 0, f.globals), 255);
    // Layer transparency scales the weight by the source alpha and shows opaque.
    Fixture layer(1, 1, 4, 8, 1);
    layer.record.filterCase = filterCaseEditableTransparencyNoSelection;
    layer.In8()[3] = 128;  // half transparent source
    layer.Composite(0, {Colour8(0, 0, 0)});
    EXPECT_EQ(layer.Out8()[0], (255 * (256 - ((256 * 128) >> 8))) >> 8);
    EXPECT_EQ(layer.Out8()[3], 255);
    // 16-bit preview with mask 255: (255 * channel) >> 8, and no +1 on the weight.
    Fixture deep(9, 1, 3, 16, 1);
    deep.SetMask(std::vector<uint8_t>(9, 255), 9, 0, 0);
    deep.Composite(0, std::vector<PatternColour>(9, PatternColour{0.5f, 0.25f, 0.0f, 32768.0f}));
    EXPECT_EQ(deep.out[0], (255 * 16384) >> 8);
    EXPECT_EQ(deep.out[1], (255 * 8192) >> 8);
    // Mask 0 shows the 16-bit shades 32640 and, from column 8 on, 26112.
    deep.SetMask(std::vector<uint8_t>(9, 0), 9, 0, 0);
    deep.Composite(0, std::vector<PatternColour>(9, PatternColour{0.5f, 0.25f, 0.0f, 32768.0f}));
    EXPECT_EQ(deep.out[0], (32640 * 255) >> 8);
    EXPECT_EQ(deep.out[3 * 8], (26112 * 255) >> 8);
}

TEST(Compositing, SourceOnlyPreviewRow) {
    Fixture f(10, 2, 3, 8, 1);
    for (int i = 0; i < 60; ++i) f.In8()[i] = uint8_t(i * 3);
    std::vector<uint8_t> mask(20, 255);
    mask[10 + 9] = 0;
    f.SetMask(mask, 10, 0, 1);
    RenderSourceRow(f.globals, f.settings, 1);
    for (int i = 0; i < 27; ++i) EXPECT_EQ(f.Out8()[30 + i], uint8_t((30 + i) * 3)) << i;
    EXPECT_EQ(f.Out8()[30 + 27], 204);  // column 9, row 1: unselected, dark square
    EXPECT_EQ(f.Out8()[0], 0);          // other rows untouched
    // Only the preview runs it.
    f.settings.runMode = 0;
    RenderSourceRow(f.globals, f.settings, 0);
    EXPECT_EQ(f.Out8()[3], 0);
}

TEST(Compositing, StoreDestination) {
    // Run mode 2 on a 16-bit image into a packed 8-bit store image: ((v + 1) >> 7) per
    // channel; the source comes from the store itself.
    Fixture f(4, 1, 3, 16, 2);
    ImageStore image;
    InitialiseImage(&image, &f.globals, nullptr);
    ASSERT_TRUE(CreateImage(&image, 4, 3, kKindRGBA8, 0));
    Work(f.globals).render.destination = &image;
    const float top = 32640 / 32768.0f, mid = 12800 / 32768.0f;
    f.Composite(2, {PatternColour{top, mid, 0.0f, 32768.0f}, PatternColour{0.0f, 0.0f, 0.0f, 32768.0f}});
    IntRGBA pixel;
    getRGBA(0, 2, &image, 0, pixel);
    EXPECT_EQ(pixel.red, 255);
    EXPECT_EQ(pixel.green, 100);
    EXPECT_EQ(pixel.blue, 0);
    EXPECT_EQ(pixel.alpha, 255);
    // 8-bit "subtract" (8) reads the stored pixel as the source.
    Fixture g(4, 1, 3, 8, 2);
    Work(g.globals).render.destination = &image;
    g.settings.glue = 8;
    g.Composite(2, {Colour8(255, 255, 255)});
    getRGBA(0, 2, &image, 0, pixel);
    EXPECT_EQ(pixel.red, 0);
    EXPECT_EQ(pixel.green, 155);
    EXPECT_EQ(pixel.blue, 255);
    ReleaseImage(&image);
}

}  // namespace

namespace {

TEST(RenderDriver, MissingHostBuffersFailTheRowBeforeAnything) {
    Fixture f(4, 1, 3, 8, 0);
    int16_t result = 0;
    Current().result = &result;
    f.record.inData = nullptr;
    RenderStart(f.globals);
    RenderRow(f.globals);
    EXPECT_EQ(result, memFullErr);
    EXPECT_EQ(Work(f.globals).render.tablesBuilt, 0);  // the tables wait for a row that renders
    EXPECT_EQ(f.out[0], 0);
    RenderFinish(f.globals);
    EXPECT_EQ(Work(f.globals).render.ramp.tileCount, 0);
    Current() = CurrentCall{};
}

}  // namespace
