// Finds or creates the per-user state folder.
#include "platform/StateFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Creates every missing folder of path (mode 0700); true when path then exists.
bool MakeFolders(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// A usable folder is a real directory (not a link) owned by us that nobody else can
// write to. Anything else is refused as it is: changing a folder the user named is
// not ours to do.
bool Usable(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0 &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string FolderPath() {
    if (const char* dir = std::getenv("TESSELUME_STATE_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/tesselume";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.local/state/tesselume";
    return {};
}

}  // namespace

bool StateFolder(char* buffer, std::size_t capacity) {
    if (capacity > 0) buffer[0] = '\0';
    std::string path = FolderPath();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty() || !MakeFolders(path) || !Usable(path)) return false;
    path += '/';
    if (path.size() + 1 > capacity) return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace platform
