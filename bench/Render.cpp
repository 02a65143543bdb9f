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
#include "pattern/RowKernels.h"

namespace {

constexpr int32_t kSide = 4096;

filterhost::Descriptor FactoryWithSmooth(bool smooth) {
    Settings settings;
    InitialiseSettings(settings, nullptr);
    settings.smooth = smooth ? 1 : 0;
    return tesselume::DescriptorOf(settings);
}

// Arguments: smooth (0 or 1), SIMD level (SimdLevel's number), threads.
void RenderImage(benchmark::State& state) {
    const bool smooth = state.range(0) != 0;
    const SimdLevel level = SimdLevel(state.range(1));
    if (KernelsFor(level).level != level) {
        state.SkipWithError("this machine lacks the level");
        return;
    }
    setenv("TESSELUME_SIMD", SimdLevelName(level), 1);
    setenv("TESSELUME_THREADS", std::to_string(state.range(2)).c_str(), 1);
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
    state.SetLabel(std::string(smooth ? "smooth on, " : "smooth off, ") + SimdLevelName(level) + ", " +
                   std::to_string(state.range(2)) + " threads");
}

void PatternRows(benchmark::State& state) {
    const SimdLevel level = SimdLevel(state.range(0));
    const RowKernels kernels = KernelsFor(level);
    if (kernels.level != level) {
        state.SkipWithError("this machine lacks the level");
        return;
    }
    state.SetLabel(SimdLevelName(level));
    Settings settings;
    InitialiseSettings(settings, nullptr);
    const Rect rect{0, 0, int16_t(kSide), int16_t(kSide)};
    std::vector<float> x(kSide), y(kSide), t(kSide);
    int32_t row = 0;
    for (auto _ : state) {
        const GeometryConstants geometry = MakeGeometryConstants(settings, rect);
        const FieldConstants field = MakeFieldConstants(settings);
        kernels.mapRow(geometry, row, 0, kSide, x.data(), y.data());
        kernels.patternRow(field, x.data(), y.data(), kSide, t.data());
        benchmark::DoNotOptimize(t.data());
        row = (row + 97) % kSide;
    }
    state.counters["MP/s"] = benchmark::Counter(double(kSide) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(PatternRows)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
// The reference first, then each level on one thread, then the fastest level on 2
// and 3 threads; the same with smooth off. CPU time counts every thread.
void RenderArguments(benchmark::internal::Benchmark* b) {
    for (int64_t smooth : {1, 0}) {
        for (int64_t level = 0; level <= 3; ++level) b->Args({smooth, level, 1});
        for (int64_t threads : {2, 3}) b->Args({smooth, int64_t(AvailableSimdLevels().back()), threads});
    }
}
BENCHMARK(RenderImage)
    ->Apply(RenderArguments)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

BENCHMARK_MAIN();
