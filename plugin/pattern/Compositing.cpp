// The compositing pass: source pixel, grey conversion, glue blend, write.
#include "pattern/Compositing.h"

#include <cstring>

#include "host/Globals.h"
#include "pattern/RenderContext.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"

namespace {

int32_t SampleBytes(DepthClass depth) {
    switch (depth) {
    case DepthClass::bits8: return 1;
    case DepthClass::bits16: return 2;
    case DepthClass::floating: return 4;
    }
    return 1;
}

// Integer samples of the 8-bit and 16-bit classes; the host's buffers need not be
// aligned for 16-bit access, so words go through memcpy.
inline int32_t Load(const uint8_t* pixel, int32_t index, DepthClass depth) {
    if (depth == DepthClass::bits8) return pixel[index];
    uint16_t word;
    std::memcpy(&word, pixel + 2 * index, 2);
    return word;
}

inline void Store(uint8_t* pixel, int32_t index, DepthClass depth, int32_t value) {
    if (depth == DepthClass::bits8) {
        pixel[index] = uint8_t(value);
        return;
    }
    const uint16_t word = uint16_t(value);
    std::memcpy(pixel + 2 * index, &word, 2);
}

inline void StoreFloat(uint8_t* pixel, int32_t index, float value) { std::memcpy(pixel + 4 * index, &value, 4); }

inline float LoadFloat(const uint8_t* pixel, int32_t index) {
    float value;
    std::memcpy(&value, pixel + 4 * index, 4);
    return value;
}

inline int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

// A pattern float on the integer scale: truncated toward zero, negatives 0.
inline int32_t PatternChannel(float value, float scale) {
    const float scaled = value * scale;
    return scaled > 0.0f ? int32_t(scaled) : 0;
}

inline bool LightSquare(int32_t x, int32_t y) { return ((x ^ y) & 8) == 0; }

inline uint8_t* PixelAt(uint8_t* row, int32_t x, int32_t stride, DepthClass depth) {
    return row + std::size_t(x) * std::size_t(stride) * std::size_t(SampleBytes(depth));
}

// The source pixel of run modes 0 and 1: grey images repeat their one channel.
inline GlueColour ReadSource(const CompositeRow& row, int32_t x, int32_t& alpha) {
    const uint8_t* pixel = PixelAt(row.in, x, row.inStride, row.depth);
    GlueColour source;
    source.r = Load(pixel, 0, row.depth);
    source.g = row.grey ? source.r : Load(pixel, 1, row.depth);
    source.b = row.grey ? source.r : Load(pixel, 2, row.depth);
    alpha = row.transparency ? Load(pixel, row.inAlpha, row.depth) : row.one;
    return source;
}

// The preview's treatment of a finished pixel: the selection weight (and the layer's
// transparency) mixes it with the checkerboard.
void WritePreview(const CompositeRow& row, int32_t x, GlueColour colour, int32_t alpha) {
    uint8_t* pixel = PixelAt(row.out, x, row.outStride, row.depth);
    int32_t weight = maskWeight(x, row.y, *row.globals);
    int32_t shade, total;
    if (row.depth == DepthClass::bits8) {
        if (weight > 127) weight += 1;  // 0..256, so that a full selection shows the result unchanged
        if (row.transparency) {
            weight = (weight * alpha) >> 8;
            Store(pixel, row.outAlpha, row.depth, 255);
        }
        shade = LightSquare(x, row.y) ? 255 : 204;
        total = 256;
    } else {
        if (row.transparency) {
            weight = (weight * alpha) >> 15;
            Store(pixel, row.outAlpha, row.depth, 32768);
        }
        shade = LightSquare(x, row.y) ? 32640 : 26112;
        total = 255;
    }
    const int32_t back = shade * (total - weight);
    Store(pixel, 0, row.depth, (weight * colour.r + back) >> 8);
    if (!row.grey) {
        Store(pixel, 1, row.depth, (weight * colour.g + back) >> 8);
        Store(pixel, 2, row.depth, (weight * colour.b + back) >> 8);
    }
}

// Writes one blended pixel of the 8-bit or 16-bit class.
void WriteResult(const CompositeRow& row, int32_t x, GlueColour colour, int32_t sourceAlpha) {
    switch (row.runMode) {
    case 0: {
        uint8_t* pixel = PixelAt(row.out, x, row.outStride, row.depth);
        Store(pixel, 0, row.depth, colour.r);
        if (!row.grey) {
            Store(pixel, 1, row.depth, colour.g);
            Store(pixel, 2, row.depth, colour.b);
        }
        if (row.transparency) Store(pixel, row.outAlpha, row.depth, row.one);
        return;
    }
    case 1: WritePreview(row, x, colour, sourceAlpha); return;
    default: {
        ImageStore* image = row.destination;
        if (!image) return;
        int32_t r = colour.r, g = colour.g, b = colour.b, a = row.one;
        const bool bytes = image->pixelKind == kKindGrey8 || image->pixelKind == kKindRGBA8;
        if (row.depth == DepthClass::bits16 && bytes) {
            // 0..32768 to 0..255: (v + 1) >> 7, at most 255.
            auto toByte = [](int32_t v) { return Clamp((v + 1) >> 7 & 0x1ff, 0, 255); };
            r = toByte(r), g = toByte(g), b = toByte(b), a = toByte(a);
        }
        if (image->pixelKind == kKindGrey8) {
            SetByte(x, row.y, image, 0, uint8_t(r));
        } else {
            setRGBA(x, row.y, image, 0, r, g, b, a);
        }
        return;
    }
    }
}

// The float class: no source, no blend; the pattern itself over the preview's
// checkerboard, or into the store through the square-root encoding or as floats.
void CompositeFloat(const CompositeRow& row, int32_t x, PatternColour c) {
    const float alpha = c.alpha < 0.0f ? 0.0f : (c.alpha > 1.0f ? 1.0f : c.alpha);
    if (row.runMode == 2) {
        ImageStore* image = row.destination;
        if (!image) return;
        if (image->pixelKind == kKindRGBA8) {
            setRGBA(x, row.y, image, 0, ToByteSqrt(c.red), ToByteSqrt(c.green), ToByteSqrt(c.blue), ToByteSqrt(alpha));
        } else {
            setRGBAFloat(x, row.y, image, 0, FloatRGBA{c.red, c.green, c.blue, alpha});
        }
        return;
    }
    float channels[3] = {c.red, c.green, c.blue};
    if (row.grey) channels[0] = (c.green * 150.0f + c.red * 77.0f + c.blue * 28.0f) * 0.003921568627451f;
    uint8_t* pixel = PixelAt(row.out, x, row.outStride, row.depth);
    const int32_t written = row.grey ? 1 : 3;
    if (row.runMode == 1) {
        const float weight = float(maskWeight(x, row.y, *row.globals)) * 0.003921569f;
        const float shade = LightSquare(x, row.y) ? 1.0f : 0.8f;
        for (int32_t i = 0; i < written; ++i) channels[i] = weight * channels[i] + (1.0f - weight) * shade;
    }
    for (int32_t i = 0; i < written; ++i) StoreFloat(pixel, i, channels[i]);
    if (row.transparency) StoreFloat(pixel, row.outAlpha, row.runMode == 1 ? 1.0f : alpha);
}

}  // namespace

