// The module's own resources, read at run time from the directory the build linked
// into its ".pirsrc" section (the same bytes a host reads from the file).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The bytes of resource (type, id), or an empty span when there is none.
std::span<const std::uint8_t> FindResource(std::uint32_t type, std::int32_t id);
// The bytes of the resource of that type with the given name, or an empty span.
std::span<const std::uint8_t> FindResource(std::uint32_t type, std::string_view name);
