// Preview refresh time: the main dialog over a 4096 x 3072 8-bit RGB image, run
// headless through filterhost, at its fit scale (9: a 456 x 342 window). One dialog
// is cancelled at once (the first preview only, which includes the host making its
// reduced copy); a second refreshes kRefreshes times ("N", the next glue mode, each a
// full refresh at fit scale) before it is cancelled. The difference divided by
// kRefreshes is the time of one refresh: host request, render and display.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FilterHost.h"

namespace {

constexpr int kRefreshes = 20;

double RunDialog(filterhost::Host& host, const filterhost::Image& source) {
    filterhost::Image image = source;
    filterhost::Job job;
    job.showDialog = true;
    job.playInfo = plugInDialogDisplay;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const filterhost::RunReport report = host.Run(image, job, error);
    const auto end = std::chrono::steady_clock::now();
    if (!error.empty() || report.result != userCanceledErr) std::fprintf(stderr, "unexpected run: %s\n", error.c_str());
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "tesselume-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return 2;
    ::setenv("TESSELUME_STATE_DIR", folder.c_str(), 1);
    ::setenv("TESSELUME_UI", "headless", 1);
    // The module's dialogs play this script in turn: the first is cancelled at once,
    // the second after kRefreshes refreshes.
    std::string script = "click #2; ";
    for (int i = 0; i < kRefreshes; ++i) script += "click #80; ";
    script += "click #2";
    ::setenv("TESSELUME_UI_SCRIPT", script.c_str(), 1);

    std::string error;
    auto host = filterhost::Host::Load(TESSELUME_MODULE_PATH, {}, error);
    if (!host) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    filterhost::Image source = filterhost::Image::Make(4096, 3072, 3, false, 8, 0);
    for (int32_t y = 0; y < source.height; ++y)
        for (int32_t x = 0; x < source.width; ++x)
            for (int32_t p = 0; p < 3; ++p) source.At(x, y, p) = uint16_t((x * 7 + y * 13 + p * 61) & 255);

    const double prepared = RunDialog(*host, source);
    const double refreshed = RunDialog(*host, source);
    std::printf("preview of 4096 x 3072 at fit scale: dialog with first preview %.1f ms; one refresh %.2f ms\n",
                prepared, (refreshed - prepared) / kRefreshes);
    std::filesystem::remove_all(folder);
    return 0;
}
