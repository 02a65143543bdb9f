// The terminal progress bar.
#include "Progress.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace tesselume {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar() : enabled(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    if (enabled && drawnPercent >= 0) std::fprintf(stderr, "\r%*s\r", kBarWidth + 8, "");
}

void ProgressBar::Show(int32_t done, int32_t total) {
    if (!enabled || total <= 0) return;
    const int percent = int(int64_t(std::max(0, std::min(done, total))) * 100 / total);
    if (percent == drawnPercent) return;
    drawnPercent = percent;
    const int filled = percent * kBarWidth / 100;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = 0;
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
}

}  // namespace tesselume
