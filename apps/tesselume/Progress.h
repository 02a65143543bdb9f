// Ctrl-C and the progress bar of long runs.
//
// The first Ctrl-C is only noted: the module sees it through abortProc and stops,
// and no output file is written. A second Ctrl-C ends the program at once.
#pragma once

#include <cstdint>

namespace tesselume {

void CatchInterrupt();
bool Interrupted();

// A one-line bar on stderr, drawn only when stderr is a terminal, from the
// module's progress calls; cleared when the run ends.
class ProgressBar {
public:
    ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    void Show(int32_t done, int32_t total);

private:
    bool enabled = false;
    int drawnPercent = -1;
};

}  // namespace tesselume