DepthClass DepthClassOf(const FilterRecord& record) {
    const int16_t mode = record.imageMode;
    if ((mode == plugInModeGrayScale || mode == plugInModeRGBColor) && record.depth < 9) return DepthClass::bits8;
    if ((mode == plugInModeGray16 || mode == plugInModeRGB48) && record.depth == 16) return DepthClass::bits16;
    return DepthClass::floating;
}

CompositeRow MakeCompositeRow(RunGlobals& globals, const Settings& settings, int32_t y) {
    FilterRecord& record = *globals.filterRecord;
    RenderContext& context = Work(globals).render;
    CompositeRow row{};
    row.globals = &globals;
    row.depth = DepthClassOf(record);
    row.runMode = settings.runMode;
    row.glue = settings.glue;
    row.pingPong = Work(globals).pingPong;
    row.transparency = record.filterCase == filterCaseEditableTransparencyNoSelection ||
                       record.filterCase == filterCaseEditableTransparencyWithSelection;
    row.grey = record.planes < 3;
    switch (row.depth) {
    case DepthClass::bits8:
        row.maximum = row.one = 255;
        row.scale = 255.0f;
        row.gluePath = GluePath::bits8;
        break;
    case DepthClass::bits16:
        row.maximum = row.one = 32768;
        row.scale = 32768.0f;
        row.gluePath = GluePath::bits16;
        break;
    case DepthClass::floating:
        row.maximum = 65535;
        row.one = 1;
        row.scale = 1.0f;
        row.gluePath = GluePath::bits16;  // not used: the float class is not glued
        break;
    }
    row.destination = context.destination;
    if (row.runMode == 2 && row.destination) {
        row.rowLength = row.destination->fullWidth;
        row.rowCount = row.destination->fullHeight;
    } else {
        row.rowLength = record.outRect.right - record.outRect.left;
        row.rowCount = record.outRect.bottom - record.outRect.top;
    }
    row.y = Clamp(y, 0, row.rowCount - 1 > 0 ? row.rowCount - 1 : 0);
    row.in = static_cast<uint8_t*>(record.inData);
    row.out = static_cast<uint8_t*>(record.outData);
    if (row.runMode == 1) {
        // The preview's buffers hold the whole area; the final run's hold one row.
        row.in += std::ptrdiff_t(row.y) * record.inRowBytes;
        row.out += std::ptrdiff_t(row.y) * record.outRowBytes;
    }
    row.inStride = record.inHiPlane - record.inLoPlane + 1;
    row.outStride = record.planes;
    row.inAlpha = record.inLayerPlanes;
    row.outAlpha = record.outLayerPlanes;
    return row;
}

