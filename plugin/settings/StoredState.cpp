// Cached settings, memory dots and undo snapshots in the state folder.
#include "settings/StoredState.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/StateFolder.h"
#include "store/FileLayer.h"
#include "settings/PresetsFile.h"
#include "store/ImageStore.h"

namespace {

constexpr char kMemoryDotMapLockName[] = "Tesselume memdot map 3 lock";
constexpr std::int32_t kMapVersion = 190;

bool UndoPath(int slot, char (&path)[kPathCapacity]) {
    char name[32];
    std::snprintf(name, sizeof name, "Tesselume undo %d", slot);
    return TempFilePath(name, path);
}

// Reads a presets file all or nothing: a file that cannot be read to its end (cut
// short by a crash, say) leaves the settings as they were rather than half-loaded.
OSErr LoadStateFile(Settings& settings, ImageStore* thumbnail, const char* path) {
    Settings read = settings;
    bool thumbnailRead = false;
    const OSErr result = LoadSettingsFile(read, thumbnail, path, PresetsRead::everything, thumbnailRead);
    if (result == noErr) settings = read;
    return result;
}

// The 25 pinned flags of a map file, all or none.
OSErr ReadMap(const char* path, std::int32_t (&pinned)[kMemoryDotCount]) {
    platform::FileHandle file;
    OSErr result = OpenFileForReading(path, file);
    if (result != noErr) return result;
    std::int32_t version = 0, values[kMemoryDotCount];
    result = ReadInt32(file, version);
    for (int i = 0; i < kMemoryDotCount && result == noErr; ++i) result = ReadInt32(file, values[i]);
    CloseFile(file);
    if (result == noErr) std::memcpy(pinned, values, sizeof values);
    return result;
}

}  // namespace

bool TempFilePath(const char* name, char (&path)[kPathCapacity]) {
    if (!platform::StateFolder(path, kPathCapacity)) return false;
    const std::size_t folder = std::strlen(path), length = std::strlen(name);
    if (folder + length + 1 > kPathCapacity) {
        path[0] = '\0';
        return false;
    }
    std::memcpy(path + folder, name, length + 1);
    return true;
}

void CaptureSnapshot(const Settings& settings, SettingsSnapshot& snapshot) {
    std::memcpy(snapshot.settingsFileName, settings.settingsFileName, kPathCapacity);
    for (int i = 0; i < kParameterCount; ++i) snapshot.values[i] = settings.*kParameters[i].field;
}

void ApplySnapshot(const SettingsSnapshot& snapshot, Settings& settings) {
    std::memcpy(settings.settingsFileName, snapshot.settingsFileName, kPathCapacity);
    for (int i = 0; i < kParameterCount; ++i) settings.*kParameters[i].field = snapshot.values[i];
}

OSErr SaveCachedSettings(const Settings& settings, const ImageStore* thumbnail) {
    char path[kPathCapacity];
    TempFilePath(kCachedSettingsName, path);
    return SaveSettingsFile(settings, thumbnail, path);
}

OSErr LoadCachedSettings(Settings& settings, ImageStore* thumbnail) {
    char path[kPathCapacity];
    TempFilePath(kCachedSettingsName, path);
    return LoadStateFile(settings, thumbnail, path);
}

OSErr SaveMemoryDotMap(MemoryDotPins& pins) {
    char path[kPathCapacity], lockPath[kPathCapacity];
    if (!TempFilePath(kMemoryDotMapName, path) || !TempFilePath(kMemoryDotMapLockName, lockPath)) return kOpenErr;
    const platform::FileHandle lock = platform::LockExclusively(lockPath);
    if (lock == platform::kNoFile) return kOpenErr;
    // Another run may have pinned or freed dots since this one read the map: its
    // flags stand for every dot this run left as it found it.
    std::int32_t onDisk[kMemoryDotCount];
    if (ReadMap(path, onDisk) == noErr)
        for (int i = 0; i < kMemoryDotCount; ++i)
            if (pins.pinned[i] == pins.loaded[i]) pins.pinned[i] = onDisk[i];
    platform::PendingFile pending;
    std::string error;
    platform::FileHandle file = platform::kNoFile;
    OSErr result = pending.Open(path, error) ? OpenFileForWriting(pending.TempPath().c_str(), file) : kOpenErr;
    if (result == noErr) {
        result = WriteInt32(file, kMapVersion);
        for (int i = 0; i < kMemoryDotCount && result == noErr; ++i) result = WriteInt32(file, pins.pinned[i]);
        CloseFile(file);
    }
    if (result == noErr && !pending.Commit(error)) result = writErr;
    if (result == noErr) std::memcpy(pins.loaded, pins.pinned, sizeof pins.loaded);
    platform::CloseFile(lock);
    return result;
}

