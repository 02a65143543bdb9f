// The tiled image store: creation and release, level geometry, point accessors,
// simple samplers and the imports from the host.
#include "store/ImageStore.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "store/HostUtil.h"
#include "store/PixelMath.h"
#include "store/Pyramid.h"
#include "store/SampleBytes.h"

namespace {

// The size of the next level along one axis: half, rounded up, then made even from 3 on
// so that the level after it halves exactly.
int32_t NextSide(int32_t side) {
    side = (side + 1) / 2;
    if (side >= 3 && (side & 1)) ++side;
    return side;
}

float KindScale(int32_t kind) {
    switch (kind) {
    case kKindGrey8:
    case kKindRGBA8: return 255.0f;
    case kKindGrey16:
    case kKindRGBA16: return 32768.0f;
    default: return 1.0f;
    }
}

int32_t KindChannels(int32_t kind) {
    if (kind == kKindSigned3) return 3;
    if (kind == kKindRGBA8 || kind == kKindRGBA16 || kind == kKindRGBAFloat) return 4;
    return 1;
}

int32_t TilesAcross(int32_t side) { return (side + kTileMask) >> kTileShift; }

bool HoldsLevel(const ImageStore* image, int level) {
    return image && image->tileCount > 0 && level >= 0 && level <= image->topLevel;
}

// The address of the clamped pixel for a read of `bytes` bytes, or null.
const uint8_t* ReadAddress(int32_t x, int32_t y, const ImageStore* image, int level, int32_t bytes) {
    if (!HoldsLevel(image, level) || image->bytesPerPixel < bytes) return nullptr;
    x = std::clamp(x, 0, image->maxX[level]);
    y = std::clamp(y, 0, image->maxY[level]);
    return TilePixel(*image, level, x, y);
}

// The address of the pixel for a write of `bytes` bytes, or null when outside the level.
uint8_t* WriteAddress(int32_t x, int32_t y, ImageStore* image, int level, int32_t bytes) {
    if (!HoldsLevel(image, level) || image->bytesPerPixel < bytes) return nullptr;
    if (x < 0 || y < 0 || x > image->maxX[level] || y > image->maxY[level]) return nullptr;
    return TilePixel(*image, level, x, y);
}

void ReleaseTiles(ImageStore* image, int32_t count) {
    for (int32_t t = 0; t < count; ++t) {
        Buffer block{image->tiles[t].handle, image->tiles[t].pixels};
        ReleaseBuffer(block);
    }
    Buffer array{image->tilesHandle, image->tiles};
    ReleaseBuffer(array);
    image->tiles = nullptr;
    image->tilesHandle = nullptr;
    image->tileCount = 0;
}

}  // namespace

int32_t KindBytesPerPixel(PixelKind kind) {
    switch (kind) {
    case kKindGrey8: return 1;
    case kKindGrey16:
    case kKindRaw16: return 2;
    case kKindRGBA8:
    case kKindFloat: return 4;
    case kKindRGBA16: return 8;
    case kKindSigned3: return 6;
    case kKindRGBAFloat: return 16;
    default: return 0;
    }
}

// ---- Lifecycle ----

void InitialiseImage(ImageStore* image, const WeightTable* weightTable) {
    *image = ImageStore{};
    image->weightTable = weightTable;
}

