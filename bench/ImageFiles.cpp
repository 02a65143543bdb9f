// Writing a 4096 x 4096 8-bit RGB image as PNG and TIFF: the encoders' share of a
// large render. The picture is smooth with fine detail, as the filter's patterns are.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "ImageFiles.h"

namespace {

tesselume::ImageFile PatternImage(int32_t side) {
    tesselume::ImageFile file;
    file.image = filterhost::Image::Make(side, side, 3, false, 8, 0);
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x)
            for (int32_t p = 0; p < 3; ++p)
                file.image.At(x, y, p) =
                    uint16_t(127.5 + 127.5 * std::sin(0.013 * x * (p + 1) + 0.021 * y + std::sin(0.002 * x * y)));
    return file;
}

void WriteFormat(benchmark::State& state, tesselume::FileFormat format, const char* name) {
    static const tesselume::ImageFile file = PatternImage(4096);
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench-" + name;
    for (auto _ : state) {
        std::string error;
        if (!tesselume::WriteImageFile(path, format, file, error)) state.SkipWithError(error.c_str());
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(state.iterations() * int64_t(4096) * 4096 * 3);
}

BENCHMARK_CAPTURE(WriteFormat, png, tesselume::FileFormat::png, "w.png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(WriteFormat, tiff, tesselume::FileFormat::tiff, "w.tif")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
