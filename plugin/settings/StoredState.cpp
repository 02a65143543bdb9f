// Cached settings, memory dots and undo snapshots in the state folder.
#include "settings/StoredState.h"

#include <cstdio>
#include <cstring>

#include "platform/StateFolder.h"
#include "store/FileLayer.h"
#include "settings/PresetsFile.h"
#include "store/ImageStore.h"

namespace {

constexpr char kCachedSettingsName[] = "Tesselume cached settings C";
constexpr char kMemoryDotMapName[] = "Tesselume memdot map 3";
constexpr std::int32_t kMapVersion = 190;

bool UndoPath(int slot, char (&path)[kPathCapacity]) {
    char name[32];
    std::snprintf(name, sizeof name, "Tesselume undo %d", slot);
    return TempFilePath(name, path);
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
    bool thumbnailRead = false;
    return LoadSettingsFile(settings, thumbnail, path, PresetsRead::everything, thumbnailRead);
}

OSErr SaveMemoryDotMap(const MemoryDotPins& pins) {
    char path[kPathCapacity];
    TempFilePath(kMemoryDotMapName, path);
    platform::FileHandle file;
    OSErr result = OpenFileForWriting(path, file);
    if (result != noErr) return result;
    result = WriteInt32(file, kMapVersion);
    for (int i = 0; i < kMemoryDotCount && result == noErr; ++i) result = WriteInt32(file, pins.pinned[i]);
    CloseFile(file);
    return result;
}

OSErr LoadMemoryDotMap(MemoryDotPins& pins) {
    char path[kPathCapacity];
    TempFilePath(kMemoryDotMapName, path);
    platform::FileHandle file;
    OSErr result = OpenFileForReading(path, file);
    if (result != noErr) return result;
    std::int32_t version = 0;
    result = ReadInt32(file, version);
    for (int i = 0; i < kMemoryDotCount && result == noErr; ++i) result = ReadInt32(file, pins.pinned[i]);
    CloseFile(file);
    return result;
}

bool MemoryDotPath(int n, char (&path)[kPathCapacity]) {
    path[0] = '\0';
    if (n < 0 || n >= kMemoryDotCount) return false;
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
    bool thumbnailRead = false;
    return LoadSettingsFile(settings, thumbnail, path, PresetsRead::everything, thumbnailRead);
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
    bool thumbnailRead = false;
    if (slot.hasFile && UndoPath(other, path))
        LoadSettingsFile(settings, thumbnail, path, PresetsRead::everything, thumbnailRead);
    undo.last = other;
}
