// POSIX files with advisory locks standing in for share modes.
#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
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

bool RenameFile(const char* from, const char* to) { return std::rename(from, to) == 0; }

bool RemoveFile(const char* path) { return ::unlink(path) == 0; }

}  // namespace platform