bool CreateImage(ImageStore* image, int32_t width, int32_t height, PixelKind kind, int32_t pyramidTag) {
    const int32_t bytesPerPixel = KindBytesPerPixel(kind);
    if (!image || width < 1 || height < 1 || width > kStoreMaxSide || height > kStoreMaxSide || bytesPerPixel == 0)
        return false;
    ReleaseImage(image);

    int32_t widths[kStoreLevels] = {}, heights[kStoreLevels] = {};
    int32_t topLevel = kStoreLevels - 1, tileCount = 0;
    for (int32_t level = 0, w = width, h = height; level < kStoreLevels; ++level) {
        widths[level] = w;
        heights[level] = h;
        tileCount += TilesAcross(w) * TilesAcross(h);
        // An image whose reduced levels are never built holds level 0 alone: a
        // full-size export saves a third of its memory that way.
        if ((w == 1 && h == 1) || pyramidTag == kNoPyramid) {
            topLevel = level;
            break;
        }
        w = NextSide(w);
        h = NextSide(h);
    }

    Buffer array;
    if (AllocateBuffer(int32_t(sizeof(StoreTile)) * tileCount, array) != noErr) return false;
    image->tiles = static_cast<StoreTile*>(array.data);
    image->tilesHandle = array.id;
    for (int32_t t = 0; t < tileCount; ++t) image->tiles[t] = StoreTile{nullptr, nullptr, -1, -1, -1, -1};

    int32_t t = 0;
    for (int32_t level = 0; level <= topLevel; ++level) {
        const int32_t across = TilesAcross(widths[level]), down = TilesAcross(heights[level]);
        image->firstTile[level] = t;
        image->tilesPerRow[level] = across;
        for (int32_t row = 0; row < down; ++row) {
            for (int32_t column = 0; column < across; ++column, ++t) {
                StoreTile& tile = image->tiles[t];
                tile.top = row << kTileShift;
                tile.left = column << kTileShift;
                tile.width = std::min(kTileSize, widths[level] - tile.left);
                tile.height = std::min(kTileSize, heights[level] - tile.top);
                Buffer block;
                if (AllocateBuffer(tile.width * tile.height * bytesPerPixel, block) != noErr) {
                    ReleaseTiles(image, t);
                    return false;
                }
                tile.handle = block.id;
                tile.pixels = block.data;
            }
        }
        image->lastTile[level] = t - 1;
    }
    image->tileCount = tileCount;

    image->pixelKind = kind;
    image->channels = KindChannels(kind);
    image->bytesPerPixel = bytesPerPixel;
    image->fullWidth = width;
    image->fullHeight = height;
    image->topLevel = topLevel;
    for (int level = 0; level < kStoreLevels; ++level) {
        const int32_t w = level <= topLevel ? widths[level] : 0, h = level <= topLevel ? heights[level] : 0;
        image->levelWidth[level] = image->sampleWidth[level] = w;
        image->levelHeight[level] = image->sampleHeight[level] = h;
        image->maxX[level] = w - 1;
        image->maxY[level] = h - 1;
        image->maxXf[level] = float(w - 1);
        image->maxYf[level] = float(h - 1);
        image->invWidth[level] = w ? 1.0f / float(w) : 0.0f;
        image->invHeight[level] = h ? 1.0f / float(h) : 0.0f;
        if (level > topLevel) image->firstTile[level] = image->lastTile[level] = image->tilesPerRow[level] = 0;
    }
    image->pyramidTag = pyramidTag;
    image->pyramidState = kPyramidCreated;
    image->scale = KindScale(kind);
    image->invScale = 1.0f / image->scale;
    return true;
}

bool CreateImageChannels(ImageStore* image, int32_t width, int32_t height, int32_t channels, int32_t pyramidTag) {
    const PixelKind kind = channels == 1 ? kKindGrey8 : channels == 2 ? kKindRaw16 : kKindRGBA8;
    return CreateImage(image, width, height, kind, pyramidTag);
}

void ReleaseImage(ImageStore* image) {
    if (!image || image->tileCount == 0) return;
    ReleaseTiles(image, image->tileCount);
}

// ---- Geometry ----

Rect LevelRect(const ImageStore* image, int level) {
    if (!image || level < 0 || level > image->topLevel || image->tileCount == 0) return Rect{0, 0, 0, 0};
    return Rect{0, 0, int16_t(image->levelHeight[level]), int16_t(image->levelWidth[level])};
}

bool IsOutside(int32_t x, int32_t y, const ImageStore* image, int level) {
    return x < 0 || y < 0 || x >= image->levelWidth[level] || y >= image->levelHeight[level];
}

bool SameSize(const ImageStore* a, const ImageStore* b) {
    return a->levelWidth[0] == b->levelWidth[0] && a->levelHeight[0] == b->levelHeight[0];
}

bool SameLayout(const ImageStore* a, const ImageStore* b) {
    return SameSize(a, b) && a->bytesPerPixel == b->bytesPerPixel && a->topLevel == b->topLevel;
}

int32_t TilePixelCount(const ImageStore* image, int32_t tile) {
    if (tile < 0 || tile >= image->tileCount) return 0;
    return image->tiles[tile].width * image->tiles[tile].height;
}

Rect TileRect(const ImageStore* image, int32_t tile) {
    if (tile < 0 || tile >= image->tileCount) return Rect{0, 0, 0, 0};
    const StoreTile& t = image->tiles[tile];
    return Rect{int16_t(t.top), int16_t(t.left), int16_t(t.top + t.height), int16_t(t.left + t.width)};
}

