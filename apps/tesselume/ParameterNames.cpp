// Name and value parsing for --set.
#include "ParameterNames.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tesselume {

namespace {

std::string Folded(std::string_view text) {
    std::string folded;
    for (char c : text)
        if (c != ' ' && c != '_') folded += char(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// A code as its four characters, for messages.
std::string CodeName(OSType code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        text += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return text;
}

std::string ParameterNamesList(const filterhost::Terminology& terms) {
    std::string list;
    for (const filterhost::TermParameter& parameter : terms.parameters)
        list += (list.empty() ? "" : ", ") + parameter.name;
    return list;
}

bool ParseEnumerated(const filterhost::Terminology& terms, const filterhost::TermParameter& parameter,
                     std::string_view value, filterhost::DescriptorItem& item, std::string& error) {
    const auto enumeration = std::find_if(terms.enumerations.begin(), terms.enumerations.end(),
                                          [&](const filterhost::TermEnumeration& e) { return e.type == parameter.type; });
    if (enumeration == terms.enumerations.end()) {
        error = "the module's terminology has no values for " + parameter.name;
        return false;
    }
    item.type = typeEnumerated;
    item.enumType = parameter.type;
    const std::string folded = Folded(value);
    for (const filterhost::TermEnumValue& entry : enumeration->values)
        if (Folded(entry.name) == folded) {
            item.enumValue = entry.key;
            return true;
        }
    for (const filterhost::TermEnumValue& entry : enumeration->values) {
        std::string code;
        for (int shift = 24; shift >= 0; shift -= 8) code += char(std::tolower(int((entry.key >> shift) & 0xFF)));
        if (code == folded) {
            item.enumValue = entry.key;
            return true;
        }
    }
    std::string names;
    for (const filterhost::TermEnumValue& entry : enumeration->values)
        names += (names.empty() ? "" : ", ") + entry.name;
    error = "unknown " + parameter.name + " \"" + std::string(value) + "\"; the values are: " + names;
    return false;
}

}  // namespace

std::optional<int32_t> ParseInteger(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, fault] = std::from_chars(text.data(), end, value);
    if (text.empty() || fault != std::errc() || stop != end) return std::nullopt;
    return value;
}

const filterhost::TermParameter* FindParameter(const filterhost::Terminology& terms, std::string_view name) {
    const std::string folded = Folded(name);
    for (const filterhost::TermParameter& parameter : terms.parameters)
        if (Folded(parameter.name) == folded) return &parameter;
    return nullptr;
}

const ParameterInfo* ParameterEntry(OSType key) {
    for (const ParameterInfo& entry : kParameters)
        if (entry.key == key) return &entry;
    return nullptr;
}

bool ParseSetting(const filterhost::Terminology& terms, std::string_view argument, filterhost::DescriptorItem& item,
                  std::string& error) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos) {
        error = "--set takes NAME=VALUE, not \"" + std::string(argument) + "\"";
        return false;
    }
    const std::string_view name = argument.substr(0, equals), value = argument.substr(equals + 1);
    const filterhost::TermParameter* parameter = FindParameter(terms, name);
    if (!parameter) {
        error = "unknown parameter \"" + std::string(name) + "\"; the parameters are: " + ParameterNamesList(terms);
        return false;
    }
    item = filterhost::DescriptorItem{};
    item.key = parameter->key;
    if (parameter->type != typeInteger && parameter->type != typeBoolean)
        return ParseEnumerated(terms, *parameter, value, item, error);

    const ParameterInfo* entry = ParameterEntry(parameter->key);
    if (parameter->type == typeBoolean || (entry && entry->kind == ParamKind::boolean)) {
        const std::string folded = Folded(value);
        item.type = typeBoolean;
        if (folded == "on" || folded == "true" || folded == "yes" || folded == "1") {
            item.value = 1;
            return true;
        }
        if (folded == "off" || folded == "false" || folded == "no" || folded == "0") {
            item.value = 0;
            return true;
        }
        error = parameter->name + " is on or off, not \"" + std::string(value) + "\"";
        return false;
    }
    item.type = typeInteger;
    const std::optional<int32_t> number = ParseInteger(value);
    if (number) item.value = *number;
    const bool inRange = !entry || (item.value >= entry->minimum && item.value <= entry->maximum);
    if (!number || !inRange) {
        error = parameter->name + " takes an integer";
        if (entry) error += " from " + std::to_string(entry->minimum) + " to " + std::to_string(entry->maximum);
        error += ", not \"" + std::string(value) + "\"";
        return false;
    }
    return true;
}

bool CheckItem(const filterhost::Terminology& terms, const filterhost::DescriptorItem& item, std::string& error) {
    const auto parameter = std::find_if(terms.parameters.begin(), terms.parameters.end(),
                                        [&](const filterhost::TermParameter& p) { return p.key == item.key; });
    if (parameter == terms.parameters.end()) {
        error = "unknown parameter key " + CodeName(item.key);
        return false;
    }
    const ParameterInfo* entry = ParameterEntry(item.key);
    const bool enumerated = parameter->type != typeInteger && parameter->type != typeBoolean;
    const OSType expected = enumerated ? typeEnumerated
                            : (parameter->type == typeBoolean || (entry && entry->kind == ParamKind::boolean))
                                ? typeBoolean
                                : typeInteger;
    if (item.type != expected) {
        error = parameter->name + " is " + (expected == typeEnumerated ? "one of its named values"
                                            : expected == typeBoolean  ? "on or off"
                                                                       : "an integer") +
                ", not a " + CodeName(item.type);
        return false;
    }
    if (expected == typeBoolean && item.value != 0 && item.value != 1) {
        error = parameter->name + " is on or off, not " + std::to_string(item.value);
        return false;
    }
    if (expected == typeInteger && entry && (item.value < entry->minimum || item.value > entry->maximum)) {
        error = parameter->name + " takes an integer from " + std::to_string(entry->minimum) + " to " +
                std::to_string(entry->maximum) + ", not " + std::to_string(item.value);
        return false;
    }
    if (expected == typeEnumerated) {
        const auto enumeration = std::find_if(terms.enumerations.begin(), terms.enumerations.end(),
                                              [&](const filterhost::TermEnumeration& e) { return e.type == parameter->type; });
        const bool known = item.enumType == parameter->type && enumeration != terms.enumerations.end() &&
                           std::any_of(enumeration->values.begin(), enumeration->values.end(),
                                       [&](const filterhost::TermEnumValue& v) { return v.key == item.enumValue; });
        if (!known) {
            error = "unknown " + parameter->name + " " + CodeName(item.enumValue);
            return false;
        }
    }
    return true;
}

std::string FactoryText(const filterhost::Terminology& terms, const ParameterInfo& p) {
    switch (p.kind) {
        case ParamKind::integer: return std::to_string(p.factory);
        case ParamKind::boolean: return p.factory ? "on" : "off";
        case ParamKind::glue:
        case ParamKind::symmetry: {
            const OSType code = IndexToCode(p.factory, p.kind == ParamKind::glue ? EnumType::glue : EnumType::symmetry);
            for (const filterhost::TermEnumeration& enumeration : terms.enumerations)
                for (const filterhost::TermEnumValue& value : enumeration.values)
                    if (value.key == code) return value.name;
            return CodeName(code);
        }
    }
    return {};
}

void MergeItem(filterhost::Descriptor& descriptor, const filterhost::DescriptorItem& item) {
    for (filterhost::DescriptorItem& existing : descriptor)
        if (existing.key == item.key) {
            existing = item;
            return;
        }
    descriptor.push_back(item);
}

}  // namespace tesselume
