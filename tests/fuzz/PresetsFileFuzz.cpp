// The presets file reader, every version, with and without a thumbnail.
#include "FuzzFile.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = FuzzInputFile(data, size);
    Settings settings{};
    FactoryReset(settings);
    ImageStore* const thumbnail = FuzzThumbnail(64);
    bool read = false;
    LoadSettingsFile(settings, thumbnail, path, PresetsRead::everything, read);
    LoadSettingsFile(settings, thumbnail, path, PresetsRead::thumbnailOnly, read);
    LoadSettingsFile(settings, nullptr, path, PresetsRead::everything, read);
    return 0;
}
