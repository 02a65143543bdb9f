// Initial values, factory reset and enumeration codes of the settings record.
#include "settings/Settings.h"

#include <cstring>

#include "settings/Parameters.h"
#include "store/Glue.h"

void FactoryReset(Settings& settings) {
    for (const ParameterInfo& p : kParameters) settings.*p.field = p.factory;
    settings.renderFlag = 1;
}

void InitialiseSettings(Settings& settings, RunGlobals* owner) {
    settings = Settings{};
    settings.hostCanPreview = 0;
    settings.owner = owner;
    settings.renderMarks[0] = settings.renderMarks[1] = -1;
    settings.previewScale = 1;
    settings.runMode = RunMode::final;
    settings.renderFlag = 1;
    settings.glue = 1;
    for (auto& name : settings.fileNames) name[0] = '\0';
    std::strcpy(settings.settingsFileName, "Tesselume settings.q1r");
    FactoryReset(settings);
}

namespace {

struct CodeFamily {
    char first, second;
    std::int32_t count;
};

constexpr CodeFamily Family(EnumType type) {
    return type == EnumType::glue ? CodeFamily{'G', 'L', kGlueModeCount} : CodeFamily{'S', 'Y', 4};
}

}  // namespace

bool CodeToIndex(EnumType type, std::uint32_t code, std::int32_t& index) {
    const CodeFamily family = Family(type);
    const char c0 = char(code >> 24), c1 = char(code >> 16), d0 = char(code >> 8), d1 = char(code);
    index = 0;
    if (c0 != family.first || c1 != family.second) return false;
    if (d0 < '0' || d0 > '9' || d1 < '0' || d1 > '9') return false;
    const std::int32_t n = (d0 - '0') * 10 + (d1 - '0');
    if (n < 1 || n > family.count) return false;
    index = n;
    return true;
}

std::uint32_t IndexToCode(std::int32_t index, EnumType type) {
    const CodeFamily family = Family(type);
    if (index < 1 || index > family.count) return kNoCode;
    return (std::uint32_t(std::uint8_t(family.first)) << 24) | (std::uint32_t(std::uint8_t(family.second)) << 16) |
           (std::uint32_t('0' + index / 10) << 8) | std::uint32_t('0' + index % 10);
}

namespace {
EnumType EnumOf(ParamKind kind) { return kind == ParamKind::glue ? EnumType::glue : EnumType::symmetry; }
}  // namespace

ScriptValue ToScriptValue(const ParameterInfo& p, std::int32_t field) {
    switch (p.kind) {
    case ParamKind::integer: return {typeInteger, field, 0, 0};
    case ParamKind::boolean: return {typeBoolean, (field & 0xFF) != 0 ? 1 : 0, 0, 0};
    case ParamKind::glue:
    case ParamKind::symmetry: {
        const EnumType type = EnumOf(p.kind);
        return {typeEnumerated, 0, std::uint32_t(type), IndexToCode(field, type)};
    }
    }
    return {};
}

void FromScriptValue(const ParameterInfo& p, const ScriptValue& value, std::int32_t& field) {
    switch (p.kind) {
    case ParamKind::integer:
        if (value.type == typeInteger) field = value.value;
        break;
    case ParamKind::boolean:
        if (value.type == typeBoolean) field = value.value ? 1 : 0;
        break;
    case ParamKind::glue:
    case ParamKind::symmetry:
        if (value.type == typeEnumerated) CodeToIndex(EnumOf(p.kind), value.enumValue, field);
        break;
    }
}
