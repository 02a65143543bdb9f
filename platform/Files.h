// Files: POSIX files with the read-sharing rule of the module's home platform.
//
// A reader takes a shared advisory lock and a writer an exclusive one, both without
// waiting; a refused lock fails the open. So a file that another process is reading
// cannot be opened for writing, while any number of readers may share it.
#pragma once

#include <cstddef>
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

// A file that appears whole or not at all: written under a temporary name beside its
// target and renamed over it by Commit. A reader that opened the old file keeps
// reading the old bytes, and of two writers the later rename wins whole. Not
// committed, the temporary is removed by the destructor, or, for files made with
// removeOnSignal, by RemovePendingFiles from a signal handler that ends the program.
// The options say what differs between the module's own files and the command line's
// outputs.
struct PendingFileOptions {
    // A symbolic link in the target's place is written through (the file it names is
    // replaced, the link stays). Off, it is refused, and the file it reaches stays untouched.
    bool writeThroughLinks = false;
    // The new file takes an existing target's mode (and, for root, its owner), and a
    // target its permission bits keep from being written is refused (mode 444 even for
    // root). Off, the new file gets the mode any new file would get.
    bool keepTargetMode = false;
    // Standard output ("-"), a device or a pipe is accepted as the target: the file is
    // written in $TMPDIR and copied to it at Commit.
    bool streamSpecialTargets = false;
    // The temporary lies in a private folder of its own, so that whatever its writer
    // puts beside it (a temporary of its own) is removed with it.
    bool inOwnFolder = false;
    // Listed for RemovePendingFiles.
    bool removeOnSignal = false;
};

class PendingFile {
public:
    explicit PendingFile(PendingFileOptions options = {}) : options(options) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // Makes the temporary file. Refuses an empty path and a folder; error says why.
    bool Open(const std::string& target, std::string& error);
    const std::string& TempPath() const { return tempPath; }
    // Puts the temporary in the target's place; after it the object holds nothing.
    bool Commit(std::string& error);

private:
    void Discard();

    PendingFileOptions options;
    std::string target, tempPath, folder;  // folder: the own folder, when there is one
    unsigned mode = 0;                     // given to the file at Commit
    int ownerUid = -1, ownerGid = -1;      // kept at Commit when root replaces a file
    int slot = -1;                         // in the list RemovePendingFiles reads
    bool streamed = false;
};

// Removes the temporaries of every uncommitted PendingFile made with removeOnSignal.
// Only async-signal-safe calls: for a signal handler about to end the program.
void RemovePendingFiles();

}  // namespace platform
