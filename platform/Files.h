// Files: POSIX files with the read-sharing rule of the module's home platform.
//
// A reader takes a shared advisory lock and a writer an exclusive one, both without
// waiting; a refused lock fails the open. So a file that another process is reading
// cannot be opened for writing, while any number of readers may share it.
#pragma once

#include <cstddef>
#include <cstdint>

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
// Puts a finished file in place of `to` in one step (both in the same folder).
bool RenameFile(const char* from, const char* to);
// Removes a file; false when it could not be removed (an absent file included).
bool RemoveFile(const char* path);

}  // namespace platform