NormalisedPoint PixelCentre(int32_t x, int32_t y, const ImageStore* image) {
    return {(float(x) + 0.5f) * image->invWidth[0], (float(y) + 0.5f) * image->invHeight[0]};
}

// ---- Point accessors ----

int32_t TileIndex(int32_t x, int32_t y, const ImageStore* image, int level) {
    if (!HoldsLevel(image, level)) return -1;
    x = std::clamp(x, 0, image->maxX[level]);
    y = std::clamp(y, 0, image->maxY[level]);
    return image->tilesPerRow[level] * (y >> kTileShift) + image->firstTile[level] + (x >> kTileShift);
}

int32_t TileWidth(int32_t x, int32_t y, const ImageStore* image, int level) {
    const int32_t tile = TileIndex(x, y, image, level);
    return tile < 0 ? 0 : image->tiles[tile].width;
}

void* PixelAddress(int32_t x, int32_t y, const ImageStore* image, int level) {
    return const_cast<uint8_t*>(ReadAddress(x, y, image, level, 0));
}

void SetByte(int32_t x, int32_t y, ImageStore* image, int level, uint8_t value) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 1)) *at = value;
}

uint8_t GetByte(int32_t x, int32_t y, const ImageStore* image, int level) {
    const uint8_t* at = ReadAddress(x, y, image, level, 1);
    return at ? *at : 0;
}

void SetWord(int32_t x, int32_t y, ImageStore* image, int level, uint16_t value) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 2)) Store(at, value);
}

uint16_t GetWord(int32_t x, int32_t y, const ImageStore* image, int level) {
    const uint8_t* at = ReadAddress(x, y, image, level, 2);
    return at ? Load<uint16_t>(at) : 0;
}

void SetLong(int32_t x, int32_t y, ImageStore* image, int level, uint32_t value) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 4)) Store(at, value);
}

uint32_t GetLong(int32_t x, int32_t y, const ImageStore* image, int level) {
    const uint8_t* at = ReadAddress(x, y, image, level, 4);
    return at ? Load<uint32_t>(at) : 0;
}

void SetFloat(int32_t x, int32_t y, ImageStore* image, int level, float value) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 4)) Store(at, value);
}

float GetFloat(int32_t x, int32_t y, const ImageStore* image, int level) {
    const uint8_t* at = ReadAddress(x, y, image, level, 4);
    return at ? Load<float>(at) : 0.0f;
}

void SetPacked(int32_t x, int32_t y, ImageStore* image, int level, IntRGBA value) {
    SetLong(x, y, image, level,
            uint32_t(value.red & 255) << 24 | uint32_t(value.green & 255) << 16 | uint32_t(value.blue & 255) << 8 |
                uint32_t(value.alpha & 255));
}

IntRGBA GetPacked(int32_t x, int32_t y, const ImageStore* image, int level) {
    const uint32_t word = GetLong(x, y, image, level);
    return {int32_t(word >> 24), int32_t((word >> 16) & 255), int32_t((word >> 8) & 255), int32_t(word & 255)};
}

void SetRGBA16(int32_t x, int32_t y, ImageStore* image, int level, IntRGBA value) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 8)) {
        Store(at, uint16_t(value.red), 0);
        Store(at, uint16_t(value.green), 1);
        Store(at, uint16_t(value.blue), 2);
        Store(at, uint16_t(value.alpha), 3);
    }
}

IntRGBA GetRGBA16(int32_t x, int32_t y, const ImageStore* image, int level) {
    const uint8_t* at = ReadAddress(x, y, image, level, 8);
    if (!at) return {0, 0, 0, 0};
    return {Load<uint16_t>(at, 0), Load<uint16_t>(at, 1), Load<uint16_t>(at, 2), Load<uint16_t>(at, 3)};
}

void SetFloatRGBA(int32_t x, int32_t y, ImageStore* image, int level, FloatRGBA value) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 16)) std::memcpy(at, &value, 16);
}

FloatRGBA GetFloatRGBA(int32_t x, int32_t y, const ImageStore* image, int level) {
    FloatRGBA value{0.0f, 0.0f, 0.0f, 0.0f};
    if (const uint8_t* at = ReadAddress(x, y, image, level, 16)) std::memcpy(&value, at, 16);
    return value;
}

