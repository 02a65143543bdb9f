// Output files that appear whole or not at all, and the signals that may stop a run.
//
// SIGINT, SIGTERM and SIGHUP are caught from CatchSignals on. While a DeferSignals
// guard lives (the module is running), the first one is only noted: the module sees
// it through abortProc and stops within a row, and the caller reports it. Anywhere
// else, and at a second signal, the handler removes every pending temporary file and
// ends the program at once with 128 + the signal's number.
#pragma once

#include <string>

namespace tesselume {

void CatchSignals();
bool Interrupted();
int InterruptedExitCode();  // 128 + the signal's number

class DeferSignals {
public:
    DeferSignals();
    ~DeferSignals();
    DeferSignals(const DeferSignals&) = delete;
    DeferSignals& operator=(const DeferSignals&) = delete;
};

// A file written under a temporary name beside its target and renamed over it by
// Commit; removed when not committed, by the destructor or by a signal.
//
// Open refuses a target that is not a regular file or that its permission bits keep
// the user from writing (mode 444 is refused even for root). The new file takes an
// existing target's mode (and, for root, its owner); a symbolic link is written
// through, the link itself staying. The target "-" is standard output; it, a device
// and a pipe get the file written in $TMPDIR and copied to them at Commit.
class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    bool Open(const std::string& target, std::string& error);
    const std::string& TempPath() const { return tempPath; }
    bool Commit(std::string& error);

private:
    void Forget();
    std::string target, tempPath;
    int slot = -1;
    bool streamed = false;
};

}  // namespace tesselume
