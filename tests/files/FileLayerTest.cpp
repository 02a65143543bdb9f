// The file layer's rules for writing, skipping, paths and sharing.
#include <string>

#include <gtest/gtest.h>

#include "files/FilesTestSupport.h"
#include "store/FileLayer.h"

namespace {

// Values, short reads and skip positions are checked through the presets file.
TEST(FileLayer, StateFilesAreOverwrittenInPlaceTheirPathsNeverCutAndFilesBeingReadNotWritten) {
    const std::string folder = std::getenv("TESSELUME_STATE_DIR");
    char path[kPathCapacity];
    ASSERT_TRUE(TempFilePath("Tesselume undo 0", path));
    EXPECT_EQ(std::string(path), folder + "/Tesselume undo 0");
    WriteAll(path, std::vector<uint8_t>(700, 0xEE));  // longer than what is written next
    platform::FileHandle file;
    ASSERT_EQ(OpenFileForWriting(path, file), noErr);
    EXPECT_EQ(WriteInt32(file, -58), noErr);
    CloseFile(file);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 700u);  // overwritten from the start, not cut
    EXPECT_EQ(BigEndianAt(bytes, 0), -58);
    EXPECT_EQ(bytes[4], 0xEE);
    ASSERT_EQ(OpenFileForReading(path, file), noErr);
    EXPECT_EQ(SkipBytes(file, 699), noErr);
    EXPECT_EQ(SkipBytes(file, 2), readErr);  // past the end
    CloseFile(file);

    // A path too long for the buffer is refused, not cut.
    EXPECT_TRUE(TempFilePath(std::string(kPathCapacity - folder.size() - 2, 'n').c_str(), path));
    EXPECT_FALSE(TempFilePath(std::string(kPathCapacity - folder.size() - 1, 'n').c_str(), path));
    EXPECT_STREQ(path, "");

    // Each open holds its own lock, so a second handle here stands for another process
    // (or another run) reading the file.
    const std::string shared = StatePath("layer shared");
    WriteAll(shared, {1, 2, 3, 4});
    platform::FileHandle reader, other, writer;
    ASSERT_EQ(OpenFileForReading(shared.c_str(), reader), noErr);
    EXPECT_EQ(OpenFileForWriting(shared.c_str(), writer), kOpenErr);
    ASSERT_EQ(OpenFileForReading(shared.c_str(), other), noErr);  // readers share
    CloseFile(other);
    CloseFile(reader);
    ASSERT_EQ(OpenFileForWriting(shared.c_str(), writer), noErr);
    CloseFile(writer);
}

}  // namespace
