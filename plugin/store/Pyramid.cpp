// Level pyramid building: the 32-tap low-pass step per pixel kind, the kind-7 box
// step, and the drivers that run them over whole levels or a changed rectangle.
#include "store/Pyramid.h"

#include <algorithm>

#include "store/SampleBytes.h"

namespace {

// Weight of source offset (i, j), i and j = -2..+3 from (2x, 2y): a_i * a_j / 16 with
// a = (1, 16, 64, 64, 16, 1) and the four 1/16 corners dropped. The 32 weights sum to 1640.
constexpr int32_t kWeights[6][6] = {
    {0, 1, 4, 4, 1, 0},       {1, 16, 64, 64, 16, 1}, {4, 64, 256, 256, 64, 4},
    {4, 64, 256, 256, 64, 4}, {1, 16, 64, 64, 16, 1}, {0, 1, 4, 4, 1, 0},
};
constexpr float kInvWeightSum = 1.0f / 1640.0f;
// Tile columns of the widest level (32767 pixels).
constexpr int kMaxTileColumns = (kStoreMaxSide + kTileMask) >> kTileShift;

// Per-kind reading and writing of the filter. Integer kinds accumulate integer sums.
struct Grey8 {
    using Sum = int32_t;
    static constexpr int kChannels = 1;
    static void Add(const uint8_t* p, int32_t w, Sum* s) { s[0] += w * p[0]; }
    static void Put(uint8_t* p, const Sum* s) { p[0] = uint8_t(int32_t(std::min(255.0f, float(s[0]) * kInvWeightSum))); }
};

struct Grey16 {
    using Sum = int32_t;
    static constexpr int kChannels = 1;
    static void Add(const uint8_t* p, int32_t w, Sum* s) { s[0] += w * Load<uint16_t>(p, 0); }
    static void Put(uint8_t* p, const Sum* s) {
        Store(p, uint16_t(std::clamp(int32_t(float(s[0]) * kInvWeightSum), 0, 32768)));
    }
};

struct Packed8 {
    using Sum = int32_t;
    static constexpr int kChannels = 4;
    static void Add(const uint8_t* p, int32_t w, Sum* s) {
        const uint32_t word = Load<uint32_t>(p, 0);
        s[0] += w * int32_t(word >> 24);
        s[1] += w * int32_t((word >> 16) & 255);
        s[2] += w * int32_t((word >> 8) & 255);
        s[3] += w * int32_t(word & 255);
    }
    static void Put(uint8_t* p, const Sum* s) {
        uint32_t word = 0;
        for (int c = 0; c < 4; ++c)
            word = word << 8 | uint32_t(int32_t(std::min(255.0f, float(s[c]) * kInvWeightSum)));
        Store(p, word);
    }
};

struct RGBA16 {
    using Sum = int32_t;
    static constexpr int kChannels = 4;
    static void Add(const uint8_t* p, int32_t w, Sum* s) {
        for (int c = 0; c < 4; ++c) s[c] += w * Load<uint16_t>(p, c);
    }
    static void Put(uint8_t* p, const Sum* s) {
        for (int c = 0; c < 4; ++c) Store(p, uint16_t(int32_t(std::min(32768.0f, float(s[c]) * kInvWeightSum))), c);
    }
};

template <int N>
struct Floats {
    using Sum = float;
    static constexpr int kChannels = N;
    static void Add(const uint8_t* p, int32_t w, Sum* s) {
        for (int c = 0; c < N; ++c) s[c] += float(w) * Load<float>(p, c);
    }
    static void Put(uint8_t* p, const Sum* s) {
        for (int c = 0; c < N; ++c) Store(p, std::clamp(s[c] * kInvWeightSum, 0.0f, 65535.0f), c);
    }
};

// For each of the six source rows of one output row: the start of that row in each tile
// column of the source level, so a tap costs an index and an add.
struct SourceRows {
    const uint8_t* base[6][kMaxTileColumns];
};

void FindSourceRows(const ImageStore& image, int level, int32_t y, SourceRows& rows) {
    const int32_t columns = image.tilesPerRow[level];
    for (int j = 0; j < 6; ++j) {
        const int32_t sy = std::clamp(2 * y + j - 2, 0, image.maxY[level]);
        const StoreTile* tile = image.tiles + image.firstTile[level] + columns * (sy >> kTileShift);
        for (int32_t c = 0; c < columns; ++c)
            rows.base[j][c] = static_cast<const uint8_t*>(tile[c].pixels) +
                              std::size_t((sy & kTileMask) * tile[c].width) * std::size_t(image.bytesPerPixel);
    }
}

template <typename Kind>
void FilterStep(const ImageStore& image, int level, const Rect& rect) {
    const int target = level + 1;
    const int32_t maxX = image.maxX[level], bytes = image.bytesPerPixel;
    SourceRows rows;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        FindSourceRows(image, level, y, rows);
        for (int32_t x = rect.left; x < rect.right; ++x) {
            int32_t tileColumn[6];
            std::size_t offset[6];
            for (int i = 0; i < 6; ++i) {
                const int32_t sx = std::clamp(2 * x + i - 2, 0, maxX);
                tileColumn[i] = sx >> kTileShift;
                offset[i] = std::size_t(sx & kTileMask) * std::size_t(bytes);
            }
            typename Kind::Sum sums[Kind::kChannels] = {};
            for (int j = 0; j < 6; ++j)
                for (int i = 0; i < 6; ++i)
                    if (kWeights[j][i]) Kind::Add(rows.base[j][tileColumn[i]] + offset[i], kWeights[j][i], sums);
            Kind::Put(TilePixel(image, target, x, y), sums);
        }
    }
}