void SetRGB16(int32_t x, int32_t y, ImageStore* image, int level, int16_t r, int16_t g, int16_t b) {
    if (uint8_t* at = WriteAddress(x, y, image, level, 6)) {
        Store(at, r, 0);
        Store(at, g, 1);
        Store(at, b, 2);
    }
}

void GetRGB16(int32_t x, int32_t y, const ImageStore* image, int level, int16_t rgb[3]) {
    const uint8_t* at = ReadAddress(x, y, image, level, 6);
    for (int c = 0; c < 3; ++c) rgb[c] = at ? Load<int16_t>(at, c) : int16_t(0);
}

// ---- Dispatching accessors ----

void getRGBA(int32_t x, int32_t y, const ImageStore* image, int level, IntRGBA& out) {
    switch (image ? image->pixelKind : -1) {
    case kKindRGBA8: out = GetPacked(x, y, image, level); return;
    case kKindRGBA16: out = GetRGBA16(x, y, image, level); return;
    case kKindRGBAFloat: {
        const uint8_t* at = ReadAddress(x, y, image, level, 16);
        out = at ? IntRGBA{Load<int32_t>(at, 0), Load<int32_t>(at, 1), Load<int32_t>(at, 2), Load<int32_t>(at, 3)}
                 : IntRGBA{0, 0, 0, 0};
        return;
    }
    case kKindSigned3: {
        int16_t rgb[3];
        GetRGB16(x, y, image, level, rgb);
        out.red = rgb[0];
        out.green = rgb[1];
        out.blue = rgb[2];
        return;
    }
    default: out = {0, 0, 0, 0}; return;
    }
}

void setRGBA(int32_t x, int32_t y, ImageStore* image, int level, int32_t red, int32_t green, int32_t blue,
             int32_t alpha) {
    switch (image ? image->pixelKind : -1) {
    case kKindRGBA8: SetPacked(x, y, image, level, {red, green, blue, alpha}); return;
    case kKindRGBA16: SetRGBA16(x, y, image, level, {red, green, blue, alpha}); return;
    case kKindRGBAFloat:
        if (uint8_t* at = WriteAddress(x, y, image, level, 16)) {
            Store(at, red, 0);
            Store(at, green, 1);
            Store(at, blue, 2);
            Store(at, alpha, 3);
        }
        return;
    case kKindSigned3: SetRGB16(x, y, image, level, int16_t(red), int16_t(green), int16_t(blue)); return;
    default: return;
    }
}

void setRGBAFloat(int32_t x, int32_t y, ImageStore* image, int level, FloatRGBA value) {
    switch (image ? image->pixelKind : -1) {
    case kKindRGBA8:
    case kKindRGBA16: {
        const float scale = image->scale;
        setRGBA(x, y, image, level, int32_t(value.red * scale), int32_t(value.green * scale),
                int32_t(value.blue * scale), int32_t(value.alpha * scale));
        return;
    }
    case kKindRGBAFloat: SetFloatRGBA(x, y, image, level, value); return;
    default: return;
    }
}

int32_t GetValue(int32_t x, int32_t y, const ImageStore* image, int level) {
    switch (image ? image->pixelKind : -1) {
    case kKindGrey8: return GetByte(x, y, image, level);
    case kKindGrey16: return GetWord(x, y, image, level);
    case kKindFloat: return int32_t(GetLong(x, y, image, level));
    default: return 0;
    }
}

FloatRGBA getRGBAFloat(int32_t x, int32_t y, const ImageStore* image, int level) {
    switch (image ? image->pixelKind : -1) {
    case kKindRGBA8:
    case kKindRGBA16: {
        IntRGBA v;
        getRGBA(x, y, image, level, v);
        const float inv = image->invScale;
        return {float(v.red) * inv, float(v.green) * inv, float(v.blue) * inv, float(v.alpha) * inv};
    }
    case kKindRGBAFloat: return GetFloatRGBA(x, y, image, level);
    case kKindFloat: {
        const float v = GetFloat(x, y, image, level);
        return {v, v, v, 1.0f};
    }
    case kKindGrey8:
    case kKindGrey16:
    case kKindRaw16: {
        const float v = float(GetValue(x, y, image, level)) * image->invScale;
        return {v, v, v, 1.0f};
    }
    default: return {0.0f, 0.0f, 0.0f, 0.0f};
    }
}

