// Glue throughput: pixels per second through GlueRow over a row of 1024 pixels, for
// a few modes of each family on both paths. Mode 1 ("normal", a copy) is the floor.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "store/Glue.h"

namespace {

constexpr int32_t kRow = 1024;

void GlueThroughput(benchmark::State& state) {
    const int32_t mode = int32_t(state.range(0));
    const GluePath path = state.range(1) == 8 ? GluePath::bits8 : GluePath::bits16;
    const uint32_t full = path == GluePath::bits8 ? 255u : 32768u;
    int32_t pingPong[256];
    BuildPingPongTable(pingPong);
    std::mt19937 random(1);
    std::vector<GlueColour> p(kRow), d(kRow), out(kRow);
    for (int32_t i = 0; i < kRow; ++i) {
        p[size_t(i)] = {int32_t(random() % (full + 1)), int32_t(random() % (full + 1)), int32_t(random() % (full + 1))};
        d[size_t(i)] = {int32_t(random() % (full + 1)), int32_t(random() % (full + 1)), int32_t(random() % (full + 1))};
    }
    for (auto _ : state) {
        GlueRow(mode, path, p.data(), d.data(), out.data(), kRow, pingPong);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRow);
    state.SetLabel(std::string(GlueModeName(mode)));
}

// normal; per channel: procedural +, multiply, hard light, vivid a, soft light, dodge,
// wet, dextrous, screendim; whole colour: color, bright, north, frontal, temporal,
// anterior.
BENCHMARK(GlueThroughput)
    ->ArgsProduct({{1, 2, 9, 11, 20, 27, 30, 42, 58, 62, 15, 28, 48, 53, 55, 60}, {8, 16}});

}  // namespace

BENCHMARK_MAIN();
