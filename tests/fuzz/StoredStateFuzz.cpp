// The stored-state files: cached settings, the dot map, memory dots and undo files
// (all settings files but the map) read from the state folder.
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzFile.h"
#include "settings/Settings.h"
#include "settings/StoredState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        std::string folder = FuzzTempPath("tesselume-fuzz-state-") + "-XXXXXX";
        if (!::mkdtemp(folder.data())) std::abort();
        ::setenv("TESSELUME_STATE_DIR", folder.c_str(), 1);
        return true;
    }();
    (void)ready;
    char path[kPathCapacity];
    MemoryDotPins pins{};
    ImageStore* const thumbnail = FuzzThumbnail(32);
    Settings settings{};
    FactoryReset(settings);
    // The first byte picks the file the rest is stored as.
    const uint8_t which = size ? data[0] % 3 : 0;
    if (size) ++data, --size;
    if (which == 0 && MemoryDotPath(1, path)) {
        FILE* f = std::fopen(path, "wb");
        if (f) std::fwrite(data, 1, size, f), std::fclose(f);
        LoadMemoryDot(settings, thumbnail, 1);
        LoadMemoryDotThumbnail(path, thumbnail, 32);
    } else {
        const char* input = FuzzInputFile(data, size);
        const char* name = which == 1 ? kMemoryDotMapName : kCachedSettingsName;
        if (TempFilePath(name, path) && std::rename(input, path) == 0) {
            if (which == 1) LoadMemoryDotMap(pins);
            else LoadCachedSettings(settings, thumbnail);
        }
    }
    return 0;
}
