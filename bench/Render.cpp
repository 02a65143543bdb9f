// Render throughput: the pattern row kernels alone (geometry and field for 4096-pixel
// rows) on the scalar reference and each SIMD level; and a 4096 x 4096 8-bit RGB
// image filtered through filterhost with the factory settings, smooth on and off
// (module, host row loop and host copies), on the reference and on each level with
// 1 and 2 threads. Megapixels per wall-clock and per CPU second,
// and "x" ratios against the reference of the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
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

// Wall-clock and process CPU seconds: on a shared machine the CPU time of the
// process is the steadier measure; with threads it counts every thread.
struct Seconds {
    double wall = 0.0, cpu = 0.0;
    Seconds operator-(const Seconds& o) const { return {wall - o.wall, cpu - o.cpu}; }
};

Seconds Now() {
    timespec wall, cpu;
    clock_gettime(CLOCK_MONOTONIC, &wall);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {double(wall.tv_sec) + double(wall.tv_nsec) * 1e-9, double(cpu.tv_sec) + double(cpu.tv_nsec) * 1e-9};
}

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
    const Seconds start = Now();
    for (auto _ : state) {
        const filterhost::RunReport report = host->Run(image, job, error);
        if (report.result != noErr) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.samples.data());
    }
    const Seconds spent = Now() - start;
    // The reference of each smooth setting runs first; the others are measured against it.
    static Seconds reference[2];
    if (level == SimdLevel::scalar && state.range(2) == 1) reference[smooth] = spent;
    const double megapixels = double(state.iterations()) * kSide * kSide / 1e6;
    state.counters["MP/s"] = megapixels / spent.wall;
    state.counters["MP/cpu-s"] = megapixels / spent.cpu;
    if (reference[smooth].wall > 0.0) {
        state.counters["wall x"] = reference[smooth].wall / spent.wall;
        state.counters["cpu x"] = reference[smooth].cpu / spent.cpu;
    }
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
    const double start = Now().cpu;
    for (auto _ : state) {
        const GeometryConstants geometry = MakeGeometryConstants(settings, rect);
        const FieldConstants field = MakeFieldConstants(settings);
        kernels.mapRow(geometry, row, 0, kSide, x.data(), y.data());
        kernels.patternRow(field, x.data(), y.data(), kSide, t.data(), nullptr);
        benchmark::DoNotOptimize(t.data());
        row = (row + 97) % kSide;
    }
    const double cpu = Now().cpu - start;
    static double reference = 0.0;
    if (level == SimdLevel::scalar) reference = cpu / double(state.iterations());
    state.counters["MP/cpu-s"] = double(state.iterations()) * kSide / 1e6 / cpu;
    if (reference > 0.0) state.counters["cpu x"] = reference / (cpu / double(state.iterations()));
}

}  // namespace

BENCHMARK(PatternRows)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
// The reference first, then each SIMD level on one thread and on two; the same with
// smooth off. CPU time counts every thread.
void RenderArguments(benchmark::internal::Benchmark* b) {
    for (int64_t smooth : {1, 0}) {
        b->Args({smooth, 0, 1});
        for (int64_t threads : {1, 2})
            for (int64_t level = 1; level <= 3; ++level) b->Args({smooth, level, threads});
    }
}
BENCHMARK(RenderImage)
    ->Apply(RenderArguments)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

BENCHMARK_MAIN();
