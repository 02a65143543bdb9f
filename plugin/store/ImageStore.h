// The tiled image store: rasters of one pixel kind with a pyramid of reduced levels
// down to 1 x 1, every level cut into 512 x 512 tiles, each tile its own memory block.
//
// Conventions shared by the whole store (ImageStore, Pyramid, Resample):
// - Coordinates are pixels of one level, x to the right and y down, (0, 0) top left.
//   Level n + 1 halves level n per axis (rounding up, then up to even from 3 on).
// - Getters clamp x and y into the level; setters ignore anything outside it. An
//   image without tiles, or a level beyond topLevel, reads as 0 and ignores writes.
// - Accessors never touch memory beyond the pixel: one that needs more bytes than
//   the image's pixel kind holds reads 0 and writes nothing.
// - Memory comes from AllocateBuffer (the host's buffer suite or the platform heap);
//   each tile remembers which, and ReleaseImage gives it back the same way.
// - Failures are return values (false, or a result code); nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PIFilter.h"

struct WeightTable;

constexpr int kStoreLevels = 20;
constexpr int kTileShift = 9;
constexpr int32_t kTileSize = 1 << kTileShift;
constexpr int32_t kTileMask = kTileSize - 1;
constexpr int32_t kStoreMaxSide = 32767;

// Pixel kinds; 6, 8 and anything above 9 are not usable.
enum PixelKind : int32_t {
    kKindGrey8 = 0,      // one unsigned byte, scale 255
    kKindGrey16 = 1,     // one unsigned 16-bit value, scale 32768
    kKindRaw16 = 2,      // two raw bytes, no reduced levels
    kKindRGBA8 = 3,      // red << 24 | green << 16 | blue << 8 | alpha, scale 255
    kKindRGBA16 = 4,     // four unsigned 16-bit channels, scale 32768
    kKindFloat = 5,      // one float, scale 1
    kKindSigned3 = 7,    // three signed 16-bit channels, scale 1
    kKindRGBAFloat = 9,  // four floats, scale 1
};

// Bytes per pixel of a kind; 0 for the unusable ones.
int32_t KindBytesPerPixel(PixelKind kind);

// One tile: a block of width x height pixels, rows of `width` pixels, top row first.
struct StoreTile {
    BufferID handle;   // the host buffer of the pixels; null when they came from the heap
    void* pixels;
    int32_t top, left; // first row and column within the level (multiples of 512)
    int32_t width;     // pixels per row, also the row stride: 512 or the remainder
    int32_t height;    // rows: 512 or the remainder
};
static_assert(sizeof(StoreTile) == 32, "a tile record is 32 bytes");

struct ImageStore {
    int32_t levelWidth[kStoreLevels], levelHeight[kStoreLevels];    // 0 beyond topLevel
    int32_t sampleWidth[kStoreLevels], sampleHeight[kStoreLevels];  // what samplers scale u, v by
    int32_t fullWidth, fullHeight;       // level 0's size
    float maxXf[kStoreLevels], maxYf[kStoreLevels];
    int32_t maxX[kStoreLevels], maxY[kStoreLevels];  // last valid column and row
    int32_t topLevel;                    // the 1 x 1 level
    int32_t channels;                    // 1 (kinds 0, 1, 2, 5), 3 (kind 7), 4 (kinds 3, 4, 9)
    int32_t bytesPerPixel;
    PixelKind pixelKind;
    int32_t tileCount;                   // tiles of all levels; 0 when the image holds no pixels
    StoreTile* tiles;
    BufferID tilesHandle;                // host buffer of the tile array, null when from the heap
    int32_t firstTile[kStoreLevels], lastTile[kStoreLevels];
    int32_t tilesPerRow[kStoreLevels];   // ceil(levelWidth / 512)
    const WeightTable* weightTable;      // shared by every image; read by the windowed-sinc sampler
    float invWidth[kStoreLevels], invHeight[kStoreLevels];
    int32_t pyramidTag;                  // all bits set: reduced levels are never built
    int32_t pyramidState;                // see kPyramid* below
    float invScale, scale;               // the kind's scale (255, 32768 or 1) and its inverse
};

// The pyramidTag of an image whose reduced levels are never built: it holds level 0
// only (topLevel 0).
constexpr int32_t kNoPyramid = -1;