// ---- Conversions ----

int32_t ToByteLinear(float value) {
    const float scaled = value * 255.0f;
    if (!(scaled > 0.0f)) return 0;
    return scaled >= 255.0f ? 255 : int32_t(scaled);
}

int32_t ToByteSqrt(float value) {
    if (!(value > 0.0f)) return 0;
    const float scaled = std::sqrt(std::min(value, 65535.0f)) * 255.0f;
    return scaled >= 255.0f ? 255 : int32_t(scaled);
}

// ---- Simple samplers ----

void bilinear(float fx, float fy, const ImageStore* image, int level, IntRGBA& out) {
    if (!HoldsLevel(image, level)) {
        out = {0, 0, 0, 0};
        return;
    }
    // Beyond one pixel outside the level every tap reads the edge, so holding the
    // coordinates there changes nothing and keeps the integer conversion defined.
    fx = std::fmin(std::fmax(fx, -1.0f), image->maxXf[level] + 1.0f);
    fy = std::fmin(std::fmax(fy, -1.0f), image->maxYf[level] + 1.0f);
    const float floorX = std::floor(fx), floorY = std::floor(fy);
    const int32_t x0 = int32_t(floorX), y0 = int32_t(floorY);
    const float a = fx - floorX, b = fy - floorY;
    IntRGBA p[4] = {out, out, out, out};
    getRGBA(x0, y0, image, level, p[0]);
    getRGBA(x0 + 1, y0, image, level, p[1]);
    getRGBA(x0, y0 + 1, image, level, p[2]);
    getRGBA(x0 + 1, y0 + 1, image, level, p[3]);
    auto mix = [&](int32_t pa, int32_t pb, int32_t pc, int32_t pd) {
        const float top = float(pa) + float(pb - pa) * a;
        const float bottom = float(pc) + float(pd - pc) * a;
        return int32_t(top + (bottom - top) * b);
    };
    out.red = mix(p[0].red, p[1].red, p[2].red, p[3].red);
    out.green = mix(p[0].green, p[1].green, p[2].green, p[3].green);
    out.blue = mix(p[0].blue, p[1].blue, p[2].blue, p[3].blue);
    out.alpha = mix(p[0].alpha, p[1].alpha, p[2].alpha, p[3].alpha);
}

void trilinear(const ImageStore* image, int level, float t, float u, float v, IntRGBA& out) {
    if (!image || image->tileCount == 0) {
        out = {0, 0, 0, 0};
        return;
    }
    const int lower = std::clamp(level, 0, std::max(image->topLevel - 1, 0));
    bilinear(float(image->sampleWidth[lower]) * u - 0.5f, float(image->sampleHeight[lower]) * v - 0.5f, image, lower,
             out);
    if (t == 0.0f) return;
    const int upper = std::min(lower + 1, image->topLevel);
    IntRGBA next = out;
    bilinear(float(image->sampleWidth[upper]) * u - 0.5f, float(image->sampleHeight[upper]) * v - 0.5f, image, upper,
             next);
    auto blend = [t](int32_t a, int32_t b) { return int32_t(float(a) + float(b - a) * t); };
    out = {blend(out.red, next.red), blend(out.green, next.green), blend(out.blue, next.blue),
           blend(out.alpha, next.alpha)};
}

float levelForFootprint(float r0, float r1, float r2, float r3, const ImageStore* image) {
    const float m = std::max(r0, r1), n = std::max(r2, r3);
    const float s = m + (n - m) * 0.5f;
    if (!(s > 1.0f)) return 0.0f;
    uint32_t bits;
    std::memcpy(&bits, &s, sizeof bits);
    const float exponent = float((bits >> 23) & 255);
    const float fraction = float(bits & 0x7fffff) * 1.1920929e-7f;
    const float level = exponent - 126.9f + fraction - 0.4f * (fraction - 0.5f) * (fraction - 0.5f);
    return std::min(level, float(image->topLevel));
}

// ---- Bulk operations ----

