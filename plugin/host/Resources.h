// The module's resources in their Windows byte form, built from readable
// descriptions: the property list (PIPL 16000), the scripting terminology (AETE
// 16000, from the parameter table) and the string table. Used by the resource
// compiler at build time; nothing here runs inside the module.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Bytes BuildPropertyList();
Bytes BuildTerminology();
// Entries: 32-bit id, 32-bit byte count, UTF-8 text without terminator.
Bytes BuildStringTable();
