// Files in the test's private state folder (TESSELUME_STATE_DIR); StateDir stands in for it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/Environment.h"

namespace testsupport {

inline std::string StatePath(const std::string& name) {
    return (std::filesystem::path(std::getenv("TESSELUME_STATE_DIR")) / name).string();
}

inline std::string FileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testsupport
