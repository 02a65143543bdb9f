// Files: POSIX files with the read-sharing rule of the module's home platform.
//
// A reader takes a shared advisory lock and a writer an exclusive one, both without
// waiting; a refused lock fails the open. So a file that another process is reading
// cannot be opened for writing, while any number of readers may share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using FileHandle = int;
constexpr FileHandle kNoFile = -1;

// Opens an existing file for reading. kNoFile when absent or locked by a writer.
FileHandle OpenForReading(const char* path);
// Creates the file or opens the existing one without truncating it. kNoFile when it
// cannot be created or someone else has it open.
FileHandle OpenForWriting(const char* path);
// Reads up to size bytes; the count read, 0 at the end, -1 on error.
long ReadBytes(FileHandle file, void* data, std::size_t size);
// Writes all size bytes; false on error.
bool WriteBytes(FileHandle file, const void* data, std::size_t size);
// Cuts the file at its current position.
bool TruncateHere(FileHandle file);
void CloseFile(FileHandle file);
// Takes an exclusive lock on the file at path (created when absent) for a short
// piece of work shared by processes, such as a read-change-write of a small file.
// Waits at most about a second for another holder; kNoFile when refused. Closing
// the handle releases the lock.
FileHandle LockExclusively(const char* path);

// Gives a file another name in the same file system; never replaces a file that
// already has the new name. False, the file left as it was, otherwise.
bool MoveWithoutReplacing(const char* from, const char* to);

// A file that appears whole or not at all: written under a temporary name in the
// target's folder and renamed over the target by Commit. A reader that opened the
// old file keeps reading the old bytes, and of two writers the later rename wins
// whole. Removed when not committed. Open refuses an empty path and a target that is
// a symbolic link.
class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    bool Open(const std::string& target, std::string& error);
    const std::string& TempPath() const { return tempPath; }
    bool Commit(std::string& error);

private:
    std::string target, tempPath;
};

}  // namespace platform
