// Throughput of the image store: pyramid building per pixel kind, windowed-sinc
// sampling on the direct tile path and the clamped path, and resizing. Items are
// pixels (level-0 pixels for the pyramid, samples for the samplers).
#include <benchmark/benchmark.h>

#include "store/ImageStore.h"
#include "store/Pyramid.h"
#include "store/Resample.h"

namespace {

const WeightTable& Weights() {
    static const WeightTable table = [] {
        WeightTable t;
        BuildWeightTable(t);
        return t;
    }();
    return table;
}

// A store image of the kind filled with a smooth asymmetric pattern.
struct BenchImage {
    ImageStore image;
    BenchImage(int32_t width, int32_t height, PixelKind kind) {
        InitialiseImage(&image, &Weights());
        CreateImage(&image, width, height, kind, 0);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                setRGBAFloat(x, y, &image, 0,
                             {float(x % 256) / 255.0f, float(y % 200) / 255.0f, float((x ^ y) & 255) / 255.0f, 1.0f});
        buildAll(&image);
    }
    ~BenchImage() { ReleaseImage(&image); }
};

void BuildPyramid(benchmark::State& state) {
    const auto kind = PixelKind(state.range(0));
    BenchImage source(2048, 1536, kind);
    for (auto _ : state) {
        buildAll(&source.image);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2048 * 1536);
}
BENCHMARK(BuildPyramid)->Arg(kKindRGBA8)->Arg(kKindRGBA16)->Arg(kKindRGBAFloat)->Unit(benchmark::kMillisecond);

// Sampling along rows: inside the level (nearly always the direct path) or along the
// left edge (always the clamped path).
void Sample(benchmark::State& state) {
    const auto kind = PixelKind(state.range(0));
    const bool edge = state.range(1) != 0;
    BenchImage source(1024, 1024, kind);
    constexpr int kSamples = 4096;
    float sink = 0.0f;
    for (auto _ : state) {
        for (int i = 0; i < kSamples; ++i) {
            const float x = edge ? 0.37f : 3.0f + float(i % 1000) + 0.37f;
            const float y = 3.0f + float(i / 4) * 0.9f;
            sink += sample(&source.image, 0, x, y).red;
        }
        benchmark::DoNotOptimize(sink);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(Sample)->ArgsProduct({{kKindRGBA8, kKindRGBA16, kKindRGBAFloat}, {0, 1}});

void Resize(benchmark::State& state) {
    BenchImage source(1024, 1024, kKindRGBA8);
    ImageStore destination;
    InitialiseImage(&destination, &Weights());
    CreateImage(&destination, 128, 128, kKindRGBA8, 0);
    for (auto _ : state) copyOrResize(&source.image, &destination);
    state.SetItemsProcessed(state.iterations() * 128 * 128);
    ReleaseImage(&destination);
}
BENCHMARK(Resize)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
