// A full disk and an unsafe state folder: the old state is kept, nothing is cut,
// nothing is written through a link or into a folder others can write to.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "settings/StoredState.h"
#include "store/FileLayer.h"
#include "support/StateFiles.h"

namespace {

namespace fs = std::filesystem;

using testsupport::StateDir;

// Saves a map with every dot pinned to value.
OSErr SaveMap(int32_t value) {
    MemoryDotPins pins{};
    for (int i = 0; i < kMemoryDotCount; ++i) pins.pinned[i] = value, pins.loaded[i] = -1;
    return SaveMemoryDotMap(pins);
}

TEST(StateFaults, FullDiskKeepsTheOldDotMapAndLeavesNoTemporary) {
    const fs::path mount = testsupport::StatePath("small");
    fs::create_directory(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): full-disk test skipped";
    {
        StateDir state(mount.string());
        ASSERT_EQ(SaveMap(1), noErr);
        // Fill the disk to the last byte.
        {
            std::ofstream filler(mount / "filler", std::ios::binary);
            const std::string block(4096, 'x');
            while (filler.write(block.data(), block.size())) filler.flush();
        }
        EXPECT_NE(SaveMap(2), noErr);
        MemoryDotPins read{};
        EXPECT_EQ(LoadMemoryDotMap(read), noErr);
        EXPECT_EQ(read.pinned[0], 1);
        int entries = 0;
        for (const auto& entry : fs::directory_iterator(mount)) entries += entry.path().filename().string()[0] == '.';
        EXPECT_EQ(entries, 0) << "a temporary file was left behind";
    }
    ::umount(mount.c_str());
}

TEST(StateFaults, UnsafeFoldersAndLinksAreRefused) {
    const fs::path root = std::getenv("TESSELUME_STATE_DIR");
    char path[kPathCapacity];
    // Writable by others: refused and left as it is.
    const fs::path open = root / "open";
    fs::create_directory(open);
    ::chmod(open.c_str(), 01777);
    {
        StateDir state(open.string());
        EXPECT_FALSE(TempFilePath(kMemoryDotMapName, path));
        EXPECT_EQ(SaveMap(3), kOpenErr);
    }
    EXPECT_EQ(fs::status(open).permissions() & fs::perms::all, fs::perms::all);
    // A folder that is a link: refused.
    fs::create_directory_symlink(root, root / "link");
    {
        StateDir state((root / "link").string());
        EXPECT_FALSE(TempFilePath(kMemoryDotMapName, path));
    }
    // A state file that is a link: never written through.
    const fs::path target = root / "target";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, testsupport::StatePath(kMemoryDotMapName));
    EXPECT_NE(SaveMap(4), noErr);
    EXPECT_EQ(testsupport::FileContents(target.string()), "keep");
}

}  // namespace
