// Output files that appear whole or not at all, and the signals that may stop a run.
//
// SIGINT, SIGTERM and SIGHUP are caught from CatchSignals on. While a DeferSignals
// guard lives (the module is running), the first one is only noted: the module sees
// it through abortProc and stops within a row, and the caller reports it. Anywhere
// else, and at a second signal, the handler removes every pending temporary file and
// ends the program at once with 128 + the signal's number.
#pragma once

#include "platform/Files.h"

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

// How the program's outputs are written: a symbolic link is written through, the
// link itself staying; an existing file keeps its mode (and, for root, its owner),
// and one its permission bits protect is refused; "-" is standard output, and it, a
// device or a pipe gets the file copied in at Commit; a signal removes the temporary.
constexpr platform::PendingFileOptions kOutputFile{.writeThroughLinks = true,
                                                   .keepTargetMode = true,
                                                   .streamSpecialTargets = true,
                                                   .inOwnFolder = false,
                                                   .removeOnSignal = true};

}  // namespace tesselume
