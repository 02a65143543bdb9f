// Lookup in the resource directory linked into the module.
#include "dialog/ModuleResources.h"

#include <cstring>

#include "PIResources.h"

extern "C" const std::uint8_t tesselume_resources_begin[];
extern "C" const std::uint8_t tesselume_resources_end[];

namespace {

template <typename Match>
std::span<const std::uint8_t> Find(std::uint32_t type, Match match) {
    const auto* directory = reinterpret_cast<const PIResourceDirectory*>(tesselume_resources_begin);
    const auto* entries = reinterpret_cast<const PIResourceEntry*>(directory + 1);
    for (std::uint32_t i = 0; i < directory->count; ++i) {
        const PIResourceEntry& e = entries[i];
        if (e.type == type && match(e)) return {tesselume_resources_begin + e.offset, e.size};
    }
    return {};
}

}  // namespace

std::span<const std::uint8_t> FindResource(std::uint32_t type, std::int32_t id) {
    return Find(type, [id](const PIResourceEntry& e) { return e.id == id; });
}

std::span<const std::uint8_t> FindResource(std::uint32_t type, std::string_view name) {
    return Find(type, [name](const PIResourceEntry& e) {
        return std::string_view(e.name, ::strnlen(e.name, kPIResourceNameLength)) == name;
    });
}
