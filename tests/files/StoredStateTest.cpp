// Undo snapshots and the memory-dot map in the state folder.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/FilesTestSupport.h"
#include "store/FileLayer.h"
#include "settings/StoredState.h"

namespace {

TEST(StoredState, TwoSnapshotsThenTwoRestoresAlternate) {
    TestRun run;
    ClearUndo(run.undo);
    Settings settings{};
    InitialiseSettings(settings, nullptr);
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

    RestoreUndoSnapshot(run.undo, settings, &run.thumbnail);  // with its file: the thumbnail returns too
    EXPECT_EQ(settings.zoom, 10);
    EXPECT_EQ(settings.glue, 1);
    EXPECT_STREQ(settings.settingsFileName, "first.q1r");
    EXPECT_LE(ThumbnailError(run.thumbnail), 24);
    RestoreUndoSnapshot(run.undo, settings, &run.thumbnail);
    EXPECT_EQ(settings.zoom, 20);
    EXPECT_EQ(settings.glue, 6);
    EXPECT_STREQ(settings.settingsFileName, "second.q1r");

    ClearUndo(run.undo);  // a new start forgets both
    settings.zoom = 44;
    RestoreUndoSnapshot(run.undo, settings, &run.thumbnail);
    EXPECT_EQ(settings.zoom, 44);
}

TEST(StoredState, MemoryDotMapRoundTripsAndAShortMapChangesNothing) {
    MemoryDotPins pins;
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

    TestRun run;
    EXPECT_EQ(SaveMemoryDot(Settings{}, &run.thumbnail, 25), kOpenErr);
    char path[kPathCapacity];
    ASSERT_TRUE(MemoryDotPath(24, path));
    EXPECT_EQ(std::string(path), StatePath("Tesselume memory dot 24.q1r"));
}

}  // namespace
