// Finds or creates the per-user state folder.
#include "platform/StateFolder.h"

#include <atomic>
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
// not ours to do. Returns why it is refused, or null when it is usable.
const char* Refusal(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return "it cannot be created";
    if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
    if (!S_ISDIR(info.st_mode)) return "it is not a folder";
    if (info.st_uid != ::geteuid()) return "it belongs to another user";
    if (info.st_mode & 022) return "others can write to it";
    if (::access(path.c_str(), W_OK | X_OK) != 0) return "it is not writable";
    return nullptr;
}

// Whether the current run has been told that it has no state folder.
std::atomic<bool> told{false};

void Tell(const std::string& path, const char* why) {
    if (told.exchange(true)) return;
    if (path.empty())
        std::fprintf(stderr, "Tesselume: no state folder (neither TESSELUME_STATE_DIR nor HOME is set)");
    else
        std::fprintf(stderr, "Tesselume: the state folder %s is not used: %s", path.c_str(), why);
    std::fprintf(stderr, "; this run keeps no settings, memory dots or undo\n");
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
    const char* why = path.empty() ? "" : !MakeFolders(path) ? "it cannot be created" : Refusal(path);
    if (!why && path.size() + 2 > capacity) why = "its path is too long";
    if (why) {
        Tell(path, why);
        return false;
    }
    path += '/';
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

void NewStateFolderRun() { told = false; }

}  // namespace platform
