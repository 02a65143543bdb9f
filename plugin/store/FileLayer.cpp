// Big-endian values over the platform's locked files.
#include "store/FileLayer.h"

OSErr OpenFileForReading(const char* path, platform::FileHandle& file) {
    file = platform::OpenForReading(path);
    return file == platform::kNoFile ? kOpenErr : OSErr(noErr);
}

OSErr OpenFileForWriting(const char* path, platform::FileHandle& file) {
    file = platform::OpenForWriting(path);
    return file == platform::kNoFile ? kOpenErr : OSErr(noErr);
}

void CloseFile(platform::FileHandle file) { platform::CloseFile(file); }

OSErr WriteInt32(platform::FileHandle file, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {std::uint8_t(bits >> 24), std::uint8_t(bits >> 16), std::uint8_t(bits >> 8),
                                   std::uint8_t(bits)};
    return WriteBlock(file, bytes, sizeof bytes);
}

OSErr ReadInt32(platform::FileHandle file, std::int32_t& value) {
    std::uint8_t bytes[4];
    if (ReadBlock(file, bytes, sizeof bytes) != noErr) return readErr;
    value = static_cast<std::int32_t>(std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
                                      std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]));
    return noErr;
}

OSErr ReadByte(platform::FileHandle file, std::uint8_t& value) { return ReadBlock(file, &value, 1); }

OSErr WriteBlock(platform::FileHandle file, const void* data, std::size_t size) {
    return platform::WriteBytes(file, data, size) ? noErr : writErr;
}

OSErr ReadBlock(platform::FileHandle file, void* data, std::size_t size) {
    return platform::ReadBytes(file, data, size) == static_cast<long>(size) ? noErr : readErr;
}

OSErr SkipBytes(platform::FileHandle file, std::int64_t count) {
    std::uint8_t scratch[256];
    OSErr result = noErr;
    while (count > 256) {
        result = ReadBlock(file, scratch, sizeof scratch);
        if (result != noErr) return result;
        count -= 256;
    }
    for (; count > 0; --count) {
        result = ReadByte(file, scratch[0]);
        if (result != noErr) return result;
    }
    return result;
}
