// Windowed-sinc resampling: the weight table, the 5 x 5 sampler per pixel kind with
// its direct tile path and clamped path, and resize, copy and edge mapping on top.
#include "store/Resample.h"

#include <algorithm>
#include <cmath>

#include "store/PixelMath.h"
#include "store/Pyramid.h"
#include "store/SampleBytes.h"

namespace {

// sinc(pi x) sinc(pi x / 2) on -2 < x < 2, 0 elsewhere.
double Lanczos2(double x) {
    if (x <= -2.0 || x >= 2.0) return 0.0;
    if (x == 0.0) return 1.0;
    const double a = kPi * x, b = kPi * x / 2.0;
    return (std::sin(a) / a) * (std::sin(b) / b);
}

// Per-kind sampling arithmetic. Read gives the kind's channels of one pixel; Sample
// runs the separable 5 x 5 sum over rows of tap pointers.
struct Packed8Kind {
    static constexpr int kChannels = 4;
    static void Read(const uint8_t* p, int32_t* v) {
        const uint32_t word = Load<uint32_t>(p, 0);
        v[0] = int32_t(word >> 24);
        v[1] = int32_t((word >> 16) & 255);
        v[2] = int32_t((word >> 8) & 255);
        v[3] = int32_t(word & 255);
    }
};
struct Grey8Kind {
    static constexpr int kChannels = 1;
    static void Read(const uint8_t* p, int32_t* v) { v[0] = p[0]; }
};
struct Unsigned16Kind {  // kinds 1 and 2: one 16-bit channel
    static constexpr int kChannels = 1;
    static void Read(const uint8_t* p, int32_t* v) { v[0] = Load<uint16_t>(p, 0); }
};
struct RGBA16Kind {
    static constexpr int kChannels = 4;
    static void Read(const uint8_t* p, int32_t* v) {
        for (int c = 0; c < 4; ++c) v[c] = Load<uint16_t>(p, c);
    }
};
struct Signed3Kind {
    static constexpr int kChannels = 3;
    static void Read(const uint8_t* p, int32_t* v) {
        for (int c = 0; c < 3; ++c) v[c] = Load<int16_t>(p, c);
    }
};
template <int N>
struct FloatKind {
    static constexpr int kChannels = N;
    static void Read(const uint8_t* p, float* v) {
        for (int c = 0; c < N; ++c) v[c] = Load<float>(p, c);
    }
};

// The 25 tap addresses: taps[n][m] is column ix - 2 + m of row iy - 2 + n.
using Taps = const uint8_t* [kWeightTaps][kWeightTaps];

// The five phase weights in tap order: tap m takes weight 4 - m.
template <typename W>
void TapWeights(const W (&bank)[kWeightTaps][kWeightPhases], int phase, W* out) {
    for (int m = 0; m < kWeightTaps; ++m) out[m] = bank[kWeightTaps - 1 - m][phase];
}

// 8-bit kinds: integer sums with the 2048 weights, scaled by 2^-22.
template <typename Kind>
FloatRGBA Sample8(const WeightTable& table, const Taps& taps, int phaseX, int phaseY) {
    int32_t wx[kWeightTaps], wy[kWeightTaps];
    TapWeights(table.scaled2048, phaseX, wx);
    TapWeights(table.scaled2048, phaseY, wy);
    int32_t total[4] = {0, 0, 0, 0};
    for (int n = 0; n < kWeightTaps; ++n) {
        int32_t row[4] = {0, 0, 0, 0};
        for (int m = 0; m < kWeightTaps; ++m) {
            int32_t v[4];
            Kind::Read(taps[n][m], v);
            for (int c = 0; c < Kind::kChannels; ++c) row[c] += wx[m] * v[c];
        }
        for (int c = 0; c < Kind::kChannels; ++c) total[c] += wy[n] * row[c];
    }
    float out[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int c = 0; c < Kind::kChannels; ++c) out[c] = float(total[c]) * 2.3841858e-7f;
    return {out[0], out[1], out[2], out[3]};
}

// 16-bit kinds: each row sum with the 32768 weights is divided back to the value scale
// (truncating towards zero) before the column sum, then scaled by 2^-15.
template <typename Kind>
FloatRGBA Sample16(const WeightTable& table, const Taps& taps, int phaseX, int phaseY) {
    int32_t wx[kWeightTaps], wy[kWeightTaps];
    TapWeights(table.scaled32768, phaseX, wx);
    TapWeights(table.scaled32768, phaseY, wy);
    int64_t total[4] = {0, 0, 0, 0};
    for (int n = 0; n < kWeightTaps; ++n) {
        int64_t row[4] = {0, 0, 0, 0};
        for (int m = 0; m < kWeightTaps; ++m) {
            int32_t v[4];
            Kind::Read(taps[n][m], v);
            for (int c = 0; c < Kind::kChannels; ++c) row[c] += int64_t(wx[m]) * v[c];
        }
        for (int c = 0; c < Kind::kChannels; ++c) total[c] += int64_t(wy[n]) * (row[c] / 32768);
    }
    float out[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int c = 0; c < Kind::kChannels; ++c) out[c] = float(total[c]) * 3.0517578e-5f;
    return {out[0], out[1], out[2], out[3]};
}

// Float kinds: single-precision sums with the float weights.
template <typename Kind>
FloatRGBA SampleFloat(const WeightTable& table, const Taps& taps, int phaseX, int phaseY) {
    float wx[kWeightTaps], wy[kWeightTaps];
    TapWeights(table.floats, phaseX, wx);
    TapWeights(table.floats, phaseY, wy);
    float total[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int n = 0; n < kWeightTaps; ++n) {
        float row[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int m = 0; m < kWeightTaps; ++m) {
            float v[4];
            Kind::Read(taps[n][m], v);
            for (int c = 0; c < Kind::kChannels; ++c) row[c] += wx[m] * v[c];
        }
        for (int c = 0; c < Kind::kChannels; ++c) total[c] += wy[n] * row[c];
    }
    return {total[0], total[1], total[2], total[3]};
}

// Fills the tap addresses around (ix, iy): straight from the tile when the 5 x 5 block
// lies inside one tile away from the level's edges, else pixel by pixel with clamping.
void FindTaps(const ImageStore& image, int level, int32_t ix, int32_t iy, Taps& taps) {
    const int32_t maxX = image.maxX[level], maxY = image.maxY[level];
    const bool direct = ix >= 2 && ix <= maxX - 2 && iy >= 2 && iy <= maxY - 2 && ((ix - 2) & kTileMask) <= 507 &&
                        ((iy - 2) & kTileMask) <= 507;
    if (direct) {
        const uint8_t* corner = TilePixel(image, level, ix - 2, iy - 2);
        const std::size_t pixel = std::size_t(image.bytesPerPixel);
        const std::size_t stride =
            std::size_t(image.tiles[image.tilesPerRow[level] * ((iy - 2) >> kTileShift) + image.firstTile[level] +
                                    ((ix - 2) >> kTileShift)]
                            .width) *
            pixel;
        for (int n = 0; n < kWeightTaps; ++n)
            for (int m = 0; m < kWeightTaps; ++m) taps[n][m] = corner + n * stride + m * pixel;
        return;
    }
    for (int n = 0; n < kWeightTaps; ++n) {
        const int32_t y = std::clamp(iy - 2 + n, 0, maxY);
        for (int m = 0; m < kWeightTaps; ++m) taps[n][m] = TilePixel(image, level, std::clamp(ix - 2 + m, 0, maxX), y);
    }
}

}  // namespace

