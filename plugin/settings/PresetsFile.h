// The presets file ".q1r": the one binary format of every stored parameter set
// (presets, cached settings, memory dots, undo files), with a JPEG thumbnail.
//
// Big-endian 32-bit values: the version 190; the values at file positions 2..33
// of the parameter table; an embedded image block (written as 0, read as older
// files hold it); the separator 1; zoom, aspect, symmetry; smooth (version 26 on);
// the framed thumbnail (version 190 on). Nothing is range-checked.
//
// These functions need no host: the command line links them too. The thumbnail
// is optional everywhere; without one, the file holds "no thumbnail".
#pragma once

#include <cstdint>

#include "PIFilter.h"

struct ImageStore;
struct Settings;

constexpr int32_t kPresetsVersion = 190;

enum class PresetsRead {
    everything = 0,     // parameters into the settings, and the thumbnail
    thumbnailOnly = 1,  // reads past the parameters; takes the thumbnail alone
};

// Writes the file from its start (bytes beyond the new end stay but are never
// read). Returns kOpenErr, writErr or 0.
OSErr SaveSettingsFile(const Settings& settings, const ImageStore* thumbnail, const char* path);

// Reads a file into settings and thumbnail. kOpenErr changes nothing. A file that
// ends early leaves every field it no longer holds as it was and returns readErr.
// thumbnailRead tells whether a thumbnail (or an old file's embedded image) arrived.
OSErr LoadSettingsFile(Settings& settings, ImageStore* thumbnail, const char* path, PresetsRead mode,
                       bool& thumbnailRead);
