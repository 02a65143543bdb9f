// POSIX files with advisory locks standing in for share modes.
#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

FileHandle OpenLocked(const char* path, int flags, int lock) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return kNoFile;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        ::close(fd);
        return kNoFile;
    }
    return fd;
}

}  // namespace

FileHandle OpenForReading(const char* path) { return OpenLocked(path, O_RDONLY, LOCK_SH); }

FileHandle OpenForWriting(const char* path) { return OpenLocked(path, O_WRONLY | O_CREAT, LOCK_EX); }

long ReadBytes(FileHandle file, void* data, std::size_t size) {
    auto* out = static_cast<unsigned char*>(data);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(file, out + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

bool WriteBytes(FileHandle file, const void* data, std::size_t size) {
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t put = 0;
    while (put < size) {
        ssize_t n = ::write(file, in + put, size - put);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        put += static_cast<std::size_t>(n);
    }
    return true;
}

bool TruncateHere(FileHandle file) {
    off_t at = ::lseek(file, 0, SEEK_CUR);
    return at >= 0 && ::ftruncate(file, at) == 0;
}

void CloseFile(FileHandle file) {
    if (file != kNoFile) ::close(file);
}

bool MoveWithoutReplacing(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a second link, then the first goes.
    if (::link(from, to) != 0) return false;
    ::unlink(from);
    return true;
}

FileHandle LockExclusively(const char* path) {
    const int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return kNoFile;
    // Holders keep the lock for a few file operations; 200 tries 5 ms apart outlast them.
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        const timespec pause{0, 5'000'000};
        ::nanosleep(&pause, nullptr);
    }
    ::close(fd);
    return kNoFile;
}

PendingFile::~PendingFile() {
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
}

bool PendingFile::Open(const std::string& targetPath, std::string& error) {
    // A link in the target's place is refused rather than replaced or followed: the
    // file someone planted it to reach stays untouched.
    struct stat existing;
    if (targetPath.empty() || (::lstat(targetPath.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))) {
        error = std::strerror(targetPath.empty() ? ENOENT : ELOOP);
        return false;
    }
    target = targetPath;
    const std::filesystem::path path(targetPath);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; give it the permissions a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    tempPath = pattern;
    return true;
}

bool PendingFile::Commit(std::string& error) {
    if (std::rename(tempPath.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    tempPath.clear();
    return true;
}

}  // namespace platform