// Kind 7: a 2 x 2 box whose first two channels keep twice the mean and the third the mean.
void BoxStep(const ImageStore& image, int level, const Rect& rect) {
    const int target = level + 1;
    const int32_t maxX = image.maxX[level], maxY = image.maxY[level];
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        const int32_t y0 = std::min(2 * y, maxY), y1 = std::min(2 * y + 1, maxY);
        for (int32_t x = rect.left; x < rect.right; ++x) {
            const int32_t x0 = std::min(2 * x, maxX), x1 = std::min(2 * x + 1, maxX);
            const uint8_t* source[4] = {TilePixel(image, level, x0, y0), TilePixel(image, level, x1, y0),
                                        TilePixel(image, level, x0, y1), TilePixel(image, level, x1, y1)};
            int32_t sums[3] = {0, 0, 0};
            for (const uint8_t* p : source)
                for (int c = 0; c < 3; ++c) sums[c] += Load<int16_t>(p, c);
            const int32_t results[3] = {sums[0] / 2, sums[1] / 2, sums[2] / 4};
            uint8_t* out = TilePixel(image, target, x, y);
            for (int c = 0; c < 3; ++c) Store(out, int16_t(std::clamp(results[c], -32767, 32767)), c);
        }
    }
}

void Clip(const ImageStore& image, int target, Rect& rect) {
    rect.left = std::max<int16_t>(rect.left, 0);
    rect.top = std::max<int16_t>(rect.top, 0);
    rect.right = int16_t(std::min<int32_t>(rect.right, image.levelWidth[target]));
    rect.bottom = int16_t(std::min<int32_t>(rect.bottom, image.levelHeight[target]));
}

}  // namespace

void buildLevel(ImageStore* image, int level, Rect& rect) {
    if (!image || level < 0 || level + 1 > image->topLevel) return;
    Clip(*image, level + 1, rect);
    if (image->tileCount == 0 || rect.left >= rect.right || rect.top >= rect.bottom) return;
    switch (image->pixelKind) {
    case kKindGrey8: FilterStep<Grey8>(*image, level, rect); return;
    case kKindGrey16: FilterStep<Grey16>(*image, level, rect); return;
    case kKindRGBA8: FilterStep<Packed8>(*image, level, rect); return;
    case kKindRGBA16: FilterStep<RGBA16>(*image, level, rect); return;
    case kKindFloat: FilterStep<Floats<1>>(*image, level, rect); return;
    case kKindRGBAFloat: FilterStep<Floats<4>>(*image, level, rect); return;
    case kKindSigned3: BoxStep(*image, level, rect); return;
    default: return;
    }
}

void buildOne(ImageStore* image, int level) {
    if (!image || level < 0 || level + 1 > image->topLevel) return;
    Rect rect = LevelRect(image, level + 1);
    buildLevel(image, level, rect);
}

void buildFrom(ImageStore* image, int first) {
    if (!image) return;
    for (int level = std::max(first, 0); level < image->topLevel; ++level) buildOne(image, level);
    image->pyramidState = kPyramidBuilt;
}

void buildAll(ImageStore* image) {
    if (!image || image->pyramidTag == kNoPyramid) return;
    buildFrom(image, 0);
}

void updateRect(ImageStore* image, Rect rect, int first, int last) {
    if (!image || first >= image->topLevel) return;
    const int a = std::clamp(first, 0, image->topLevel - 1);
    const int b = std::min(image->topLevel, std::max(last, a + 1));
    for (int level = a; level < b; ++level) {
        rect.left = int16_t(std::max(rect.left / 2 - 2, 0));
        rect.top = int16_t(std::max(rect.top / 2 - 2, 0));
        rect.right = int16_t(std::min(rect.right / 2 + 2, image->levelWidth[level + 1]));
        rect.bottom = int16_t(std::min(rect.bottom / 2 + 2, image->levelHeight[level + 1]));
        buildLevel(image, level, rect);
    }
    image->pyramidState = kPyramidRectUpdated;
}

void buildAllBoxed(ImageStore* image) {
    if (!image) return;
    if (image->pixelKind == kKindSigned3)
        for (int level = 0; level < image->topLevel; ++level) buildOne(image, level);
    image->pyramidState = kPyramidBuilt;
}
