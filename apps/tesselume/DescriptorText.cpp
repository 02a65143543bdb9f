// Formatting and parsing of the descriptor text form.
#include "DescriptorText.h"

#include "ParameterNames.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <vector>

namespace tesselume {

namespace {

bool PlainCodeCharacter(char c) { return c > ' ' && c < 127 && c != '#'; }

const filterhost::TermParameter* ParameterWithKey(const filterhost::Terminology& terms, OSType key) {
    for (const filterhost::TermParameter& parameter : terms.parameters)
        if (parameter.key == key) return &parameter;
    return nullptr;
}

const filterhost::TermEnumValue* EnumValue(const filterhost::Terminology& terms, OSType type, OSType value) {
    for (const filterhost::TermEnumeration& enumeration : terms.enumerations)
        if (enumeration.type == type)
            for (const filterhost::TermEnumValue& entry : enumeration.values)
                if (entry.key == value) return &entry;
    return nullptr;
}

}  // namespace

std::string CodeText(OSType code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += char((code >> shift) & 0xFF);
    for (char c : text)
        if (!PlainCodeCharacter(c)) {
            char hex[11];
            std::snprintf(hex, sizeof hex, "0x%08X", unsigned(code));
            return hex;
        }
    return text;
}

std::optional<OSType> ParseCode(std::string_view text) {
    if (text.size() == 10 && (text.starts_with("0x") || text.starts_with("0X"))) {
        OSType code = 0;
        const auto [stop, fault] = std::from_chars(text.data() + 2, text.data() + text.size(), code, 16);
        if (fault == std::errc() && stop == text.data() + text.size()) return code;
        return std::nullopt;
    }
    if (text.size() != 4) return std::nullopt;
    OSType code = 0;
    for (char c : text) {
        if (!PlainCodeCharacter(c)) return std::nullopt;
        code = code << 8 | uint8_t(c);
    }
    return code;
}

std::string FormatDescriptor(const filterhost::Descriptor& descriptor, const filterhost::Terminology& terms) {
    std::ostringstream out;
    out << "# Tesselume parameters: key, type, value\n";
    for (const filterhost::DescriptorItem& item : descriptor) {
        std::string line = CodeText(item.key) + " " + CodeText(item.type) + " ";
        if (item.type == typeEnumerated)
            line += CodeText(item.enumType) + " " + CodeText(item.enumValue);
        else if (item.type == typeBoolean)
            line += item.value ? "true" : "false";
        else
            line += std::to_string(item.value);
        const filterhost::TermParameter* parameter = ParameterWithKey(terms, item.key);
        if (parameter) {
            line.resize(std::max<std::size_t>(line.size() + 1, 25), ' ');
            line += "# " + parameter->name;
            if (item.type == typeEnumerated)
                if (const filterhost::TermEnumValue* value = EnumValue(terms, item.enumType, item.enumValue))
                    line += " = " + value->name;
        }
        out << line << '\n';
    }
    return out.str();
}

bool ParseDescriptor(std::string_view text, filterhost::Descriptor& descriptor, std::string& error) {
    descriptor.clear();
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.empty()) continue;

        const std::string where = "line " + std::to_string(number) + ": ";
        filterhost::DescriptorItem item;
        const std::optional<OSType> key = fields.size() >= 3 ? ParseCode(fields[0]) : std::nullopt;
        const std::optional<OSType> type = fields.size() >= 3 ? ParseCode(fields[1]) : std::nullopt;
        if (!key || !type) {
            error = where + "expected a key, a type and a value";
            return false;
        }
        item.key = *key;
        item.type = *type;
        if (item.type == typeEnumerated) {
            const std::optional<OSType> enumType = fields.size() == 4 ? ParseCode(fields[2]) : std::nullopt;
            const std::optional<OSType> enumValue = fields.size() == 4 ? ParseCode(fields[3]) : std::nullopt;
            if (!enumType || !enumValue) {
                error = where + "an enumerated value needs its type and value codes";
                return false;
            }
            item.enumType = *enumType;
            item.enumValue = *enumValue;
        } else if (fields.size() != 3) {
            error = where + "expected a key, a type and a value";
            return false;
        } else if (item.type == typeBoolean) {
            if (fields[2] != "true" && fields[2] != "false") {
                error = where + "a bool is true or false";
                return false;
            }
            item.value = fields[2] == "true" ? 1 : 0;
        } else {
            const std::optional<int32_t> value = ParseInteger(fields[2]);
            if (!value) {
                error = where + "\"" + fields[2] + "\" is not a 32-bit integer";
                return false;
            }
            item.value = *value;
        }
        descriptor.push_back(item);
    }
    return true;
}

}  // namespace tesselume