void BuildWeightTable(WeightTable& table) {
    for (int p = 0; p < kWeightPhases; ++p) {
        const float t = float(p) * 0.0078125f - 2.0f;
        double area[kWeightTaps];
        double total = 0.0;
        for (int j = 0; j < kWeightTaps; ++j) {
            area[j] = 0.0;
            for (int k = 0; k < 20; ++k) area[j] += Lanczos2(double(t) - double(k) / 21.0 + double(j));
            total += area[j];
        }
        const double s = 1.0 / total;
        double w[kWeightTaps];
        for (int j = 0; j < 4; ++j) w[j] = area[j] * s;
        w[4] = 1.0 - (w[0] + w[1] + w[2] + w[3]);
        int32_t sum2048 = 0, sum32768 = 0;
        for (int j = 0; j < kWeightTaps; ++j) {
            table.floats[j][p] = float(w[j]);
            if (j < 4) {
                table.scaled2048[j][p] = int32_t(w[j] * 2048.0);
                table.scaled32768[j][p] = int32_t(w[j] * 32768.0);
                sum2048 += table.scaled2048[j][p];
                sum32768 += table.scaled32768[j][p];
            }
        }
        table.scaled2048[4][p] = 2048 - sum2048;
        table.scaled32768[4][p] = 32768 - sum32768;
    }
}

