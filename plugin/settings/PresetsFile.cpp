// Reading and writing the presets file.
#include "settings/PresetsFile.h"

#include <algorithm>
#include <string>

#include "platform/Files.h"
#include "store/Jpeg.h"
#include "store/FileLayer.h"
#include "settings/Parameters.h"
#include "store/ImageStore.h"
#include "store/Pyramid.h"
#include "store/Resample.h"

namespace {

constexpr int32_t kSmoothSinceVersion = 26;
constexpr int32_t kThumbnailSinceVersion = 190;
constexpr int32_t kSeparator = 1;
constexpr int32_t kThumbnailQuality = 80;

// File positions of the values before the embedded image block, and after it.
constexpr int kFirstPosition = 2, kLastLeadingPosition = 33;
constexpr int kTrailingPositions[] = {36, 37, 38};
constexpr int kSmoothPosition = 39;

std::int32_t Settings::*FieldAt(int position) {
    for (const ParameterInfo& p : kParameters)
        if (p.filePosition == position) return p.field;
    return nullptr;
}

// Reads one value into its field; in thumbnail-only mode the value is discarded.
OSErr ReadField(platform::FileHandle file, Settings& settings, int position, PresetsRead mode) {
    std::int32_t value = 0;
    const OSErr result = ReadInt32(file, value);
    if (result == noErr && mode == PresetsRead::everything) settings.*FieldAt(position) = value;
    return result;
}

OSErr WriteField(platform::FileHandle file, const Settings& settings, int position) {
    return WriteInt32(file, settings.*FieldAt(position));
}

// The embedded image of old files: a flag, then the side S (held to 0..128), an
// ignored value and S x S RGB pixels that become the thumbnail. Without a store to
// take them the pixels are skipped, so the values after them are still found.
OSErr ReadEmbeddedImage(platform::FileHandle file, ImageStore* thumbnail, bool& thumbnailRead) {
    std::int32_t flag = 0, side = 0, ignored = 0;
    OSErr result = ReadInt32(file, flag);
    if (result != noErr || flag == 0) return result;
    if ((result = ReadInt32(file, side)) != noErr || (result = ReadInt32(file, ignored)) != noErr) return result;
    side = std::clamp(side, 0, kThumbnailMaxSide);
    if (side == 0) return noErr;
    const std::int64_t pixelBytes = std::int64_t(side) * side * 3;
    if (!thumbnail || thumbnail->tileCount == 0) return SkipBytes(file, pixelBytes);
    ImageStore image;
    InitialiseImage(&image, thumbnail->weightTable);
    if (!CreateImage(&image, side, side, kKindRGBA8, 0)) return SkipBytes(file, pixelBytes);
    std::uint8_t row[kThumbnailMaxSide * 3];
    for (std::int32_t y = 0; y < side && result == noErr; ++y) {
        result = ReadBlock(file, row, std::size_t(side) * 3);
        for (std::int32_t x = 0; x < side && result == noErr; ++x)
            setRGBA(x, y, &image, 0, row[3 * x], row[3 * x + 1], row[3 * x + 2], 255);
    }
    if (result == noErr) {
        buildAll(&image);
        copyOrResize(&image, thumbnail);
        thumbnailRead = true;
    }
    ReleaseImage(&image);
    return result;
}

OSErr ReadPresets(platform::FileHandle file, Settings& settings, ImageStore* thumbnail, PresetsRead mode,
                  bool& thumbnailRead) {
    std::int32_t version = 0, separator = 0;
    OSErr result = ReadInt32(file, version);
    for (int position = kFirstPosition; position <= kLastLeadingPosition && result == noErr; ++position)
        result = ReadField(file, settings, position, mode);
    if (result == noErr) result = ReadEmbeddedImage(file, thumbnail, thumbnailRead);
    if (result == noErr) result = ReadInt32(file, separator);
    for (int position : kTrailingPositions)
        if (result == noErr) result = ReadField(file, settings, position, mode);
    if (result == noErr && version >= kSmoothSinceVersion) result = ReadField(file, settings, kSmoothPosition, mode);
    if (result == noErr && version >= kThumbnailSinceVersion) {
        bool done = false;
        result = ReadJpegThumbnail(thumbnail, file, done, version);
        thumbnailRead = thumbnailRead || done;
    }
    return result;
}

OSErr WritePresets(platform::FileHandle file, const Settings& settings, const ImageStore* thumbnail) {
    OSErr result = WriteInt32(file, kPresetsVersion);
    for (int position = kFirstPosition; position <= kLastLeadingPosition && result == noErr; ++position)
        result = WriteField(file, settings, position);
    if (result == noErr) result = WriteInt32(file, 0);  // no embedded image
    if (result == noErr) result = WriteInt32(file, kSeparator);
    for (int position : kTrailingPositions)
        if (result == noErr) result = WriteField(file, settings, position);
    if (result == noErr) result = WriteField(file, settings, kSmoothPosition);
    if (result == noErr)
        result = OSErr(WriteThumbnail(thumbnail, file, true, kThumbnailMaxSide, kThumbnailMaxSide, kThumbnailQuality));
    return result;
}

}  // namespace

OSErr SaveSettingsFile(const Settings& settings, const ImageStore* thumbnail, const char* path) {
    // Written whole or not at all: a full disk or another run reading the same file
    // meanwhile sees the old file or the new one, never a cut one.
    platform::PendingFile pending;
    std::string error;
    platform::FileHandle file = platform::kNoFile;
    if (!path || !pending.Open(path, error)) return kOpenErr;
    OSErr result = OpenFileForWriting(pending.TempPath().c_str(), file);
    if (result != noErr) return result;
    result = WritePresets(file, settings, thumbnail);
    CloseFile(file);
    if (result == noErr && !pending.Commit(error)) result = writErr;
    return result;
}

OSErr LoadSettingsFile(Settings& settings, ImageStore* thumbnail, const char* path, PresetsRead mode,
                       bool& thumbnailRead) {
    thumbnailRead = false;
    platform::FileHandle file;
    OSErr result = OpenFileForReading(path, file);
    if (result != noErr) return result;
    result = ReadPresets(file, settings, thumbnail, mode, thumbnailRead);
    CloseFile(file);
    return result;
}
