// The memory dots below the dialog: store, recall, pin, the extra dot's picture,
// and what a new run finds in the state folder.
#include <filesystem>
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
    MemoryDotsState dots;
    FakeView view{&thumbnail};
    DotsRun() {
        BuildWeightTable(Work(globals).weights);
        Work(globals).memoryDots = MemoryDotPins{};
        LoadMemoryDotMap(Work(globals).memoryDots);
        InitialiseDots(dots, Work(globals).memoryDots, &thumbnail, &globals, &Work(globals).weights);
    }
    ~DotsRun() {
        SaveMemoryDotMap(Work(globals).memoryDots);
        ReleaseDots(dots);
    }
    int Pinned(int n) { return Work(globals).memoryDots.pinned[n]; }
    // The grey the extra dot shows, -1 for none.
    int Shown() {
        if (dots.preview.tileCount == 0) return -1;
        IntRGBA p;
        getRGBA(44, 44, &dots.preview, 0, p);
        return p.green;
    }
};

Settings WithZoom(int zoom) {
    Settings s{};
    InitialiseSettings(s, nullptr);
    s.zoom = zoom;
    return s;
}

TEST(MemoryDots, ClicksStoreRecallPinAndEmpty) {
    DotsRun run;
    Settings s = WithZoom(11);
    SetUpDots(run.dots, s, run.view);  // nothing pinned: the settings go into dot 0
    EXPECT_EQ(run.dots.state[0], DotState::current);
    EXPECT_EQ(run.Pinned(0), 0);
    EXPECT_EQ(run.dots.shown, 0);
    EXPECT_NEAR(run.Shown(), 40, 3);

    EXPECT_EQ(ClickDot(run.dots, 3, false, false, s, run.view), DotClick::stored);
    s.zoom = 33;
    EXPECT_EQ(ClickDot(run.dots, 5, true, true, s, run.view), DotClick::stored);  // any button fills an empty dot
    EXPECT_EQ(run.Pinned(3), 1);
    EXPECT_EQ(run.Pinned(5), 0);  // Ctrl leaves it free

    s.zoom = 77;
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
    HoverDot(run.dots, 3, run.view);
    EXPECT_EQ(ClickExtraDot(run.dots, s, run.view), true);
    EXPECT_EQ(s.zoom, 11);

    EXPECT_EQ(ClickDot(run.dots, 3, false, true, s, run.view), DotClick::unpinned);
    EXPECT_EQ(run.dots.state[3], DotState::current);
    EXPECT_EQ(ClickDot(run.dots, 3, true, false, s, run.view), DotClick::emptied);
    EXPECT_EQ(run.dots.state[3], DotState::empty);
    EXPECT_EQ(run.dots.shown, -1);
    EXPECT_EQ(ClickDot(run.dots, 25, false, false, s, run.view), DotClick::ignored);
}

TEST(MemoryDots, PinnedDotsOutliveTheRunAndUnreadableOnesAreEmpty) {
    {
        DotsRun first;
        Settings s = WithZoom(11);
        SetUpDots(first.dots, s, first.view);                 // dot 0, unpinned
        ClickDot(first.dots, 4, false, false, s, first.view);  // pinned
        ClickDot(first.dots, 6, false, false, s, first.view);  // pinned, then cut short below
        ClickDot(first.dots, 8, false, true, s, first.view);   // unpinned
    }
    char path[kPathCapacity];
    ASSERT_TRUE(MemoryDotPath(6, path));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 10);
    {
        DotsRun second;
        Settings s = WithZoom(50);
        SetUpDots(second.dots, s, second.view);
        const int before = second.Shown();
        ShowDot(second.dots, 6, second.view);  // unreadable: the extra dot keeps its picture
        EXPECT_EQ(second.Shown(), before);
        EXPECT_EQ(second.dots.shown, 0);
        EXPECT_EQ(second.dots.state[4], DotState::filled);
        EXPECT_EQ(second.dots.state[6], DotState::empty);
        EXPECT_EQ(second.Pinned(6), 0);
        EXPECT_EQ(second.dots.state[8], DotState::empty);
        EXPECT_EQ(second.dots.state[0], DotState::current);  // the first free dot takes the start
        Settings recalled = WithZoom(1);
        EXPECT_TRUE(RecallDot(second.dots, 4, recalled, second.view));
        EXPECT_EQ(recalled.zoom, 11);
        // Fill every dot: with all 25 pinned, a new start stores nothing.
        for (int n = 0; n < kMemoryDotCount; ++n)
            if (second.dots.state[n] == DotState::empty || !second.Pinned(n)) {
                second.dots.state[n] = DotState::empty;
                ClickDot(second.dots, n, false, false, s, second.view);
            }
    }
    DotsRun third;
    Settings s = WithZoom(99);
    SetUpDots(third.dots, s, third.view);
    EXPECT_EQ(FirstFreeDot(*third.dots.pins), -1);
    for (int n = 0; n < kMemoryDotCount; ++n) {
        Settings recalled = WithZoom(1);
        EXPECT_EQ(LoadMemoryDot(recalled, nullptr, n), noErr);
        EXPECT_NE(recalled.zoom, 99) << n;
    }
}

}  // namespace