FloatRGBA sample(const ImageStore* image, int level, float x, float y) {
    if (!image || !image->weightTable || image->tileCount == 0 || level < 0 || level > image->topLevel)
        return {0.0f, 0.0f, 0.0f, 0.0f};
    // Three pixels beyond the edge every tap is clamped to it, so holding the point
    // there changes nothing and keeps the integer conversions defined. floor equals
    // trunc for the non-negative coordinates and keeps the phase in 0..127 below them.
    const float fx = std::fmin(std::fmax(float(double(x) + 0.5), -3.0f), image->maxXf[level] + 3.0f);
    const float fy = std::fmin(std::fmax(float(double(y) + 0.5), -3.0f), image->maxYf[level] + 3.0f);
    const float floorX = std::floor(fx), floorY = std::floor(fy);
    const int32_t ix = int32_t(floorX), iy = int32_t(floorY);
    const int phaseX = int((fx - floorX) * 128.0f), phaseY = int((fy - floorY) * 128.0f);
    Taps taps;
    FindTaps(*image, level, ix, iy, taps);
    const WeightTable& table = *image->weightTable;
    switch (image->pixelKind) {
    case kKindGrey8: return Sample8<Grey8Kind>(table, taps, phaseX, phaseY);
    case kKindRGBA8: return Sample8<Packed8Kind>(table, taps, phaseX, phaseY);
    case kKindGrey16:
    case kKindRaw16: return Sample16<Unsigned16Kind>(table, taps, phaseX, phaseY);
    case kKindRGBA16: return Sample16<RGBA16Kind>(table, taps, phaseX, phaseY);
    case kKindSigned3: return Sample16<Signed3Kind>(table, taps, phaseX, phaseY);
    case kKindFloat: return SampleFloat<FloatKind<1>>(table, taps, phaseX, phaseY);
    case kKindRGBAFloat: return SampleFloat<FloatKind<4>>(table, taps, phaseX, phaseY);
    default: return {0.0f, 0.0f, 0.0f, 0.0f};
    }
}

FloatRGBA sampleTrilinear(const ImageStore* image, int level, float t, float u, float v) {
    const int32_t kind = image ? image->pixelKind : -1;
    if (kind != kKindGrey8 && kind != kKindRGBA8 && kind != kKindRGBA16 && kind != kKindRGBAFloat)
        return {0.0f, 0.0f, 0.0f, 0.0f};
    const int lower = std::clamp(level, 0, std::max(image->topLevel - 1, 0));
    FloatRGBA a = sample(image, lower, float(image->sampleWidth[lower]) * u - 0.5f,
                         float(image->sampleHeight[lower]) * v - 0.5f);
    if (t != 0.0f) {
        const int upper = std::min(lower + 1, image->topLevel);
        const FloatRGBA b = sample(image, upper, float(image->sampleWidth[upper]) * u - 0.5f,
                                   float(image->sampleHeight[upper]) * v - 0.5f);
        a = {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t, a.blue + (b.blue - a.blue) * t,
             a.alpha + (b.alpha - a.alpha) * t};
    }
    if (kind == kKindGrey8) return {a.red, a.red, a.red, 255.0f};
    return a;
}

