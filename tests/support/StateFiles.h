// Files in the test's private state folder (TESSELUME_STATE_DIR).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

inline std::string StatePath(const std::string& name) {
    return (std::filesystem::path(std::getenv("TESSELUME_STATE_DIR")) / name).string();
}

inline std::string FileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testsupport
