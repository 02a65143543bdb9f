// Presets files through the module's presets code, linked in statically.
#include "PresetFiles.h"

#include <cerrno>
#include <cstring>

#include "ParameterNames.h"
#include "store/FileLayer.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"

namespace tesselume {

namespace {

filterhost::DescriptorItem ItemFor(const ParameterInfo& p, int32_t field) {
    const ScriptValue v = ToScriptValue(p, field);
    return {p.key, v.type, v.value, v.enumType, v.enumValue};
}

// The reason a presets call failed: the system's when it left one, else the code.
std::string FailureText(OSErr result) {
    return errno != 0 ? std::strerror(errno) : "the presets code returned " + std::to_string(result);
}

}  // namespace

bool ReadPresetFile(const std::string& path, filterhost::Descriptor& descriptor, std::string& error) {
    Settings settings;
    InitialiseSettings(settings, nullptr);  // factory parameters included
    bool thumbnailRead = false;
    errno = 0;
    const OSErr result = LoadSettingsFile(settings, nullptr, path.c_str(), PresetsRead::everything, thumbnailRead);
    if (result == kOpenErr) {
        error = "cannot read the preset " + path + ": " + FailureText(result);
        return false;
    }
    descriptor = DescriptorOf(settings);
    return true;
}

filterhost::Descriptor DescriptorOf(const Settings& settings) {
    filterhost::Descriptor descriptor;
    for (const ParameterInfo& p : kParameters) descriptor.push_back(ItemFor(p, settings.*p.field));
    return descriptor;
}

bool WritePresetFile(const std::string& path, const filterhost::Descriptor& descriptor, std::string& error) {
    Settings settings;
    InitialiseSettings(settings, nullptr);
    for (const filterhost::DescriptorItem& item : descriptor)
        if (const ParameterInfo* p = ParameterEntry(item.key))
            FromScriptValue(*p, ScriptValue{item.type, item.value, item.enumType, item.enumValue}, settings.*p->field);
    errno = 0;
    const OSErr result = SaveSettingsFile(settings, nullptr, path.c_str());
    if (result != noErr) error = FailureText(result);
    return result == noErr;
}

}  // namespace tesselume
