// The state the filter keeps between runs in its private state folder: the cached
// settings of the last accepted dialog, the memory dots and their map of pinned
// flags, and the two undo snapshots. Every file but the map is a presets file.
//
// Loads that find no file, or one they cannot read to its end, leave the settings
// and the work block as they were and return the file layer's code; callers may
// ignore it. Every file is written whole under a temporary name and then renamed
// into place, so two runs of the filter sharing the folder never see half a file.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"

struct ImageStore;

constexpr int kMemoryDotCount = 25;
// A dot file no dot shows: it keeps the dialog's settings while a batch of presets
// passes through them.
constexpr int kScratchDot = kMemoryDotCount;

// What an undo snapshot (and the dialog's copy for Cancel) keeps of the settings.
struct SettingsSnapshot {
    char settingsFileName[kPathCapacity];
    std::int32_t values[kParameterCount];  // in the order of kParameters
};

struct UndoSlot {
    SettingsSnapshot snapshot;
    std::int32_t valid;
    std::int32_t hasFile;  // the slot's undo file holds the same settings and a thumbnail
};

// The two undo slots of the work block and the one written last.
struct UndoSlots {
    UndoSlot slot[2];
    std::int32_t last;
};

// The pinned flags of the 25 memory dots, kept in the work block.
struct MemoryDotPins {
    std::int32_t pinned[kMemoryDotCount];
    std::int32_t loaded[kMemoryDotCount];  // as last read from or written to the map
};

// The path of a file in the state folder. Paths that do not fit are refused, and
// without a usable state folder there is no path: both give an empty path and
// false. An empty path never opens, so the state is then simply not kept; there is
// deliberately no shared fallback folder where others could read or plant it.
bool TempFilePath(const char* name, char (&path)[kPathCapacity]);
// The names of the cached settings and the memory dot map in the state folder.
inline constexpr char kCachedSettingsName[] = "Tesselume cached settings C";
inline constexpr char kMemoryDotMapName[] = "Tesselume memdot map 3";

void CaptureSnapshot(const Settings& settings, SettingsSnapshot& snapshot);
void ApplySnapshot(const SettingsSnapshot& snapshot, Settings& settings);

OSErr SaveCachedSettings(const Settings& settings, const ImageStore* thumbnail);
// Reads everything, over the values the record already has (no factory reset).
OSErr LoadCachedSettings(Settings& settings, ImageStore* thumbnail);

// The map file: the value 190, then the 25 pinned flags. Saving merges under a
// lock: dots whose flag this run changed take its flag, the others keep what the
// map holds now (another run may have changed them); pins then holds the result.
OSErr SaveMemoryDotMap(MemoryDotPins& pins);
// Reads all 25 flags or, from a short or missing map, none.
OSErr LoadMemoryDotMap(MemoryDotPins& pins);

// Dot n (0..24, or the scratch dot) as a presets file; kOpenErr for any other n.
OSErr SaveMemoryDot(const Settings& settings, const ImageStore* thumbnail, int n);
OSErr LoadMemoryDot(Settings& settings, ImageStore* thumbnail, int n);
// Whether dot n's file exists and reads to its end.
bool MemoryDotReadable(int n);
// Creates `image` (initialised by the caller) as a size x size colour image and
// fills it with the thumbnail of the presets file at path. False, and the image
// released, when the file holds none.
bool LoadMemoryDotThumbnail(const char* path, ImageStore* image, int32_t size);
// The path of dot n's file; false for n outside 0..24 and the scratch dot.
bool MemoryDotPath(int n, char (&path)[kPathCapacity]);

// Invalidates both undo slots and names slot 0 the last written, as each Start does.
void ClearUndo(UndoSlots& undo);
// Flips the undo index and keeps the settings in that slot; withFile also writes
// the slot's undo file (settings and thumbnail).
void TakeUndoSnapshot(UndoSlots& undo, const Settings& settings, const ImageStore* thumbnail, bool withFile);
// Brings back the other slot when it is valid (its file too, when it has one) and
// flips the index; does nothing otherwise.
void RestoreUndoSnapshot(UndoSlots& undo, Settings& settings, ImageStore* thumbnail);
