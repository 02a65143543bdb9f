// The file layer: overwriting in place, skips, state paths, and the read-sharing
// rule between processes.
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/FilesTestSupport.h"
#include "store/FileLayer.h"

namespace {

// Values, short reads and skip positions are checked through the presets file.
TEST(FileLayer, StateFilesAreOverwrittenInPlaceAndTheirPathsNeverCut) {
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
}

TEST(FileLayer, AFileAnotherProcessIsReadingCannotBeOpenedForWriting) {
    const std::string path = StatePath("layer shared");
    WriteAll(path, {1, 2, 3, 4});
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::FileHandle reader;
        const char status = OpenFileForReading(path.c_str(), reader) == noErr ? 'r' : 'x';
        char go;
        if (write(ready[1], &status, 1) != 1 || read(release[0], &go, 1) != 1) _exit(2);
        _exit(0);
    }
    char status = 0;
    ASSERT_EQ(read(ready[0], &status, 1), 1);
    EXPECT_EQ(status, 'r');
    platform::FileHandle file;
    EXPECT_EQ(OpenFileForWriting(path.c_str(), file), kOpenErr);
    ASSERT_EQ(OpenFileForReading(path.c_str(), file), noErr);  // readers share
    CloseFile(file);

    ASSERT_EQ(write(release[1], "g", 1), 1);
    int exitStatus = 0;
    ASSERT_EQ(waitpid(child, &exitStatus, 0), child);
    EXPECT_TRUE(WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0);
    ASSERT_EQ(OpenFileForWriting(path.c_str(), file), noErr);
    CloseFile(file);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

}  // namespace