void EdgeAlpha(ImageStore* image, int level, Rect rect, bool levelGain) {
    if (!HoldsLevel(image, level)) return;
    const int32_t kind = image->pixelKind;
    const int64_t cap = kind == kKindGrey8 || kind == kKindRGBA8     ? 255
                        : kind == kKindGrey16 || kind == kKindRGBA16 ? 32768
                                                                     : 65535;
    const int64_t gain = levelGain ? int64_t(1) << level : 1;
    const int32_t top = std::max<int32_t>(rect.top, 0), left = std::max<int32_t>(rect.left, 0);
    const int32_t bottom = std::min<int32_t>(rect.bottom, image->levelHeight[level]);
    const int32_t right = std::min<int32_t>(rect.right, image->levelWidth[level]);
    auto luma = [&](int32_t x, int32_t y) {
        IntRGBA p{0, 0, 0, 0};
        getRGBA(x, y, image, level, p);
        return Luma<int64_t>(p.red, p.green, p.blue);
    };
    for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
            const int64_t laplacian = luma(x, y - 1) + luma(x, y + 1) + luma(x - 1, y) + luma(x + 1, y) - 4 * luma(x, y);
            const int64_t alpha = std::min(std::abs(laplacian) * gain, cap);
            IntRGBA p{0, 0, 0, 0};
            getRGBA(x, y, image, level, p);
            setRGBA(x, y, image, level, p.red, p.green, p.blue, int32_t(alpha));
        }
    }
}

void FillLevelZero(ImageStore* image, PixelMapping mapping, void* context, bool rebuild) {
    if (!image || image->tileCount == 0) return;
    for (int32_t y = 0; y < image->levelHeight[0]; ++y) {
        for (int32_t x = 0; x < image->levelWidth[0]; ++x) {
            const IntRGBA colour = mapping(x, y, context);
            setRGBA(x, y, image, 0, colour.red, colour.green, colour.blue, colour.alpha);
        }
    }
    image->pyramidState = kPyramidStale;
    if (rebuild) buildAll(image);
}

// ---- Imports from the host ----

namespace {

// The request fields of the filter record that the imports change and give back.
struct SavedRequest {
    Rect inRect, outRect, maskRect;
    int16_t inLoPlane, inHiPlane, outLoPlane, outHiPlane;
    Fixed inputRate, maskRate;
    int16_t inputPadding, outputPadding, maskPadding;

    explicit SavedRequest(const FilterRecord& r)
        : inRect(r.inRect), outRect(r.outRect), maskRect(r.maskRect), inLoPlane(r.inLoPlane),
          inHiPlane(r.inHiPlane), outLoPlane(r.outLoPlane), outHiPlane(r.outHiPlane), inputRate(r.inputRate),
          maskRate(r.maskRate), inputPadding(r.inputPadding), outputPadding(r.outputPadding),
          maskPadding(r.maskPadding) {}
    void Restore(FilterRecord& r) const {
        r.inRect = inRect;
        r.outRect = outRect;
        r.maskRect = maskRect;
        r.inLoPlane = inLoPlane;
        r.inHiPlane = inHiPlane;
        r.outLoPlane = outLoPlane;
        r.outHiPlane = outHiPlane;
        r.inputRate = inputRate;
        r.maskRate = maskRate;
        r.inputPadding = inputPadding;
        r.outputPadding = outputPadding;
        r.maskPadding = maskPadding;
    }
};

// Asks the host for row `row` of the filter rectangle: the image row when `image` is
// set, else the mask row. Every other rectangle is empty at the filter's corner.
OSErr RequestRow(FilterRecord& record, int32_t row, bool image) {
    const Rect filter = record.filterRect;
    const Rect empty{filter.top, filter.left, filter.top, filter.left};
    const Rect line{int16_t(filter.top + row), filter.left, int16_t(filter.top + row + 1), filter.right};
    record.inRect = image ? line : empty;
    record.maskRect = image ? empty : line;
    record.outRect = empty;
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16_t(record.planes - 1);
    record.inputRate = record.maskRate = 0x10000;
    record.inputPadding = record.outputPadding = record.maskPadding = plugInWantsEdgeReplication;
    return CallAdvanceState(&record);
}

bool FitsFilterRect(const ImageStore* image, const FilterRecord& record) {
    return image->levelWidth[0] >= record.filterRect.right - record.filterRect.left &&
           image->levelHeight[0] >= record.filterRect.bottom - record.filterRect.top;
}

// Copies one delivered host row into row y of level 0. The store kind matches the
// host's depth: kind 3 for 8 bits, 4 for 16, 9 for 32-bit floats.
void CopyHostRow(const FilterRecord& record, ImageStore* image, int32_t y, int32_t width) {
    const int32_t planes = record.inHiPlane - record.inLoPlane + 1;
    const int32_t colourPlanes = planes >= 3 ? 3 : 1;
    const bool hasAlpha = planes > colourPlanes;
    const int32_t g = colourPlanes == 3 ? 1 : 0, b = colourPlanes == 3 ? 2 : 0;
    const auto* row = static_cast<const uint8_t*>(record.inData);
    for (int32_t x = 0; x < width; ++x) {
        const int32_t first = x * planes;
        switch (image->pixelKind) {
        case kKindRGBA8: {
            const uint8_t* p = row + first;
            setRGBA(x, y, image, 0, p[0], p[g], p[b], hasAlpha ? p[colourPlanes] : 255);
            break;
        }
        case kKindRGBA16: {
            const uint8_t* p = row + std::size_t(first) * 2;
            setRGBA(x, y, image, 0, Load<uint16_t>(p, 0), Load<uint16_t>(p, g), Load<uint16_t>(p, b),
                    hasAlpha ? Load<uint16_t>(p, colourPlanes) : 32768);
            break;
        }
        case kKindRGBAFloat: {
            const uint8_t* p = row + std::size_t(first) * 4;
            SetFloatRGBA(x, y, image, 0,
                         {Load<float>(p, 0), Load<float>(p, g), Load<float>(p, b),
                          hasAlpha ? Load<float>(p, colourPlanes) : 1.0f});
            break;
        }
        default: return;
        }
    }
}

int32_t KindForDepth(int32_t depth) {
    return depth == 16 ? kKindRGBA16 : depth == 32 ? kKindRGBAFloat : kKindRGBA8;
}

}  // namespace