// pyramidState values.
constexpr int32_t kPyramidCreated = 0;
constexpr int32_t kPyramidStale = 1;      // level 0 written, reduced levels out of date
constexpr int32_t kPyramidBuilt = 2;
constexpr int32_t kPyramidRectUpdated = 3;

// Four channels as integers (8-bit or 16-bit values, or float bit patterns for kind 9).
struct IntRGBA {
    int32_t red, green, blue, alpha;
};
// Four channels as floats.
struct FloatRGBA {
    float red, green, blue, alpha;
};

// ---- Lifecycle ----
// Binds a fresh record to the shared weight table; it holds no tiles.
void InitialiseImage(ImageStore* image, const WeightTable* weightTable);
// Releases the previous tiles and allocates width x height of the kind with all its
// levels (level 0 alone for kNoPyramid); the pixels are not cleared. False (image unchanged) for a null image, a
// side outside 1..32767 or an unusable kind; false with no tiles when memory runs out.
bool CreateImage(ImageStore* image, int32_t width, int32_t height, PixelKind kind, int32_t pyramidTag);
// As CreateImage with the kind from a channel count: 1 gives kind 0, 2 kind 2, else kind 3.
bool CreateImageChannels(ImageStore* image, int32_t width, int32_t height, int32_t channels, int32_t pyramidTag);
// Frees every tile and the tile array; an image without tiles is left alone.
void ReleaseImage(ImageStore* image);

// ---- Geometry ----
// (0, 0, levelHeight, levelWidth) as a host rectangle; empty beyond topLevel or for null.
Rect LevelRect(const ImageStore* image, int level);
bool IsOutside(int32_t x, int32_t y, const ImageStore* image, int level);
bool SameSize(const ImageStore* a, const ImageStore* b);
bool SameLayout(const ImageStore* a, const ImageStore* b);
int32_t TilePixelCount(const ImageStore* image, int32_t tile);
Rect TileRect(const ImageStore* image, int32_t tile);
// The normalised coordinates of a level-0 pixel centre.
struct NormalisedPoint {
    float u, v;
};
NormalisedPoint PixelCentre(int32_t x, int32_t y, const ImageStore* image);

// ---- Point accessors ----
// The unchecked address of pixel (x, y) of a level that holds tiles, for bulk code
// that has already clamped its coordinates.
inline uint8_t* TilePixel(const ImageStore& image, int level, int32_t x, int32_t y) {
    const StoreTile& tile =
        image.tiles[image.tilesPerRow[level] * (y >> kTileShift) + image.firstTile[level] + (x >> kTileShift)];
    return static_cast<uint8_t*>(tile.pixels) +
           std::size_t((y & kTileMask) * tile.width + (x & kTileMask)) * std::size_t(image.bytesPerPixel);
}

// The tile holding the clamped (x, y), its row stride, and the pixel's address; the
// address is null without tiles or beyond topLevel. No kind check.
int32_t TileIndex(int32_t x, int32_t y, const ImageStore* image, int level);
int32_t TileWidth(int32_t x, int32_t y, const ImageStore* image, int level);
void* PixelAddress(int32_t x, int32_t y, const ImageStore* image, int level);

void SetByte(int32_t x, int32_t y, ImageStore* image, int level, uint8_t value);               // kind 0
uint8_t GetByte(int32_t x, int32_t y, const ImageStore* image, int level);
void SetWord(int32_t x, int32_t y, ImageStore* image, int level, uint16_t value);              // kind 1
uint16_t GetWord(int32_t x, int32_t y, const ImageStore* image, int level);
void SetLong(int32_t x, int32_t y, ImageStore* image, int level, uint32_t value);              // kinds 5, 3
uint32_t GetLong(int32_t x, int32_t y, const ImageStore* image, int level);
void SetFloat(int32_t x, int32_t y, ImageStore* image, int level, float value);                // kind 5
float GetFloat(int32_t x, int32_t y, const ImageStore* image, int level);
void SetPacked(int32_t x, int32_t y, ImageStore* image, int level, IntRGBA value);             // kind 3
IntRGBA GetPacked(int32_t x, int32_t y, const ImageStore* image, int level);
void SetRGBA16(int32_t x, int32_t y, ImageStore* image, int level, IntRGBA value);             // kind 4
IntRGBA GetRGBA16(int32_t x, int32_t y, const ImageStore* image, int level);
void SetFloatRGBA(int32_t x, int32_t y, ImageStore* image, int level, FloatRGBA value);        // kind 9
FloatRGBA GetFloatRGBA(int32_t x, int32_t y, const ImageStore* image, int level);
void SetRGB16(int32_t x, int32_t y, ImageStore* image, int level, int16_t r, int16_t g, int16_t b);  // kind 7
void GetRGB16(int32_t x, int32_t y, const ImageStore* image, int level, int16_t rgb[3]);

