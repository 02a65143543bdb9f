// What the commands share: failures, the parsed command line, and the preparation
// of a run (image, selection, module, parameters).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "FilterHost.h"
#include "ImageFiles.h"

namespace tesselume {

struct Failure {
    int code = kExitOk;
    std::string message;
    bool Failed() const { return code != kExitOk; }
};

Failure Usage(std::string message);  // a command line that does not parse
Failure Fault(std::string message);  // an input, module or output fault
// Prints a failure's message and returns its exit code.
int Report(const Failure& failure);

struct CommandLine {
    std::string command;
    std::vector<std::string> inputs;
    std::map<std::string, std::string> values;                   // options that take one value
    std::set<std::string> flags;
    std::vector<std::pair<std::string, std::string>> sources;    // --set, --play and --preset in order
};

// An option's value, empty when it was not given.
std::string Value(const CommandLine& line, const std::string& name);
// What every run needs: the image (the canvas of --size, --depth and --grey, or the
// file IN), the selection of --mask or --select, the module, the descriptor of --set,
// --play and --preset in their order, and a job that keeps the image's profile and
// stops at Ctrl-C.
struct PreparedRun {
    ImageFile file;
    filterhost::Job job;
    std::unique_ptr<filterhost::Host> host;
    filterhost::Descriptor descriptor;
};
Failure PrepareRun(const CommandLine& line, bool canvas, PreparedRun& run);

// export-psd (ExportPsd.cpp).
int RunExportPsd(const CommandLine& line);

}  // namespace tesselume
