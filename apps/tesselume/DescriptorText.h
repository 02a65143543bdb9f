// The readable text form of a scripting descriptor, written by --record and read by
// --play: one item a line, key, type and value, with the terminology's names as a
// comment.
//
//   0001 long 33             # mixer 1
//   0013 bool true           # invert 1
//   GLUE enum GLty GL62      # glue = screendim
//
// A four-character code is written as its four characters when they are printable
// and neither blank nor '#', else as 0x and eight hex digits. Reading ignores blank
// lines and everything after a '#'.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "FilterHost.h"

namespace tesselume {

std::string CodeText(OSType code);
std::optional<OSType> ParseCode(std::string_view text);

std::string FormatDescriptor(const filterhost::Descriptor& descriptor, const filterhost::Terminology& terms);
// False with "line N: ..." in error at the first line that does not read.
bool ParseDescriptor(std::string_view text, filterhost::Descriptor& descriptor, std::string& error);

}  // namespace tesselume