// ---- Dispatching accessors (by pixelKind) ----
// Kind 3 unpacks the packed word, kind 4 reads four 16-bit channels, kind 9 the floats'
// bit patterns, kind 7 three signed channels leaving `out.alpha` as it was. Other
// kinds give zeros.
void getRGBA(int32_t x, int32_t y, const ImageStore* image, int level, IntRGBA& out);
// Kind 3 packs the low 8 bits of each value, kind 4 writes 16-bit channels, kind 9
// 32-bit patterns, kind 7 three 16-bit channels; other kinds are ignored.
void setRGBA(int32_t x, int32_t y, ImageStore* image, int level, int32_t red, int32_t green, int32_t blue,
             int32_t alpha);
// Kinds 3, 4: setRGBA of trunc(value x scale); kind 9: the floats; others ignored.
void setRGBAFloat(int32_t x, int32_t y, ImageStore* image, int level, FloatRGBA value);
// One value of a single-channel kind: the byte (0), the 16-bit value (1), the float's
// bit pattern (5); 0 for the other kinds.
int32_t GetValue(int32_t x, int32_t y, const ImageStore* image, int level);
// 0..1 for kinds 3 and 4, kind 9's floats, and (v, v, v, 1) for single-channel kinds.
FloatRGBA getRGBAFloat(int32_t x, int32_t y, const ImageStore* image, int level);

// ---- Conversions for float data going into 8-bit images ----
int32_t ToByteLinear(float value);  // trunc(f x 255) held to 0..255
int32_t ToByteSqrt(float value);    // trunc(sqrt(min(f, 65535)) x 255) held to 0..255, negatives 0

// ---- Simple samplers ----
// Bilinear interpolation of level pixels at (fx, fy), pixel n's centre at n; edges clamp.
void bilinear(float fx, float fy, const ImageStore* image, int level, IntRGBA& out);
// bilinear at normalised (u, v) on level L = min(level, topLevel - 1), blended with
// level L + 1 by t when t is not 0.
void trilinear(const ImageStore* image, int level, float t, float u, float v, IntRGBA& out);
// A fast base-2 logarithm of the footprint (max(r0, r1) + max(r2, r3)) / 2, 0 for
// footprints up to 1, capped at topLevel.
float levelForFootprint(float r0, float r1, float r2, float r3, const ImageStore* image);

// ---- Bulk operations on level pixels ----
// Replaces the alpha of every pixel in rect (level coordinates, host order) by the
// Laplacian of the luma (77 R + 150 G + 28 B) >> 8 over its four neighbours, times 2^level
// when levelGain is set, capped at the kind's maximum.
void EdgeAlpha(ImageStore* image, int level, Rect rect, bool levelGain);
// Writes every level-0 pixel from mapping(x, y, context) with setRGBA, marks the reduced
// levels stale, and rebuilds them when `rebuild` is set.
using PixelMapping = IntRGBA (*)(int32_t x, int32_t y, void* context);
void FillLevelZero(ImageStore* image, PixelMapping mapping, void* context, bool rebuild);

// ---- Imports from the host ----
// Copies the host's filter rectangle into level 0 of a four-channel image (kinds 3, 4
// or 9) at least that large, one row per advanceState; the host's request fields are
// restored afterwards. Returns the host's error, which is also set as the result, or
// filterBadParameters when the image does not fit.
OSErr ImportImage(ImageStore* image, FilterRecord* record);
// Fills a kind-0 image with the host's selection mask over the filter rectangle (255
// everywhere without a mask). With `framed` the mask lands one pixel right and down and
// the outermost rows and columns of level 0 are 0.
OSErr ImportMask(ImageStore* image, FilterRecord* record, bool framed);
