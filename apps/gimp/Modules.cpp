// Finding modules and mapping their parameters to procedure arguments.
#include "Modules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "ParameterNames.h"

namespace tesselume::gimp {

namespace {

// Lower case, each run of other characters than letters and digits one "-", none
// at either end.
std::string Slug(const std::string& text) {
    std::string slug;
    bool gap = false;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !slug.empty()) slug += '-';
            slug += char(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return slug;
}

const filterhost::TermEnumeration* EnumerationOf(const filterhost::Terminology& terms,
                                                 const filterhost::TermParameter& parameter) {
    for (const filterhost::TermEnumeration& enumeration : terms.enumerations)
        if (enumeration.type == parameter.type) return &enumeration;
    return nullptr;
}

bool IsSwitch(const filterhost::TermParameter& parameter) {
    const ParameterInfo* entry = ParameterEntry(parameter.key);
    return parameter.type == typeBoolean || (entry && entry->kind == ParamKind::boolean);
}

}  // namespace

std::string ProcedureName(const std::string& category, const std::string& name) {
    return "plug-in-8bf-" + Slug(category) + "-" + Slug(name);
}

std::vector<std::string> ModuleFolders(const std::string& bridgeFolder) {
    std::vector<std::string> folders = {bridgeFolder};
    const char* extra = std::getenv("TESSELUME_GIMP_MODULES");
    std::string list = extra ? extra : "";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (end > start) folders.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

std::vector<FilterModule> FindModules(const std::vector<std::string>& folders, std::vector<std::string>& problems) {
    std::vector<FilterModule> modules;
    std::set<std::string> taken;
    for (const std::string& folder : folders) {
        std::error_code fault;
        std::vector<std::string> paths;
        for (const auto& entry : std::filesystem::directory_iterator(folder, fault))
            if (entry.path().extension() == ".8bf") paths.push_back(entry.path().string());
        if (fault) {
            problems.push_back("cannot read the modules folder " + folder + ": " + fault.message());
            continue;
        }
        std::sort(paths.begin(), paths.end());
        for (const std::string& path : paths) {
            FilterModule module;
            module.path = path;
            std::string error;
            if (!filterhost::ReadModuleInfo(path, module.info, error)) {
                problems.push_back(error);
                continue;
            }
            module.procedure = ProcedureName(module.info.properties.category, module.info.properties.name);
            if (!taken.insert(module.procedure).second) {
                problems.push_back(path + " is left out: an earlier module already provides " + module.procedure);
                continue;
            }
            modules.push_back(std::move(module));
        }
    }
    return modules;
}

std::string ImageTypes(const filterhost::PropertyList& list) {
    const auto accepts = [&list](std::initializer_list<int16_t> modes) {
        return std::any_of(modes.begin(), modes.end(),
                           [&list](int16_t mode) { return filterhost::AcceptsImageMode(list, mode, true); });
    };
    std::string types;
    if (accepts({plugInModeRGBColor, plugInModeRGB48})) types = "RGB*";
    if (accepts({plugInModeGrayScale, plugInModeGray16})) types += types.empty() ? "GRAY*" : ", GRAY*";
    return types;
}

std::vector<Argument> Arguments(const filterhost::Terminology& terms) {
    std::vector<Argument> arguments;
    for (const filterhost::TermParameter& parameter : terms.parameters) {
        Argument argument;
        argument.name = Slug(parameter.name);
        argument.description = parameter.description.empty() ? parameter.name : parameter.description;
        if (const filterhost::TermEnumeration* enumeration = EnumerationOf(terms, parameter)) {
            argument.minimum = 1;
            argument.maximum = int32_t(enumeration->values.size());
            std::string names;
            for (std::size_t i = 0; i < enumeration->values.size(); ++i)
                names += (i ? ", " : "") + std::to_string(i + 1) + " " + enumeration->values[i].name;
            argument.description += ": " + names;
            arguments.push_back(argument);
            continue;
        }
        if (IsSwitch(parameter)) {
            argument.minimum = 0;
            argument.maximum = 1;
            argument.description += ": 0 off, 1 on";
        } else if (const ParameterInfo* entry = ParameterEntry(parameter.key)) {
            argument.minimum = entry->minimum;
            argument.maximum = entry->maximum;
            argument.description += ": " + std::to_string(entry->minimum) + " to " + std::to_string(entry->maximum);
        }
        arguments.push_back(argument);
    }
    return arguments;
}

bool DescriptorFromValues(const filterhost::Terminology& terms, const std::vector<int32_t>& values,
                          filterhost::Descriptor& descriptor, std::string& error) {
    const std::vector<Argument> arguments = Arguments(terms);
    descriptor.clear();
    for (std::size_t i = 0; i < terms.parameters.size() && i < values.size(); ++i) {
        const filterhost::TermParameter& parameter = terms.parameters[i];
        const int32_t value = values[i];
        if (value < arguments[i].minimum || value > arguments[i].maximum) {
            error = parameter.name + " takes " + std::to_string(arguments[i].minimum) + " to " +
                    std::to_string(arguments[i].maximum) + ", not " + std::to_string(value);
            return false;
        }
        filterhost::DescriptorItem item;
        item.key = parameter.key;
        if (const filterhost::TermEnumeration* enumeration = EnumerationOf(terms, parameter)) {
            item.type = typeEnumerated;
            item.enumType = parameter.type;
            item.enumValue = enumeration->values[std::size_t(value - 1)].key;
        } else {
            item.type = IsSwitch(parameter) ? typeBoolean : typeInteger;
            item.value = value;
        }
        descriptor.push_back(item);
    }
    return true;
}

void ValuesFromDescriptor(const filterhost::Terminology& terms, const filterhost::Descriptor& descriptor,
                          std::vector<int32_t>& values) {
    values.resize(terms.parameters.size(), 0);
    for (std::size_t i = 0; i < terms.parameters.size(); ++i) {
        const filterhost::TermParameter& parameter = terms.parameters[i];
        const auto item = std::find_if(descriptor.begin(), descriptor.end(),
                                       [&](const filterhost::DescriptorItem& d) { return d.key == parameter.key; });
        if (item == descriptor.end()) continue;
        if (item->type != typeEnumerated) {
            values[i] = item->value;
            continue;
        }
        if (const filterhost::TermEnumeration* enumeration = EnumerationOf(terms, parameter))
            for (std::size_t j = 0; j < enumeration->values.size(); ++j)
                if (enumeration->values[j].key == item->enumValue) values[i] = int32_t(j + 1);
    }
}

}  // namespace tesselume::gimp
