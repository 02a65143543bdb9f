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

std::string_view FindString(std::int32_t id) {
    std::span<const std::uint8_t> table = FindResource(StringTableType, 16000);
    std::size_t at = 0;
    while (at + 8 <= table.size()) {
        std::uint32_t entryId, length;
        std::memcpy(&entryId, table.data() + at, 4);
        std::memcpy(&length, table.data() + at + 4, 4);
        if (at + 8 + length > table.size()) break;
        if (std::int32_t(entryId) == id) return {reinterpret_cast<const char*>(table.data() + at + 8), length};
        at += 8 + length;
    }
    return {};
}