OSErr LoadMemoryDotMap(MemoryDotPins& pins) {
    char path[kPathCapacity];
    TempFilePath(kMemoryDotMapName, path);
    const OSErr result = ReadMap(path, pins.pinned);
    if (result == noErr) std::memcpy(pins.loaded, pins.pinned, sizeof pins.loaded);
    return result;
}

bool MemoryDotPath(int n, char (&path)[kPathCapacity]) {
    path[0] = '\0';
    if (n < 0 || n > kScratchDot) return false;
    char name[64];
    std::snprintf(name, sizeof name, "%s memory dot %d%s", "Tesselume", n, ".q1r");
    return TempFilePath(name, path);
}

OSErr SaveMemoryDot(const Settings& settings, const ImageStore* thumbnail, int n) {
    char path[kPathCapacity];
    if (!MemoryDotPath(n, path)) return kOpenErr;
    return SaveSettingsFile(settings, thumbnail, path);
}

OSErr LoadMemoryDot(Settings& settings, ImageStore* thumbnail, int n) {
    char path[kPathCapacity];
    if (!MemoryDotPath(n, path)) return kOpenErr;
    return LoadStateFile(settings, thumbnail, path);
}

bool MemoryDotReadable(int n) {
    char path[kPathCapacity];
    if (!MemoryDotPath(n, path)) return false;
    // Without a thumbnail store the reader skips the picture, so this only reads.
    Settings unused{};
    bool thumbnailRead = false;
    return LoadSettingsFile(unused, nullptr, path, PresetsRead::thumbnailOnly, thumbnailRead) == noErr;
}

bool LoadMemoryDotThumbnail(const char* path, ImageStore* image, int32_t size) {
    if (!image || !CreateImage(image, size, size, kKindRGBA8, 0)) return false;
    // Thumbnail-only reads leave the settings alone; the record only gives them a place.
    Settings unused{};
    bool thumbnailRead = false;
    LoadSettingsFile(unused, image, path, PresetsRead::thumbnailOnly, thumbnailRead);
    if (!thumbnailRead) ReleaseImage(image);
    return thumbnailRead;
}

void ClearUndo(UndoSlots& undo) {
    undo.slot[0].valid = undo.slot[1].valid = 0;
    undo.last = 0;
}

void TakeUndoSnapshot(UndoSlots& undo, const Settings& settings, const ImageStore* thumbnail, bool withFile) {
    undo.last ^= 1;
    UndoSlot& slot = undo.slot[undo.last];
    CaptureSnapshot(settings, slot.snapshot);
    slot.hasFile = 0;
    char path[kPathCapacity];
    // A slot claims its file only when the file was written, so that a stale file
    // of an earlier run is never taken for this snapshot.
    if (withFile && UndoPath(undo.last, path)) slot.hasFile = SaveSettingsFile(settings, thumbnail, path) == noErr;
    slot.valid = 1;
}

void RestoreUndoSnapshot(UndoSlots& undo, Settings& settings, ImageStore* thumbnail) {
    const int other = undo.last ^ 1;
    const UndoSlot& slot = undo.slot[other];
    if (!slot.valid) return;
    ApplySnapshot(slot.snapshot, settings);
    char path[kPathCapacity];
    if (slot.hasFile && UndoPath(other, path)) LoadStateFile(settings, thumbnail, path);
    undo.last = other;
}
