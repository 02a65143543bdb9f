// The filter modules the GIMP bridge offers, and their parameters as GIMP
// procedure arguments. Nothing here talks to GIMP: it reads module files through
// filterhost (without running their code) and turns numbers into descriptors and
// back, so it is the same at query time, at run time and in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FilterHost.h"

namespace tesselume::gimp {

// One module found in the modules folders.
struct FilterModule {
    std::string path;
    std::string procedure;  // plug-in-8bf-<category>-<name>
    filterhost::ModuleInfo info;
};

// One procedure argument after run-mode, image and drawable, for one scripting
// parameter: an integer, a switch (0 or 1) or an enumeration (1-based number).
struct Argument {
    std::string name;         // as GIMP shows it: "mixer-1"
    std::string description;  // the terminology's, with the values it takes
    int32_t minimum = INT32_MIN, maximum = INT32_MAX;
};

// "plug-in-8bf-" and category and name, lower case, each run of other characters
// than letters and digits made one "-", none at either end of a part.
std::string ProcedureName(const std::string& category, const std::string& name);

// The folders searched: the bridge's own, then those of TESSELUME_GIMP_MODULES
// (separated by ':').
std::vector<std::string> ModuleFolders(const std::string& bridgeFolder);

// Every *.8bf in the folders, in name order within each folder. Files that are not
// filter modules, and later modules with a procedure name already taken, are left
// out with one line each in problems.
std::vector<FilterModule> FindModules(const std::vector<std::string>& folders, std::vector<std::string>& problems);

// The GIMP image types ("RGB*, GRAY*") of the modes the module accepts; empty when
// it accepts neither RGB nor greyscale.
std::string ImageTypes(const filterhost::PropertyList& list);

std::vector<Argument> Arguments(const filterhost::Terminology& terms);

// The descriptor for one value per terminology parameter; false with a message
// naming the first value out of range.
bool DescriptorFromValues(const filterhost::Terminology& terms, const std::vector<int32_t>& values,
                          filterhost::Descriptor& descriptor, std::string& error);

// The values of a recorded descriptor, one per terminology parameter; parameters it
// lacks keep their value in values.
void ValuesFromDescriptor(const filterhost::Terminology& terms, const filterhost::Descriptor& descriptor,
                          std::vector<int32_t>& values);

}  // namespace tesselume::gimp
