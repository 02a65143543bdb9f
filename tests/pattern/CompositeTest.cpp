// The compositing pass and the row renderer on hand-made host records.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "host/Dispatcher.h"
#include "host/Globals.h"
#include "host/RowLoop.h"
#include "PatternTestSupport.h"
#include "pattern/Compositing.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"
#include "store/StoreTestSupport.h"

namespace {

// A host record over in-memory buffers of `rows` rows of `width` pixels, which are
// also the filter rectangle, and settings (the factory's unless given) to run with.
struct Fixture {
    FilterRecord record{};
    RunGlobals globals{};
    Settings settings;
    std::vector<uint8_t> block = std::vector<uint8_t>(kWorkBlockBytes);
    std::vector<uint16_t> in, out;  // 8-bit images use the bytes
    std::vector<uint8_t> mask;
    std::vector<float> history;     // the row buffer
    ImageStore ramp{};

    Fixture(int32_t width, int32_t rows, int16_t planes, int32_t depth, RunMode runMode, const Settings* given = nullptr) {
        Current() = CurrentCall{};
        InitialiseSettings(settings, &globals);
        if (given) settings = *given;
        settings.runMode = runMode;
        globals.filterRecord = &record;
        globals.workBlock.data = block.data();
        BuildWeightTable(Work(globals).weights);
        const bool grey = planes < 3;
        record.imageMode = int16_t(depth == 16 ? (grey ? plugInModeGray16 : plugInModeRGB48)
                                               : (grey ? plugInModeGrayScale : plugInModeRGBColor));
        record.depth = depth;
        record.planes = planes;
        record.inHiPlane = int16_t(planes - 1);
        record.inLayerPlanes = record.outLayerPlanes = int16_t(grey ? 1 : 3);
        record.filterRect = record.inRect = record.outRect = globals.savedFilterRect =
            Rect{0, 0, int16_t(rows), int16_t(width)};
        record.inRowBytes = record.outRowBytes = width * planes * (depth / 8);
        in.assign(std::size_t(rows * record.inRowBytes / 2 + 1), 0);
        out.assign(in.size(), 0);
        record.inData = in.data();
        record.outData = out.data();
        globals.loop.lastColumn = width - 1;
        globals.loop.lastRow = rows - 1;
        history.assign(std::size_t(width + 4), 0.0f);
        globals.rowBuffer.data = history.data();
        globals.rowBufferBytes = int32_t(history.size() * sizeof(float));
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
    // The plan of the current settings (its ramp left without pixels).
    RenderPlan Plan() {
        RenderPlan plan;
        BuildRenderPlan(settings, record.filterRect, ImageFormatOf(record), SimdLevel::scalar, ramp, plan);
        return plan;
    }
    RowEnds Ends(int32_t y) {
        const RowLoopState& loop = globals.loop;
        switch (settings.runMode) {
        case RunMode::preview:
            return PreviewRowEnds(record, y, PreviewSelection{loop.lastColumn, loop.lastRow, loop.maskRows[0],
                                                              loop.maskRows[1]});
        case RunMode::store: return StoreRowEnds(*Work(globals).render.destination, y);
        case RunMode::final: break;
        }
        return HostRowEnds(record, y);
    }
    void Composite(int32_t y, const std::vector<PatternColour>& colours) {
        CompositeColours(Plan(), Ends(y), 0, colours.data(), int32_t(colours.size()));
    }
    // Sample i of the input and output buffers, in the image's depth.
    void SetIn(std::size_t i, int32_t v) {
        if (record.depth == 16) in[i] = uint16_t(v);
        else In8()[i] = uint8_t(v);
    }
    int32_t InAt(std::size_t i) { return record.depth == 16 ? in[i] : In8()[i]; }
    int32_t OutAt(std::size_t i) { return record.depth == 16 ? out[i] : Out8()[i]; }

    // Renders the whole rectangle as the row loop does, inside a selector call: the
    // final run and the store get one row per request, the host's buffers at the row
    // the request names; the preview gets its whole area and mask at once.
    void Render() {
        *CurrentSettings() = settings;
        RenderBegin(globals);
        if (settings.runMode == RunMode::preview) {
            record.inRect = record.outRect = record.maskRect = record.filterRect;
            globals.loop.maskRows[0] = 0;
            globals.loop.maskRows[1] = globals.loop.lastRow;
            RenderAllRows(globals);
        } else {
            while (globals.loop.moreRows && CurrentResult() == noErr) {
                const std::ptrdiff_t row = globals.loop.inputRows[0];
                record.inData = In8() + row * record.inRowBytes;
                record.outData = Out8() + row * record.outRowBytes;
                RenderOneRow(globals);
                RequestRow(globals, globals.loop.currentRow);
            }
        }
        EXPECT_EQ(CurrentResult(), noErr);
        RenderFinish(globals);
    }
};

// Renders read the current selector call's settings, so they run inside a Prepare and
// Start of the real dispatcher, from its advanceState call for row 0; that call then
// fails, so Start releases what it took and asks for nothing more.
std::function<void()> duringCall;

OSErr RunDuringCall() {
    duringCall();
    return userCanceledErr;
}

void InsideSelectorCall(std::function<void()> body) {
    duringCall = std::move(body);
    FilterRecord host{};
    host.imageMode = plugInModeRGBColor;
    host.depth = 8;
    host.planes = 3;
    host.filterRect = Rect{0, 0, 1, 1};
    host.advanceState = RunDuringCall;
    intptr_t data = 0;
    int16_t result = noErr;
    RunSelector(filterSelectorPrepare, &host, &data, &result);
    RunSelector(filterSelectorStart, &host, &data, &result);
    EXPECT_EQ(result, userCanceledErr);
    DisposeHandle(reinterpret_cast<Handle>(data));
    DisposeHandle(host.parameters);
    Current() = CurrentCall{};
    duringCall = nullptr;
}

TEST(Compositing, PreviewWeightsCheckerboardSourceRowAndSixteenBitsIntoAnEightBitStore) {
    // 8-bit preview, 20 x 2: row 0 unselected (mask 0), row 1 fully selected.
    Fixture f(20, 2, 3, 8, RunMode::preview);
    std::vector<uint8_t> mask(40, 0);
    std::fill(mask.begin() + 20, mask.end(), 255);
    f.SetMask(mask, 20, 0, 1);
    const std::vector<PatternColour> colours(20, PatternColour{10, 20, 30});
    f.Composite(0, colours);
    f.Composite(1, colours);
    // Light where (x ^ y) & 8 is 0; weight 256 (row 1) shows the result unchanged.
    for (int32_t x = 0; x < 20; ++x) EXPECT_EQ(f.Out8()[3 * x], (x & 8) == 0 ? 255 : 204) << x;
    EXPECT_EQ(f.Out8()[60 + 2], 30);
    // Weight 128 becomes 129; rows outside the mask buffer and columns beyond the
    // last weigh 0; no mask at all weighs 255.
    f.SetMask(std::vector<uint8_t>(20, 128), 20, 1, 1);
    f.Composite(1, colours);
    EXPECT_EQ(f.Out8()[60], (129 * 10 + 255 * 127) >> 8);
    EXPECT_EQ(PreviewWeight(f.Ends(0), 3), 0);
    EXPECT_EQ(PreviewWeight(f.Ends(1), 20), 0);
    f.record.haveMask = false;
    EXPECT_EQ(PreviewWeight(f.Ends(0), 3), 255);
    // The source-only row writes the source through the same treatment.
    for (int i = 0; i < 120; ++i) f.In8()[i] = uint8_t(i * 2);
    CompositeSourceRow(f.Plan(), f.Ends(1));
    EXPECT_EQ(f.Out8()[60 + 5], 130);
    // Layer transparency scales the weight by the source alpha and shows opaque.
    Fixture layer(1, 1, 4, 8, RunMode::preview);
    layer.record.filterCase = filterCaseEditableTransparencyNoSelection;
    layer.In8()[3] = 128;
    layer.Composite(0, {PatternColour{0, 0, 0}});
    EXPECT_EQ(layer.Out8()[0], (255 * (256 - 128)) >> 8);
    EXPECT_EQ(layer.Out8()[3], 255);
    // 16-bit, mask 0: the shades 32640 and 26112 (mask 255 shows in the run-mode test).
    Fixture deep(9, 1, 3, 16, RunMode::preview);
    const std::vector<PatternColour> half(9, PatternColour{128, 64, 0});  // 16384, 8192, 0
    deep.SetMask(std::vector<uint8_t>(9, 0), 9, 0, 0);
    deep.Composite(0, half);
    EXPECT_EQ((std::pair{deep.out[0], deep.out[3 * 8]}),
              (std::pair<uint16_t, uint16_t>{(32640 * 255) >> 8, (26112 * 255) >> 8}));

    // Run mode 2, 16-bit into a packed 8-bit image: (v + 1) >> 7 per channel. That the
    // store's glue reads the stored pixel as its source shows in the run-mode test below.
    Fixture store(4, 1, 3, 16, RunMode::store);
    ScopedImage image(4, 3, kKindRGBA8);
    Work(store.globals).render.destination = image.get();
    store.Composite(2, {PatternColour{255, 100, 0}});  // 32640, 12800, 0
    EXPECT_EQ(PixelAt(image.get(), 0, 2), (Px{255, 100, 0, 255}));
}

TEST(RenderRow, EveryRunModeGivesTheSameBytes) {
    // An asymmetric RGB source, factory and woven settings: the final run, the store (of
    // the image's depth) and the fully selected preview must agree.
    const int32_t width = 37, height = 23;
    for (const Settings& settings : {FactorySettings(), Woven()})
        for (int32_t depth : {8, 16}) {
            Fixture finalRun(width, height, 3, depth, RunMode::final, &settings);
            Fixture preview(width, height, 3, depth, RunMode::preview, &settings);
            Fixture store(width, height, 3, depth, RunMode::store, &settings);
            ScopedImage image(width, height, depth == 16 ? kKindRGBA16 : kKindRGBA8);
            image->weightTable = &Work(store.globals).weights;
            Work(store.globals).render.destination = image.get();
            preview.SetMask(std::vector<uint8_t>(std::size_t(width * height), 255), width, 0, height - 1);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    int32_t v[3];
                    for (int32_t p = 0; p < 3; ++p) {
                        v[p] = RampSample(x, y, p, depth);
                        finalRun.SetIn(std::size_t((y * width + x) * 3 + p), v[p]);
                        preview.SetIn(std::size_t((y * width + x) * 3 + p), v[p]);
                    }
                    setRGBA(x, y, image.get(), 0, v[0], v[1], v[2], depth == 16 ? 32768 : 255);
                }
            InsideSelectorCall([&] {
                for (Fixture* f : {&finalRun, &preview, &store}) f->Render();
            });
            int32_t rendered = 0;
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    const Px stored = PixelAt(image.get(), x, y);
                    for (int32_t p = 0; p < 3; ++p) {
                        const std::size_t i = std::size_t((y * width + x) * 3 + p);
                        const int32_t v = finalRun.OutAt(i);
                        rendered += v != finalRun.InAt(i);
                        ASSERT_EQ(stored[std::size_t(p)], v) << x << "," << y << " depth " << depth;
                        // A full selection weighs 256 at 8 bits, 255 (just under) at 16.
                        ASSERT_EQ(preview.OutAt(i), depth == 16 ? (255 * v) >> 8 : v) << x << "," << y;
                    }
                }
            EXPECT_GT(rendered, width * height);  // the pattern, not the source, came out
        }
}

TEST(RenderRow, MissingHostBuffersFailTheRowBeforeAnything) {
    Fixture f(4, 1, 3, 8, RunMode::final);
    int16_t result = 0;
    Current().result = &result;
    f.record.inData = nullptr;
    RenderRow(f.globals);
    EXPECT_EQ(result, memFullErr);
    Current() = CurrentCall{};
}

}  // namespace
