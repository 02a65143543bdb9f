// Undo snapshots and the memory-dot map in the state folder.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/FilesTestSupport.h"
#include "store/FileLayer.h"
#include "settings/StoredState.h"

namespace {

TEST(StoredState, TwoSnapshotsThenTwoRestoresAlternateAndTheDotMapRoundTripsWhereAShortOneChangesNothing) {
    TestRun run;
    ClearUndo(run.undo);
    Settings settings = FactorySettings();
    RestoreUndoSnapshot(run.undo, settings, &run.thumbnail);  // nothing taken yet: nothing happens
    EXPECT_EQ(settings.zoom, 55);
    EXPECT_EQ(run.undo.last, 0);

    settings.zoom = 10;
    std::strcpy(settings.settingsFileName, "first.q1r");
    TakeUndoSnapshot(run.undo, settings, &run.thumbnail, true);
    settings.zoom = 20;
    settings.glue = 6;
    std::strcpy(settings.settingsFileName, "second.q1r");
    TakeUndoSnapshot(run.undo, settings, &run.thumbnail, false);
    settings.zoom = 30;
    FillThumbnail(run.thumbnail, 0);

    const auto restored = [&] {
        RestoreUndoSnapshot(run.undo, settings, &run.thumbnail);
        return std::tuple(settings.zoom, settings.glue, std::string(settings.settingsFileName));
    };
    EXPECT_EQ(restored(), std::tuple(10, 1, std::string("first.q1r")));
    EXPECT_LE(ThumbnailError(run.thumbnail), 24);  // taken with its file: the thumbnail returns too
    EXPECT_EQ(restored(), std::tuple(20, 6, std::string("second.q1r")));

    ClearUndo(run.undo);  // a new start forgets both
    settings.zoom = 44;
    RestoreUndoSnapshot(run.undo, settings, &run.thumbnail);
    EXPECT_EQ(settings.zoom, 44);

    // The memory-dot map round trips; a short one changes nothing.
    MemoryDotPins pins{};
    for (int i = 0; i < kMemoryDotCount; ++i) pins.pinned[i] = i % 3 == 0;
    ASSERT_EQ(SaveMemoryDotMap(pins), noErr);
    const std::vector<uint8_t> map = ReadAll(StatePath("Tesselume memdot map 3"));
    ASSERT_EQ(map.size(), 26u * 4);
    EXPECT_EQ(BigEndianAt(map, 0), 190);
    MemoryDotPins loaded{};
    ASSERT_EQ(LoadMemoryDotMap(loaded), noErr);
    EXPECT_EQ(std::memcmp(&loaded, &pins, sizeof pins), 0);

    WriteAll(StatePath("Tesselume memdot map 3"), std::vector<uint8_t>(map.begin(), map.begin() + 4));
    MemoryDotPins kept;
    std::fill(std::begin(kept.pinned), std::end(kept.pinned), 7);
    EXPECT_EQ(LoadMemoryDotMap(kept), readErr);
    for (int value : kept.pinned) EXPECT_EQ(value, 7);
    EXPECT_EQ(SaveMemoryDot(Settings{}, &run.thumbnail, kScratchDot + 1), kOpenErr);
}

// Two processes write the same dot, undo and map files as fast as they can while a
// third reads them: no save is refused, and every read finds a whole file of one
// writer, never a mixture.
TEST(StoredState, ConcurrentRunsNeitherRefuseSavesNorSeeHalfFiles) {
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            TestRun run;
            MemoryDotPins pins{};
            Settings settings = FactorySettings();
            int failures = 0;
            for (int i = 1; i <= 150; ++i) {
                settings.zoom = settings.mixer1 = 1000 * (w + 1) + i;
                FillThumbnail(run.thumbnail, w ? 200 : 30);
                failures += SaveMemoryDot(settings, &run.thumbnail, 3) != noErr;
                TakeUndoSnapshot(run.undo, settings, &run.thumbnail, true);
                failures += !run.undo.slot[run.undo.last].hasFile;
                for (std::int32_t& p : pins.pinned) p = i % 2;
                failures += SaveMemoryDotMap(pins) != noErr;
            }
            ::_exit(failures ? 1 : 0);  // a reader or the other writer must never refuse a save
        }
    }
    TestRun run;
    int dotsRead = 0;
    for (int live = 2; live > 0;) {
        Settings settings{};
        if (LoadMemoryDot(settings, &run.thumbnail, 3) == noErr) {
            ++dotsRead;
            ASSERT_EQ(settings.zoom, settings.mixer1);
            IntRGBA corner;
            getRGBA(100, 100, &run.thumbnail, 0, corner);
            EXPECT_NEAR(corner.green, settings.zoom > 2000 ? 200 : 30, 8) << settings.zoom;
        }
        MemoryDotPins pins{};
        if (LoadMemoryDotMap(pins) == noErr) {
            for (int n = 1; n < kMemoryDotCount; ++n) ASSERT_EQ(pins.pinned[n], pins.pinned[0]);
        }
        int status = 0;
        for (pid_t& writer : writers)
            if (writer > 0 && ::waitpid(writer, &status, WNOHANG) == writer) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                writer = 0;
                --live;
            }
    }
    EXPECT_GT(dotsRead, 0);
}

}  // namespace
