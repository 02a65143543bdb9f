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

// Checks an item from a recording or a presets file as --set checks a value: a key
// the terminology names, its type, and a value within the parameter's range. False
// with one line naming the fault in error.
bool CheckItem(const filterhost::Terminology& terms, const filterhost::DescriptorItem& item, std::string& error);

// A parameter's factory value as "tesselume info" shows it: a number, on or off, or
// the enumeration's name.
std::string FactoryText(const filterhost::Terminology& terms, const ParameterInfo& p);

// Puts item into descriptor, replacing an item of the same key.
void MergeItem(filterhost::Descriptor& descriptor, const filterhost::DescriptorItem& item);

}  // namespace tesselume
