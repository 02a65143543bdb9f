// The progress bar of long runs.
#pragma once

#include <cstdint>

namespace tesselume {

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
