// POSIX files with advisory locks standing in for share modes, and whole-or-nothing
// files with the list of temporaries a signal handler removes.
#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

namespace {

// Temporaries RemovePendingFiles removes: 1 a file, 2 a folder with what it holds.
// Written only with the signals blocked.
constexpr int kSlots = 8;
char pendingPaths[kSlots][PATH_MAX];
volatile std::sig_atomic_t pendingKind[kSlots];

// Blocks every signal while it lives, when asked to, so that the list and the files
// it names change together.
class BlockSignals {
public:
    explicit BlockSignals(bool block) : active(block) {
        if (!active) return;
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
    }
    ~BlockSignals() {
        if (active) pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    BlockSignals(const BlockSignals&) = delete;
    BlockSignals& operator=(const BlockSignals&) = delete;

private:
    bool active;
    sigset_t previous;
};

// The kernel's directory entry, read with the raw call because readdir may allocate.
struct DirectoryEntry {
    uint64_t inode;
    int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Removes the files in a folder, then the folder. Async-signal-safe. Entries are read
// again until a pass removes nothing, since removing while reading may skip some.
void RemoveFolder(const char* path) {
    for (int pass = 0; pass < 4; ++pass) {
        const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) break;
        bool removed = false;
        alignas(8) char buffer[2048];
        for (long got; (got = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer)) > 0;)
            for (long at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
                at += entry->length;
                const char* name = entry->name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
                removed |= ::unlinkat(folder, name, 0) == 0;
            }
        ::close(folder);
        if (!removed) break;
    }
    ::rmdir(path);
}

// Copies the finished file to standard output, a device or a pipe.
bool CopyOut(const std::string& path, const std::string& target, std::string& error) {
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = target == "-" ? STDOUT_FILENO : ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (in < 0 || out < 0) {
        error = std::strerror(errno);
        if (in >= 0) ::close(in);
        return false;
    }
    char buffer[1 << 16];
    bool ok = true;
    while (ok) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < got;) {
            const ssize_t put = ::write(out, buffer + done, std::size_t(got - done));
            if (put < 0 && errno == EINTR) continue;
            ok = put > 0;
            done += put > 0 ? put : 0;
        }
    }
    if (!ok) error = std::strerror(errno);
    ::close(in);
    if (out != STDOUT_FILENO) ::close(out);
    return ok;
}

}  // namespace

void RemovePendingFiles() {
    for (int i = 0; i < kSlots; ++i) {
        if (pendingKind[i] == 1) ::unlink(pendingPaths[i]);
        if (pendingKind[i] == 2) RemoveFolder(pendingPaths[i]);
    }
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
    BlockSignals block(slot >= 0);
    if (!folder.empty()) RemoveFolder(folder.c_str());
    else if (!tempPath.empty()) ::unlink(tempPath.c_str());
    if (slot >= 0) pendingKind[slot] = 0;
    slot = -1;
    folder.clear();
    tempPath.clear();
}

bool PendingFile::Open(const std::string& targetPath, std::string& error) {
    namespace fs = std::filesystem;
    Discard();
    if (targetPath.empty()) {
        error = std::strerror(ENOENT);
        return false;
    }
    target = targetPath;
    const bool standardOutput = options.streamSpecialTargets && target == "-";
    struct stat link {};
    if (!standardOutput && ::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Refused rather than replaced or followed, unless the caller writes through links.
        if (!options.writeThroughLinks) {
            error = std::strerror(ELOOP);
            return false;
        }
        std::error_code ignored;
        target = fs::weakly_canonical(target, ignored).string();
    }
    struct stat existing {};
    bool exists = !standardOutput && ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = "a folder";
        return false;
    }
    streamed = standardOutput || (exists && !S_ISREG(existing.st_mode));
    if (streamed && !options.streamSpecialTargets) {
        error = "not a regular file";
        return false;
    }
    if (exists && !streamed && options.keepTargetMode &&
        (::access(target.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0)) {
        error = "the file is write-protected";
        return false;
    }

    // The new file's mode, given at Commit so that a writer that replaces the
    // temporary with a file of its own does not change it.
    ownerUid = ownerGid = -1;
    if (exists && !streamed && options.keepTargetMode) {
        mode = existing.st_mode & 07777;
        if (::geteuid() == 0) ownerUid = int(existing.st_uid), ownerGid = int(existing.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    fs::path place;
    if (streamed) {
        const char* tmp = std::getenv("TMPDIR");
        place = tmp && *tmp ? tmp : "/tmp";
    } else {
        const fs::path path(target);
        place = path.has_parent_path() ? path.parent_path() : ".";
    }
    const std::string name = streamed ? "tesselume-out" : fs::path(target).filename().string();
    std::string pattern = (place / ("." + name + ".XXXXXX")).string();
    if (pattern.size() + (options.inOwnFolder ? name.size() + 1 : 0) >= PATH_MAX) {
        error = std::strerror(ENAMETOOLONG);
        return false;
    }

    BlockSignals block(options.removeOnSignal);
    if (options.removeOnSignal) {
        for (slot = 0; slot < kSlots && pendingKind[slot]; ++slot) {
        }
        if (slot == kSlots) {
            slot = -1;
            error = "too many files open for writing";
            return false;
        }
    }
    int fd = -1;
    if (options.inOwnFolder) {
        if (::mkdtemp(pattern.data())) {
            folder = pattern;
            tempPath = folder + "/" + name;
            fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        }
    } else {
        fd = ::mkstemp(pattern.data());
        if (fd >= 0) tempPath = pattern;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        if (!folder.empty()) ::rmdir(folder.c_str());
        folder.clear();
        tempPath.clear();
        slot = -1;
        return false;
    }
    ::close(fd);
    if (slot >= 0) {
        const std::string& listed = folder.empty() ? tempPath : folder;
        std::memcpy(pendingPaths[slot], listed.c_str(), listed.size() + 1);
        pendingKind[slot] = folder.empty() ? 1 : 2;
    }
    return true;
}

bool PendingFile::Commit(std::string& error) {
    if (tempPath.empty()) {
        error = "no file is being written";
        return false;
    }
    if (streamed) {
        const bool ok = CopyOut(tempPath, target, error);
        Discard();
        return ok;
    }
    // The owner first: changing it may clear set-id bits that the mode then restores.
    if (ownerUid >= 0 && ::chown(tempPath.c_str(), uid_t(ownerUid), gid_t(ownerGid)) != 0) {
        // Keeping root as the owner is harmless; the mode below still applies.
    }
    ::chmod(tempPath.c_str(), mode_t(mode));
    BlockSignals block(slot >= 0);
    if (std::rename(tempPath.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    tempPath.clear();
    Discard();
    return true;
}

}  // namespace platform
