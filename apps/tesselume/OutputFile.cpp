// Whole-or-nothing output files and signal handling, which share the list of
// temporary files a signal must remove.
#include "OutputFile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesselume {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t caught = 0;     // the first signal's number
volatile std::sig_atomic_t deferring = 0;  // the module runs and polls for it

// Temporary files a signal must remove; written only with the signals blocked.
constexpr int kSlots = 4;
char pendingPaths[kSlots][PATH_MAX];
volatile std::sig_atomic_t pendingUsed[kSlots];

// Only async-signal-safe calls here.
void OnSignal(int signal) {
    if (caught == 0) {
        caught = signal;
        // The module stops at its next abort check; one that does not check (its dialog
        // is open, say) is not waited for beyond a second.
        if (deferring) {
            ::alarm(1);
            return;
        }
    }
    for (int i = 0; i < kSlots; ++i)
        if (pendingUsed[i]) ::unlink(pendingPaths[i]);
    static const char message[] = "\ntesselume: interrupted\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(128 + caught);
}

// Blocks the caught signals for its lifetime, so that the list of pending files and
// the files themselves change together.
class BlockSignals {
public:
    BlockSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : kSignals) sigaddset(&set, s);
        sigprocmask(SIG_BLOCK, &set, &previous);
    }
    ~BlockSignals() { sigprocmask(SIG_SETMASK, &previous, nullptr); }

private:
    sigset_t previous;
};

}  // namespace

void CatchSignals() {
    for (int s : kSignals) {
        struct sigaction old = {};
        sigaction(s, nullptr, &old);
        if (old.sa_handler == SIG_IGN) continue;  // started under nohup: stay deaf to it
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(s, &action, nullptr);
    }
    struct sigaction alarmAction = {};
    alarmAction.sa_handler = OnSignal;
    sigemptyset(&alarmAction.sa_mask);
    for (int other : kSignals) sigaddset(&alarmAction.sa_mask, other);
    sigaction(SIGALRM, &alarmAction, nullptr);
}

bool Interrupted() { return caught != 0; }

int InterruptedExitCode() { return 128 + caught; }

DeferSignals::DeferSignals() { deferring = 1; }
DeferSignals::~DeferSignals() {
    deferring = 0;
    if (caught) ::alarm(0);  // the module stopped in time: the caller ends the run
}

PendingFile::~PendingFile() {
    if (tempPath.empty()) return;
    BlockSignals block;
    ::unlink(tempPath.c_str());
    Forget();
}

void PendingFile::Forget() {
    if (slot >= 0) pendingUsed[slot] = 0;
    slot = -1;
    tempPath.clear();
}

bool PendingFile::Open(const std::string& targetPath, std::string& error) {
    namespace fs = std::filesystem;
    target = targetPath;
    fs::path folder;
    struct stat existing {};
    bool exists = false;
    std::error_code ignored;
    struct stat link {};
    // A link is written through: the file it names is the one replaced.
    if (target != "-" && ::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
        target = fs::weakly_canonical(target, ignored);
    exists = target != "-" && ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = "a folder";
        return false;
    }
    // Standard output, a device or a pipe gets the finished file copied in at Commit.
    streamed = target == "-" || (exists && !S_ISREG(existing.st_mode));
    if (streamed) {
        const char* tmp = std::getenv("TMPDIR");
        folder = tmp && *tmp ? tmp : "/tmp";
        exists = false;
    } else {
        if (exists && (::access(target.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0)) {
            error = "the file is write-protected";
            return false;
        }
        const fs::path path(target);
        folder = path.has_parent_path() ? path.parent_path() : ".";
    }
    std::string pattern = (folder / ("." + fs::path(streamed ? "tesselume-out" : target).filename().string() +
                                      ".XXXXXX")).string();
    if (pattern.size() >= PATH_MAX) {
        error = std::strerror(ENAMETOOLONG);
        return false;
    }
    BlockSignals block;
    for (slot = 0; slot < kSlots && pendingUsed[slot]; ++slot) {
    }
    if (slot == kSlots) {
        slot = -1;
        error = "too many files open for writing";
        return false;
    }
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = std::strerror(errno);
        slot = -1;
        return false;
    }
    std::memcpy(pendingPaths[slot], pattern.c_str(), pattern.size() + 1);
    pendingUsed[slot] = 1;
    tempPath = pattern;
    // mkstemp makes the file private; give it the target's mode, or a new file's.
    if (exists) {
        if (::geteuid() == 0 && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Keeping root as the owner is harmless; the mode below still applies.
        }
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    ::close(fd);
    return true;
}

namespace {

bool CopyOut(const std::string& path, const std::string& target, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = target == "-" ? STDOUT_FILENO : ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || out < 0) {
        error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    char buffer[1 << 16];
    bool ok = true;
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
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
    ::close(fd);
    if (out != STDOUT_FILENO) ::close(out);
    return ok;
}

}  // namespace

bool PendingFile::Commit(std::string& error) {
    if (streamed) {
        const bool ok = CopyOut(tempPath, target, error);
        BlockSignals block;
        ::unlink(tempPath.c_str());
        Forget();
        return ok;
    }
    BlockSignals block;
    if (std::rename(tempPath.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    Forget();
    return true;
}

}  // namespace tesselume
