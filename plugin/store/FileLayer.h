// The file layer under every binary format the module writes: open, close, and
// big-endian 32-bit values, bytes, blocks and skips.
//
// Every operation returns a result code: 0 on success, kOpenErr when a file cannot
// be opened, readErr (-19) when a read runs short or fails, writErr (-20) when a
// write fails. Files follow the read-sharing rule of platform/Files.h, so a file
// that another process is reading cannot be opened for writing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PIFilter.h"
#include "platform/Files.h"

constexpr OSErr kOpenErr = 99;

// Opens an existing file for reading; kOpenErr when absent or held by a writer.
OSErr OpenFileForReading(const char* path, platform::FileHandle& file);
// Creates the file or opens it without truncating; kOpenErr when refused. A writer
// overwrites from the start and leaves any bytes beyond its new end in place.
OSErr OpenFileForWriting(const char* path, platform::FileHandle& file);
void CloseFile(platform::FileHandle file);

OSErr WriteInt32(platform::FileHandle file, std::int32_t value);
// At the end of the file `value` keeps what it held and readErr is returned.
OSErr ReadInt32(platform::FileHandle file, std::int32_t& value);
OSErr ReadByte(platform::FileHandle file, std::uint8_t& value);
OSErr WriteBlock(platform::FileHandle file, const void* data, std::size_t size);
OSErr ReadBlock(platform::FileHandle file, void* data, std::size_t size);
// Reads and discards count bytes, 256 at a time while more than 256 remain, then
// one at a time; the result of the last read (0 for a count of 0 or less).
OSErr SkipBytes(platform::FileHandle file, std::int64_t count);
