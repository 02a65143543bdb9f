// Presets for the command line: the module's ".q1r" files, read and written by the
// module's own presets code, turned into and out of scripting descriptors.
//
// The descriptor is the one the module records: all 36 parameters, integers as
// long, switches as bool, glue and symmetry as their enumeration codes.
#pragma once

#include <string>

#include "FilterHost.h"

struct Settings;

namespace tesselume {

// Reads a presets file as the module's Open does: factory values first, so fields
// that a short or old file lacks keep them. False with one line in error when the
// file cannot be opened; a file that ends early is not an error.
bool ReadPresetFile(const std::string& path, filterhost::Descriptor& descriptor, std::string& error);

// Writes a recorded descriptor as a presets file with no thumbnail; parameters the
// descriptor lacks take their factory values. False with one line in error.
bool WritePresetFile(const std::string& path, const filterhost::Descriptor& descriptor, std::string& error);

// The descriptor the module records for these settings: all 36 parameters.
filterhost::Descriptor DescriptorOf(const Settings& settings);

}  // namespace tesselume
