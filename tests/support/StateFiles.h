// Files in the test's private state folder (TESSELUME_STATE_DIR), and stand-ins for it.
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

// Points TESSELUME_STATE_DIR at folder while it lives, then back at the test's own.
struct StateDir {
    std::string saved = std::getenv("TESSELUME_STATE_DIR");
    explicit StateDir(const std::string& folder) { ::setenv("TESSELUME_STATE_DIR", folder.c_str(), 1); }
    ~StateDir() { ::setenv("TESSELUME_STATE_DIR", saved.c_str(), 1); }
};

inline std::string FileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testsupport
