// Signal handling: a signal outside the module's run, or a second one, removes the
// pending output files and ends the program.
#include "OutputFile.h"

#include <csignal>
#include <unistd.h>

namespace tesselume {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t caught = 0;     // the first signal's number
volatile std::sig_atomic_t deferring = 0;  // the module runs and polls for it

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
    platform::RemovePendingFiles();
    static const char message[] = "\ntesselume: interrupted\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(128 + caught);
}

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

}  // namespace tesselume
