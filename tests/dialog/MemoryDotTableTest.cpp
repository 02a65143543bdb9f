// The memory dots below the dialog, with a stand-in for the dialog.
#include <filesystem>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/MemoryDotTable.h"
#include "files/FilesTestSupport.h"
#include "store/Resample.h"

namespace {

// Stands in for the dialog: each renewed thumbnail is a new flat grey, so a
// picture tells which store made it.
struct FakeView final : DotView {
    ImageStore* thumbnail;
    int grey = 20, replaced = 0;
    std::vector<int> repainted;
    explicit FakeView(ImageStore* t) : thumbnail(t) {}
    void RepaintControl(int id) override { repainted.push_back(id); }
    void RenewThumbnail() override { FillThumbnail(*thumbnail, grey += 20); }
    void SettingsReplaced() override { ++replaced; }
};

struct DotsRun : TestRun {
    MemoryDotPins pins{};
    std::unique_ptr<WeightTable> weights{new WeightTable};
    MemoryDotsState dots;
    FakeView view{&thumbnail};
    DotsRun() {
        BuildWeightTable(*weights);
        LoadMemoryDotMap(pins);
        InitialiseDots(dots, pins, &thumbnail, weights.get());
    }
    ~DotsRun() {
        SaveMemoryDotMap(pins);
        ReleaseDots(dots);
    }
    int Pinned(int n) { return pins.pinned[n]; }
    // The grey the extra dot shows, -1 for none.
    int Shown() {
        if (dots.preview.tileCount == 0) return -1;
        IntRGBA p;
        getRGBA(44, 44, &dots.preview, 0, p);
        return p.green;
    }
};

Settings WithZoom(int zoom) {
    Settings s = FactorySettings();
    s.zoom = zoom;
    return s;
}

// The click rules, the dot images, the extra dot's picture, and a new run's table
// (that pinned dots outlive the process is checked through the module).
TEST(MemoryDots, ClicksPinsPicturesAndANewRunsTable) {
    {
        DotsRun run;
        Settings s = WithZoom(11);
        SetUpDots(run.dots, s, run.view);  // nothing pinned: the settings go into dot 0
        EXPECT_EQ(run.dots.state[0], DotState::current);
        EXPECT_NEAR(run.Shown(), 40, 3);

        EXPECT_EQ(ClickDot(run.dots, 3, false, false, s, run.view), DotClick::stored);
        s.zoom = 33;
        EXPECT_EQ(ClickDot(run.dots, 5, true, true, s, run.view), DotClick::stored);  // any button fills
        EXPECT_EQ(run.Pinned(3), 1);
        EXPECT_EQ(run.Pinned(5), 0);  // Ctrl leaves it free
        EXPECT_EQ(ClickDot(run.dots, 3, false, false, s, run.view), DotClick::recalled);
        EXPECT_EQ(s.zoom, 11);
        EXPECT_EQ(run.view.replaced, 1);
        EXPECT_EQ(DotImageId(run.dots.state[3], run.Pinned(3), false), 208);
        EXPECT_EQ(DotImageId(run.dots.state[0], run.Pinned(0), false), 213);
        EXPECT_EQ(DotImageId(run.dots.state[5], run.Pinned(5), true), 214);

        HoverDot(run.dots, 5, run.view);
        EXPECT_NEAR(run.Shown(), 80, 3);
        HoverDot(run.dots, 9, run.view);  // empty: the extra dot is hidden
        EXPECT_EQ(run.Shown(), -1);
        EXPECT_EQ(ClickDot(run.dots, 7, false, false, s, run.view), DotClick::stored);
        EXPECT_EQ(ClickDot(run.dots, 7, false, true, s, run.view), DotClick::unpinned);
        EXPECT_EQ(run.dots.state[7], DotState::current);
        EXPECT_EQ(ClickDot(run.dots, 3, true, false, s, run.view), DotClick::emptied);
        EXPECT_EQ(run.Pinned(3), 0);
        EXPECT_EQ(run.dots.shown, -1);
        // Dots 4 and 6 pinned; dot 6 is then cut short.
        ClickDot(run.dots, 4, false, false, s, run.view);
        ClickDot(run.dots, 6, false, false, s, run.view);
    }
    char path[kPathCapacity];
    ASSERT_TRUE(MemoryDotPath(6, path));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 10);
    {
        DotsRun next;
        Settings s = WithZoom(50);
        SetUpDots(next.dots, s, next.view);
        EXPECT_EQ(next.dots.state[4], DotState::filled);
        EXPECT_EQ(next.dots.state[6], DotState::empty);  // unreadable: empty and free
        EXPECT_EQ(next.Pinned(6), 0);
        const int shown = next.Shown();
        ShowDot(next.dots, 6, next.view);  // the extra dot keeps its picture
        EXPECT_EQ(next.Shown(), shown);
        for (int n = 0; n < kMemoryDotCount; ++n)
            if (!next.Pinned(n)) {
                next.dots.state[n] = DotState::empty;
                ClickDot(next.dots, n, false, false, s, next.view);
            }
    }
    // With all 25 pinned, opening stores nothing.
    DotsRun full;
    Settings s = WithZoom(99);
    SetUpDots(full.dots, s, full.view);
    for (int n = 0; n < kMemoryDotCount; ++n) {
        Settings recalled = WithZoom(1);
        EXPECT_EQ(LoadMemoryDot(recalled, nullptr, n), noErr);
        EXPECT_NE(recalled.zoom, 99) << n;
    }
}

}  // namespace
