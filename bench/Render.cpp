// Render throughput: a 4096 x 4096 8-bit RGB image filtered through filterhost with
// the factory settings, smooth on and off, in megapixels per second of the whole run
// (module, host row loop and the scalar per-pixel pipeline); and the pattern row
// kernels alone (geometry and field for 4096-pixel rows), the baseline that faster
// paths are measured against.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FilterHost.h"
#include "pattern/Geometry.h"
#include "pattern/PatternField.h"
#include "PresetFiles.h"
#include "settings/Settings.h"

namespace {

constexpr int32_t kSide = 4096;

filterhost::Descriptor FactoryWithSmooth(bool smooth) {
    Settings settings;
    InitialiseSettings(settings, nullptr);
    settings.smooth = smooth ? 1 : 0;
    return tesselume::DescriptorOf(settings);
}

void RenderImage(benchmark::State& state) {
    const bool smooth = state.range(0) != 0;
    std::string error;
    auto host = filterhost::Host::Load(TESSELUME_MODULE_PATH, filterhost::HostOptions{}, error);
    if (!host) {
        state.SkipWithError(error.c_str());
        return;
    }
    filterhost::Image image = filterhost::Image::Make(kSide, kSide, 3, false, 8, 128);
    filterhost::Job job;
    job.play = FactoryWithSmooth(smooth);
    for (auto _ : state) {
        const filterhost::RunReport report = host->Run(image, job, error);
        if (report.result != noErr) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.samples.data());
    }
    state.counters["MP/s"] = benchmark::Counter(double(kSide) * kSide / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(smooth ? "smooth on" : "smooth off");
}

void PatternRows(benchmark::State& state) {
    Settings settings;
    InitialiseSettings(settings, nullptr);
    const Rect rect{0, 0, int16_t(kSide), int16_t(kSide)};
    std::vector<float> x(kSide), y(kSide), t(kSide);
    int32_t row = 0;
    for (auto _ : state) {
        const GeometryConstants geometry = MakeGeometryConstants(settings, rect);
        const FieldConstants field = MakeFieldConstants(settings);
        MapRow(geometry, row, 0, kSide, x.data(), y.data());
        PatternRow(field, x.data(), y.data(), kSide, t.data());
        benchmark::DoNotOptimize(t.data());
        row = (row + 97) % kSide;
    }
    state.counters["MP/s"] = benchmark::Counter(double(kSide) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(PatternRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(RenderImage)->Arg(1)->Arg(0)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