void CompositePixels(const CompositeRow& row, int32_t firstColumn, const PatternColour* colours, int32_t count) {
    const int32_t last = row.rowLength - 1 > 0 ? row.rowLength - 1 : 0;
    if (row.depth == DepthClass::floating) {
        for (int32_t i = 0; i < count; ++i) {
            const PatternColour scaled{colours[i].red * row.scale, colours[i].green * row.scale,
                                       colours[i].blue * row.scale, colours[i].alpha * row.scale};
            CompositeFloat(row, Clamp(firstColumn + i, 0, last), scaled);
        }
        return;
    }
    GlueColour pattern[kCompositeChunk] = {}, source[kCompositeChunk] = {};
    int32_t alpha[kCompositeChunk];
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = Clamp(firstColumn + i, 0, last);
        if (row.runMode == 2) {
            IntRGBA stored{0, 0, 0, 0};
            if (row.destination) getRGBA(x, row.y, row.destination, 0, stored);
            source[i] = GlueColour{stored.red, stored.green, stored.blue};
            alpha[i] = stored.alpha;
        } else {
            source[i] = ReadSource(row, x, alpha[i]);
        }
        GlueColour p{PatternChannel(colours[i].red, row.scale), PatternChannel(colours[i].green, row.scale),
                     PatternChannel(colours[i].blue, row.scale)};
        if (row.grey) p.r = (p.r * 77 + p.g * 150 + p.b * 28) >> 8;
        p.r = p.r < row.maximum ? p.r : row.maximum;
        p.g = p.g < row.maximum ? p.g : row.maximum;
        p.b = p.b < row.maximum ? p.b : row.maximum;
        pattern[i] = p;
    }
    GlueRow(row.glue, row.gluePath, pattern, source, pattern, count, row.pingPong);
    for (int32_t i = 0; i < count; ++i) WriteResult(row, Clamp(firstColumn + i, 0, last), pattern[i], alpha[i]);
}

int32_t maskWeight(int32_t x, int32_t y, const RunGlobals& globals) {
    const RowLoopState& loop = globals.loop;
    const FilterRecord& record = *globals.filterRecord;
    if (x < 0 || x > loop.lastColumn || y < loop.firstRow || y > loop.lastRow) return 0;
    if (!record.haveMask || !record.maskData) return 255;
    if (y < loop.maskRows[0] || y > loop.maskRows[1]) return 0;
    const auto* mask = static_cast<const uint8_t*>(record.maskData);
    return mask[std::ptrdiff_t(y - loop.maskRows[0]) * record.maskRowBytes + x];
}

void RenderSourceRow(RunGlobals& globals, const Settings& settings, int32_t y) {
    const FilterRecord& record = *globals.filterRecord;
    if (settings.runMode != 1 || !record.inData || !record.outData) return;
    const CompositeRow row = MakeCompositeRow(globals, settings, y);
    for (int32_t x = 0; x < row.rowLength; ++x) {
        if (row.depth == DepthClass::floating) {
            const uint8_t* pixel = PixelAt(row.in, x, row.inStride, row.depth);
            const float r = LoadFloat(pixel, 0);
            const float g = row.grey ? r : LoadFloat(pixel, 1), b = row.grey ? r : LoadFloat(pixel, 2);
            CompositeFloat(row, x, PatternColour{r, g, b, 1.0f});
            continue;
        }
        int32_t alpha;
        const GlueColour source = ReadSource(row, x, alpha);
        WritePreview(row, x, source, alpha);
    }
}