OSErr ImportImage(ImageStore* image, FilterRecord* record) {
    if (!image || !record || image->tileCount == 0 || image->pixelKind != KindForDepth(record->depth) ||
        !FitsFilterRect(image, *record))
        return filterBadParameters;
    if (!HostHasProc(reinterpret_cast<const void*>(record->advanceState))) return errPlugInHostInsufficient;
    const SavedRequest saved(*record);
    const int32_t width = record->filterRect.right - record->filterRect.left;
    const int32_t height = record->filterRect.bottom - record->filterRect.top;
    OSErr error = noErr;
    for (int32_t y = 0; y < height && error == noErr; ++y) {
        error = RequestRow(*record, y, true);
        if (error == noErr && record->inData) CopyHostRow(*record, image, y, width);
    }
    saved.Restore(*record);
    image->pyramidState = kPyramidStale;
    if (error != noErr) SetResult(error);
    return error;
}

OSErr ImportMask(ImageStore* image, FilterRecord* record, bool framed) {
    if (!image || !record || image->tileCount == 0 || image->pixelKind != kKindGrey8 || !FitsFilterRect(image, *record))
        return filterBadParameters;
    const int32_t shift = framed ? 1 : 0;
    OSErr error = noErr;
    if (!record->haveMask) {
        for (int32_t y = 0; y < image->levelHeight[0]; ++y)
            for (int32_t x = 0; x < image->levelWidth[0]; ++x) SetByte(x, y, image, 0, 255);
    } else {
        if (!HostHasProc(reinterpret_cast<const void*>(record->advanceState))) return errPlugInHostInsufficient;
        const SavedRequest saved(*record);
        const int32_t width = record->filterRect.right - record->filterRect.left;
        const int32_t height = record->filterRect.bottom - record->filterRect.top;
        for (int32_t y = 0; y < height && error == noErr; ++y) {
            error = RequestRow(*record, y, false);
            if (error != noErr) break;
            const auto* mask = static_cast<const uint8_t*>(record->maskData);
            for (int32_t x = 0; x < width; ++x) SetByte(x + shift, y + shift, image, 0, mask ? mask[x] : 255);
        }
        saved.Restore(*record);
    }
    if (framed) {
        const int32_t maxX = image->maxX[0], maxY = image->maxY[0];
        for (int32_t x = 0; x <= maxX; ++x) {
            SetByte(x, 0, image, 0, 0);
            SetByte(x, maxY, image, 0, 0);
        }
        for (int32_t y = 0; y <= maxY; ++y) {
            SetByte(0, y, image, 0, 0);
            SetByte(maxX, y, image, 0, 0);
        }
    }
    image->pyramidState = kPyramidStale;
    if (error != noErr) SetResult(error);
    return error;
}
