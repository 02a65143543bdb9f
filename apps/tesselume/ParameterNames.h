// Parameters on the command line: "NAME=VALUE" read against the module's own
// terminology, turned into the descriptor item a recorded action would hold.
//
// Names match ignoring case, blanks and underscores ("mixer 1", "mixer1",
// "Mixer_1"). Enumerated values are given by name or by code ("screendim",
// "GL62"). Switches take on/off, true/false, yes/no or 1/0 and go to the module as
// booleans; integers must lie in the range the dialog's controls reach.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "FilterHost.h"
#include "settings/Parameters.h"

namespace tesselume {

// A decimal 32-bit integer, optionally signed; nothing else in the text.
std::optional<int32_t> ParseInteger(std::string_view text);

const filterhost::TermParameter* FindParameter(const filterhost::Terminology& terms, std::string_view name);

// The module's table entry for a scripting key, for kinds and ranges; null when unknown.
const ParameterInfo* ParameterEntry(OSType key);

// False with one line naming the fault, and listing the valid names, in error.
bool ParseSetting(const filterhost::Terminology& terms, std::string_view argument, filterhost::DescriptorItem& item,
                  std::string& error);

// Puts item into descriptor, replacing an item of the same key.
void MergeItem(filterhost::Descriptor& descriptor, const filterhost::DescriptorItem& item);

}  // namespace tesselume
