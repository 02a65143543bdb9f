// The row loop as a host sees it: rectangles, mask windows, progress and abort pacing.
#include <algorithm>
#include <array>
#include <filesystem>

#include "HostTestSupport.h"
#include "files/FilesTestSupport.h"
#include "settings/Parameters.h"

TEST(RowLoop, ProgressAndAbortArePacedToEvery32ndRowAndAbortsAndAdvanceStateErrorsEndTheRunEarly) {
    auto image = RampImage(8, 100, 1, 8);
    filterhost::Job job;
    std::vector<std::pair<int32_t, int32_t>> reported;
    job.onProgress = [&](int32_t done, int32_t total) { reported.emplace_back(done, total); };
    job.shouldAbort = [] { return false; };
    auto report = RunJob(image, job);
    using Steps = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(reported, (Steps{{0, 101}, {32, 101}, {64, 101}, {96, 101}}));
    EXPECT_EQ(report.abortCalls, 3);  // rows 32, 64 and 96

    // A one-row selection renders one row.
    reported.clear();
    job.filterRect = Rect{4, 2, 5, 7};
    report = RunJob(image, job);
    EXPECT_EQ(report.result, noErr);
    EXPECT_EQ(report.advanceStateCalls, 1);
    EXPECT_EQ(reported, (Steps{{0, 2}}));

    // An abort is noticed within 32 rows and keeps the rows before it; an advanceState
    // error inside Start ends the run before any row. Both give back every buffer.
    const int32_t width = 16, height = 80;
    const auto source = RampImage(width, height, 3, 8);
    auto reference = source;
    RunJob(reference);

    auto aborted = source;
    filterhost::Job aborting;
    aborting.shouldAbort = [] { return true; };
    report = RunJob(aborted, aborting);
    EXPECT_EQ(report.result, userCanceledErr);
    EXPECT_EQ(report.advanceStateCalls, 32);
    EXPECT_EQ(report.abortCalls, 1);
    EXPECT_EQ(report.buffersOutstanding, 0);
    EXPECT_EQ(report.selectors.back(), filterSelectorContinue);  // no Finish after an abort
    const auto split = std::ptrdiff_t(32 * width * 3);
    EXPECT_TRUE(std::equal(aborted.samples.begin(), aborted.samples.begin() + split, reference.samples.begin()));
    EXPECT_TRUE(std::equal(aborted.samples.begin() + split, aborted.samples.end(), source.samples.begin() + split));

    auto failed = source;
    filterhost::HostOptions failing;
    failing.advanceStateFailAt = 1;
    failing.advanceStateFailure = -25;
    report = RunJob(failed, {}, failing);
    EXPECT_EQ(report.result, -25);
    EXPECT_EQ(report.selectors.back(), filterSelectorStart);
    EXPECT_EQ(report.buffersOutstanding, 0);
    EXPECT_EQ(failed.samples, source.samples);
}

TEST(RowLoop, MaskWindowsFollowTheRowInsideTheSelectionAndAnUnblendedCommitIsTheOutputOverTheMaskBox) {
    const int32_t width = 12, height = 10;
    auto image = RampImage(width, height, 3, 8);
    filterhost::Job job;
    job.mask.assign(std::size_t(width * height), 255);
    const auto report = RunJob(image, job);
    EXPECT_EQ(report.result, noErr);
    ASSERT_EQ(report.maskRects.size(), std::size_t(height));
    const Rect first = report.maskRects.front(), last = report.maskRects.back();
    // Rows y to y + 1 at the first row, y - 2 to y at the last.
    EXPECT_EQ((std::array<int32_t, 4>{first.top, first.bottom, last.top, last.bottom}), (std::array{0, 2, height - 3, height}));
    for (const Rect& r : report.maskRects) {
        EXPECT_GE(r.bottom - r.top, 1);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, width);
    }

    // A host application that blends through its own selection (the GIMP bridge) gets
    // the module's output over the selection's box, neither blended nor clipped.
    const auto source = RampImage(width, height, 3, 8);
    filterhost::Job masked;
    masked.mask.assign(std::size_t(width * height), 0);
    for (int32_t y = 2; y < 8; ++y)
        for (int32_t x = 3; x < 10; ++x) masked.mask[std::size_t(y * width + x)] = 128;
    masked.blendSelection = false;
    auto unblended = source;
    EXPECT_EQ(RunJob(unblended, masked).result, noErr);

    filterhost::Job boxed;
    boxed.filterRect = Rect{2, 3, 8, 10};
    auto reference = source;
    RunJob(reference, boxed);
    EXPECT_EQ(unblended.samples, reference.samples);

    masked.blendSelection = true;
    auto blended = source;
    RunJob(blended, masked);
    EXPECT_NE(blended.samples, reference.samples);
}

TEST(RowLoop, StartSetupLoadsCachedSettingsAndRunsKeepThePins) {
    // What an earlier run left in the state folder.
    Settings cached = FactorySettings();
    cached.zoom = 12;
    ASSERT_EQ(SaveCachedSettings(cached, nullptr), noErr);
    MemoryDotPins pins{};
    pins.pinned[3] = 1;
    pins.pinned[24] = 1;
    ASSERT_EQ(SaveMemoryDotMap(pins), noErr);

    // Without script values the cached settings are the run's; a replayed step ignores them.
    auto image = RampImage(8, 6, 3, 8);
    EXPECT_EQ(FindItem(RunJob(image).recorded.value(), PIFourCC("0033"))->value, 12);
    filterhost::Job replay;
    replay.play.emplace();
    EXPECT_EQ(FindItem(RunJob(image, replay).recorded.value(), PIFourCC("0033"))->value, 55);

    // The map went through both runs unchanged.
    MemoryDotPins after{};
    ASSERT_EQ(LoadMemoryDotMap(after), noErr);
    for (int i = 0; i < kMemoryDotCount; ++i) EXPECT_EQ(after.pinned[i], pins.pinned[i]) << i;

    // Leave the state folder as the other tests expect it.
    for (const char* name : {"Tesselume cached settings C", "Tesselume memdot map 3"})
        std::filesystem::remove(testsupport::StatePath(name));
}