FloatRGBA sampleNormalised(const ImageStore* image, int level, float t, float u, float v) {
    const FloatRGBA c = sampleTrilinear(image, level, t, u, v);
    const float s = image ? image->invScale : 0.0f;
    return {c.red * s, c.green * s, c.blue * s, c.alpha * s};
}

void resize(const ImageStore* source, ImageStore* destination, Rect sourceRect, Rect destinationRect, float bias) {
    if (!source || !destination) return;
    const int32_t width = destinationRect.right - destinationRect.left;
    const int32_t height = destinationRect.bottom - destinationRect.top;
    const int32_t sourceWidth = sourceRect.right - sourceRect.left;
    if (width < 1 || height < 1 || sourceWidth < 1) {
        buildAll(destination);
        return;
    }
    const double lambda =
        std::clamp(std::log(double(sourceWidth) / double(width)) * 1.442695040888963 - double(bias), 0.0,
                   double(source->topLevel));
    const int level = int(lambda);
    const float t = float(lambda - double(level));
    for (int32_t r = 0; r < height; ++r) {
        const float v = float(2 * r + 1) / float(2 * height);
        for (int32_t c = 0; c < width; ++c) {
            const float u = float(2 * c + 1) / float(2 * width);
            const FloatRGBA colour = sampleNormalised(source, level, t, u, v);
            SetPacked(destinationRect.left + c, destinationRect.top + r, destination, 0,
                      {ToByteLinear(colour.red), ToByteLinear(colour.green), ToByteLinear(colour.blue), 255});
        }
    }
    buildAll(destination);
}

void copyLevel(const ImageStore* source, ImageStore* destination, int sourceLevel, int destinationLevel) {
    if (!source || !destination || source->pixelKind != destination->pixelKind) return;
    const Rect a = LevelRect(source, sourceLevel), b = LevelRect(destination, destinationLevel);
    const int32_t width = std::min(a.right, b.right), height = std::min(a.bottom, b.bottom);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            setRGBAFloat(x, y, destination, destinationLevel, getRGBAFloat(x, y, source, sourceLevel));
}

void copyOrResize(const ImageStore* source, ImageStore* destination) {
    if (!source || !destination) return;
    if (!SameSize(source, destination)) {
        resize(source, destination, LevelRect(source, 0), LevelRect(destination, 0), 0.5f);
        return;
    }
    copyLevel(source, destination, 0, 0);
    buildAll(destination);
}

EdgePoint edgeMap(float u, float v, float level, int mode, const ImageStore* image) {
    if (u >= 0.0f && u <= 1.0f && v >= 0.0f && v < 1.0f) return {u, v, level, false};
    auto wrap = [](float x) { return x - std::floor(x); };
    switch (mode) {
    case 1: return {u, v, level, true};
    case 2: {
        const float overshoot = std::min(std::max({-u, u - 1.0f, -v, v - 1.0f}), 1.0f);
        const float top = image ? float(image->topLevel) : level;
        return {std::clamp(u, 0.0f, 1.0f), std::clamp(v, 0.0f, 1.0f), level + (top - level) * overshoot, false};
    }
    case 3: return {std::clamp(u, 0.0f, 1.0f), std::clamp(v, 0.0f, 1.0f), level, false};
    case 4: return {wrap(u), std::clamp(v, 0.0f, 1.0f), level, false};
    case 5:
    case 6: return {wrap(u), wrap(v), level, false};
    case 7: {
        const float repetition = std::floor(v);
        float wrappedV = v - repetition;
        if (std::fmod(repetition, 2.0f) != 0.0f) {
            wrappedV = 1.0f - wrappedV;
            u = 0.5f - u;
        }
        return {wrap(u), wrappedV, level, false};
    }
    default: return {u, v, level, false};
    }
}
