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

EnumType EnumOf(ParamKind kind) { return kind == ParamKind::glue ? EnumType::glue : EnumType::symmetry; }

OSType EnumTypeCode(ParamKind kind) { return kind == ParamKind::glue ? kGlueType : kSymmetryType; }

// The item the module records for a parameter's value. A switch keeps only its low
// byte on the way, as the module's own recording does.
filterhost::DescriptorItem ItemFor(const ParameterInfo& p, int32_t value) {
    filterhost::DescriptorItem item;
    item.key = p.key;
    switch (p.kind) {
        case ParamKind::integer:
            item.type = typeInteger;
            item.value = value;
            break;
        case ParamKind::boolean:
            item.type = typeBoolean;
            item.value = (value & 0xFF) != 0 ? 1 : 0;
            break;
        case ParamKind::glue:
        case ParamKind::symmetry:
            item.type = typeEnumerated;
            item.enumType = EnumTypeCode(p.kind);
            item.enumValue = IndexToCode(value, EnumOf(p.kind));
            break;
    }
    return item;
}

// Takes an item's value into its field as the module reads a descriptor: an item of
// the wrong type changes nothing, an unknown enumeration code stores 0.
void TakeItem(const ParameterInfo& p, const filterhost::DescriptorItem& item, Settings& settings) {
    int32_t& field = settings.*p.field;
    switch (p.kind) {
        case ParamKind::integer:
            if (item.type == typeInteger) field = item.value;
            break;
        case ParamKind::boolean:
            if (item.type == typeBoolean) field = item.value ? 1 : 0;
            break;
        case ParamKind::glue:
        case ParamKind::symmetry:
            if (item.type == typeEnumerated) CodeToIndex(EnumOf(p.kind), item.enumValue, field);
            break;
    }
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
    descriptor.clear();
    for (const ParameterInfo& p : kParameters) descriptor.push_back(ItemFor(p, settings.*p.field));
    return true;
}

bool WritePresetFile(const std::string& path, const filterhost::Descriptor& descriptor, std::string& error) {
    Settings settings;
    InitialiseSettings(settings, nullptr);
    for (const filterhost::DescriptorItem& item : descriptor)
        if (const ParameterInfo* p = ParameterEntry(item.key)) TakeItem(*p, item, settings);
    errno = 0;
    const OSErr result = SaveSettingsFile(settings, nullptr, path.c_str());
    if (result != noErr) error = FailureText(result);
    return result == noErr;
}

}  // namespace tesselume
