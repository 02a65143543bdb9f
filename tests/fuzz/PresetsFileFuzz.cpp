// The presets file reader, every version, with and without a thumbnail.
#include "FuzzFile.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = FuzzInputFile(data, size);
    Settings settings{};
    FactoryReset(settings);
    ImageStore thumbnail;
    InitialiseImage(&thumbnail, nullptr);
    CreateImage(&thumbnail, 64, 64, kKindRGBA8, 0);
    bool read = false;
    LoadSettingsFile(settings, &thumbnail, path, PresetsRead::everything, read);
    LoadSettingsFile(settings, &thumbnail, path, PresetsRead::thumbnailOnly, read);
    LoadSettingsFile(settings, nullptr, path, PresetsRead::everything, read);
    ReleaseImage(&thumbnail);
    return 0;
}
