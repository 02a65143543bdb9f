// The compositing pass: source pixel, grey conversion, glue blend, write; and the
// render plan's row kernels.
#include "pattern/Compositing.h"

#include <algorithm>

#include "settings/Settings.h"
#include "store/ImageStore.h"
#include "store/PixelMath.h"
#include "store/SampleBytes.h"

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
// aligned for 16-bit access.
inline int32_t LoadSample(const uint8_t* pixel, int32_t index, DepthClass depth) {
    return depth == DepthClass::bits8 ? pixel[index] : Load<uint16_t>(pixel, index);
}

inline void StoreSample(uint8_t* pixel, int32_t index, DepthClass depth, int32_t value) {
    if (depth == DepthClass::bits8) {
        pixel[index] = uint8_t(value);
    } else {
        Store<uint16_t>(pixel, uint16_t(value), index);
    }
}

inline int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

inline int32_t LastIndex(int32_t length) { return length - 1 > 0 ? length - 1 : 0; }

// A pattern float on the integer scale: truncated toward zero, negatives 0.
inline int32_t PatternChannel(float value, float scale) {
    const float scaled = value * scale;
    return scaled > 0.0f ? int32_t(scaled) : 0;
}

// A pattern colour on the image's integer scale, at most the maximum; grey images
// take its luma as their one channel.
inline GlueColour PatternSamples(const int32_t* channel, int32_t maximum, bool grey, PatternColour colour) {
    GlueColour p{channel[colour.red & 255], channel[colour.green & 255], channel[colour.blue & 255]};
    if (grey) p.r = Luma(p.r, p.g, p.b);
    p.r = p.r < maximum ? p.r : maximum;
    p.g = p.g < maximum ? p.g : maximum;
    p.b = p.b < maximum ? p.b : maximum;
    return p;
}

inline bool LightSquare(int32_t x, int32_t y) { return ((x ^ y) & 8) == 0; }

inline uint8_t* PixelAt(uint8_t* row, int32_t x, int32_t stride, DepthClass depth) {
    return row + std::size_t(x) * std::size_t(stride) * std::size_t(SampleBytes(depth));
}

// The source pixel of the host's buffers: grey images repeat their one channel.
inline GlueColour ReadSource(const RenderPlan& plan, const RowEnds& ends, int32_t x, int32_t& alpha) {
    const DepthClass depth = plan.format.depth;
    const uint8_t* pixel = PixelAt(const_cast<uint8_t*>(ends.in), x, ends.inStride, depth);
    GlueColour source;
    source.r = LoadSample(pixel, 0, depth);
    source.g = plan.format.grey ? source.r : LoadSample(pixel, 1, depth);
    source.b = plan.format.grey ? source.r : LoadSample(pixel, 2, depth);
    alpha = plan.format.transparency ? LoadSample(pixel, ends.inAlpha, depth) : plan.one;
    return source;
}

// The preview's treatment of a finished pixel: the selection weight (and the layer's
// transparency) mixes it with the checkerboard.
void WritePreview(const RenderPlan& plan, const RowEnds& ends, int32_t x, GlueColour colour, int32_t alpha) {
    const DepthClass depth = plan.format.depth;
    uint8_t* pixel = PixelAt(ends.out, x, ends.outStride, depth);
    int32_t weight = PreviewWeight(ends, x);
    int32_t shade, total;
    if (depth == DepthClass::bits8) {
        if (weight > 127) weight += 1;  // 0..256, so that a full selection shows the result unchanged
        if (plan.format.transparency) {
            weight = (weight * alpha) >> 8;
            StoreSample(pixel, ends.outAlpha, depth, 255);
        }
        shade = LightSquare(x, ends.y) ? 255 : 204;
        total = 256;
    } else {
        if (plan.format.transparency) {
            weight = (weight * alpha) >> 15;
            StoreSample(pixel, ends.outAlpha, depth, 32768);
        }
        shade = LightSquare(x, ends.y) ? 32640 : 26112;
        total = 255;
    }
    const int32_t back = shade * (total - weight);
    StoreSample(pixel, 0, depth, (weight * colour.r + back) >> 8);
    if (!plan.format.grey) {
        StoreSample(pixel, 1, depth, (weight * colour.g + back) >> 8);
        StoreSample(pixel, 2, depth, (weight * colour.b + back) >> 8);
    }
}

// The finished colours of count pixels, colourOf(0) .. colourOf(count - 1), into the
// host's output row from column first on, in the depth's sample type. The plan's and
// the row's constants are held in locals: the sample stores could alias them and
// would have them read again pixel by pixel.
template <typename Sample, typename ColourOf>
void WriteHostSamples(const RenderPlan& plan, const RowEnds& ends, int32_t first, int32_t count, ColourOf colourOf) {
    const bool grey = plan.format.grey, transparency = plan.format.transparency;
    const std::size_t step = std::size_t(ends.outStride) * sizeof(Sample);
    const int32_t alphaIndex = ends.outAlpha, last = LastIndex(ends.rowLength);
    const Sample one = Sample(plan.one);
    uint8_t* const row = ends.out;
    const bool inside = first >= 0 && first + count - 1 <= last;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t* pixel = row + std::size_t(inside ? first + i : Clamp(first + i, 0, last)) * step;
        const GlueColour colour = colourOf(i);
        Store<Sample>(pixel, Sample(colour.r), 0);
        if (!grey) {
            Store<Sample>(pixel, Sample(colour.g), 1);
            Store<Sample>(pixel, Sample(colour.b), 2);
        }
        if (transparency) Store<Sample>(pixel, one, alphaIndex);
    }
}

template <typename ColourOf>
void WriteHost(const RenderPlan& plan, const RowEnds& ends, int32_t first, int32_t count, ColourOf colourOf) {
    if (plan.format.depth == DepthClass::bits8) {
        WriteHostSamples<uint8_t>(plan, ends, first, count, colourOf);
    } else {
        WriteHostSamples<uint16_t>(plan, ends, first, count, colourOf);
    }
}

void WriteStore(const RenderPlan& plan, const RowEnds& ends, int32_t x, GlueColour colour) {
    ImageStore* image = ends.image;
    int32_t r = colour.r, g = colour.g, b = colour.b, a = plan.one;
    const bool bytes = image->pixelKind == kKindGrey8 || image->pixelKind == kKindRGBA8;
    if (plan.format.depth == DepthClass::bits16 && bytes) {
        // 0..32768 to 0..255: (v + 1) >> 7, at most 255.
        auto toByte = [](int32_t v) { return Clamp((v + 1) >> 7 & 0x1ff, 0, 255); };
        r = toByte(r), g = toByte(g), b = toByte(b), a = toByte(a);
    }
    if (image->pixelKind == kKindGrey8) {
        SetByte(x, ends.y, image, 0, uint8_t(r));
    } else {
        setRGBA(x, ends.y, image, 0, r, g, b, a);
    }
}

// The float class: no source, no blend; the pattern itself over the preview's
// checkerboard, or into the store through the square-root encoding or as floats.
void CompositeFloat(const RenderPlan& plan, const RowEnds& ends, int32_t x, FloatRGBA c) {
    const float alpha = c.alpha < 0.0f ? 0.0f : (c.alpha > 1.0f ? 1.0f : c.alpha);
    if (ends.kind == SinkKind::store) {
        ImageStore* image = ends.image;
        if (image->pixelKind == kKindRGBA8) {
            setRGBA(x, ends.y, image, 0, ToByteSqrt(c.red), ToByteSqrt(c.green), ToByteSqrt(c.blue), ToByteSqrt(alpha));
        } else {
            setRGBAFloat(x, ends.y, image, 0, FloatRGBA{c.red, c.green, c.blue, alpha});
        }
        return;
    }
    const bool grey = plan.format.grey;
    float channels[3] = {c.red, c.green, c.blue};
    if (grey) channels[0] = (c.green * 150.0f + c.red * 77.0f + c.blue * 28.0f) * 0.003921568627451f;
    uint8_t* pixel = PixelAt(ends.out, x, ends.outStride, plan.format.depth);
    const int32_t written = grey ? 1 : 3;
    const bool preview = ends.kind == SinkKind::preview;
    if (preview) {
        const float weight = float(PreviewWeight(ends, x)) * 0.003921569f;
        const float shade = LightSquare(x, ends.y) ? 1.0f : 0.8f;
        for (int32_t i = 0; i < written; ++i) channels[i] = weight * channels[i] + (1.0f - weight) * shade;
    }
    for (int32_t i = 0; i < written; ++i) Store<float>(pixel, channels[i], i);
    if (plan.format.transparency) Store<float>(pixel, preview ? 1.0f : alpha, ends.outAlpha);
}


}  // namespace

ImageFormat ImageFormatOf(const FilterRecord& record) {
    ImageFormat format;
    const int16_t mode = record.imageMode;
    if ((mode == plugInModeGrayScale || mode == plugInModeRGBColor) && record.depth < 9) {
        format.depth = DepthClass::bits8;
    } else if ((mode == plugInModeGray16 || mode == plugInModeRGB48) && record.depth == 16) {
        format.depth = DepthClass::bits16;
    } else {
        format.depth = DepthClass::floating;
    }
    format.grey = record.planes < 3;
    format.transparency = record.filterCase == filterCaseEditableTransparencyNoSelection ||
                          record.filterCase == filterCaseEditableTransparencyWithSelection;
    return format;
}

void BuildRenderPlan(const Settings& settings, const Rect& filterRect, ImageFormat format, SimdLevel level,
                     ImageStore& ramp, RenderPlan& plan) {
    plan.format = format;
    plan.geometry = MakeGeometryConstants(settings, filterRect);
    plan.field = MakeFieldConstants(settings);
    plan.kernels = KernelsFor(level);
    BuildColourTables(settings, plan.tables);
    FillRamp(ramp, plan.tables);
    CopyRampLevels(ramp, plan.rampLevels);
    plan.ramp = &ramp;
    plan.smooth = settings.smooth != 0;
    plan.glue = settings.glue;
    BuildPingPongTable(plan.pingPong);
    switch (format.depth) {
    case DepthClass::bits8:
        plan.multiplier = 1, plan.reciprocal = 1.0f / 255.0f, plan.alpha = 255.0f;
        plan.maximum = plan.one = 255;
        plan.scale = 255.0f;
        plan.gluePath = GluePath::bits8;
        break;
    case DepthClass::bits16:
        plan.multiplier = 128, plan.reciprocal = 1.0f / 32768.0f, plan.alpha = 32768.0f;
        plan.maximum = plan.one = 32768;
        plan.scale = 32768.0f;
        plan.gluePath = GluePath::bits16;
        break;
    case DepthClass::floating:
        plan.multiplier = 128, plan.reciprocal = 1.0f, plan.alpha = 1.0f;
        plan.maximum = 65535;
        plan.one = 1;
        plan.scale = 1.0f;
        plan.gluePath = GluePath::bits16;  // not used: the float class is not glued
        break;
    }
    for (int32_t v = 0; v < 256; ++v)
        plan.channel[v] = PatternChannel(float(v * plan.multiplier) * plan.reciprocal, plan.scale);
}

void PatternValues(const RenderPlan& plan, int32_t row, int32_t firstColumn, int32_t count, float* t,
                   const XSines* xSines) {
    float x[kRowChunk], y[kRowChunk];
    plan.kernels.mapRow(plan.geometry, row, firstColumn, count, x, y);
    plan.kernels.patternRow(plan.field, x, y, count, t, xSines);
}

std::vector<float> ColumnXSines(const RenderPlan& plan, int32_t columns) {
    if (plan.geometry.foldFactor != 0.0 || plan.kernels.level == SimdLevel::scalar || columns <= 0) return {};
    std::vector<float> table(std::size_t(kXSineRows) * std::size_t(columns));
    float x[kRowChunk], y[kRowChunk];
    for (int32_t first = 0; first < columns; first += kRowChunk) {
        const int32_t count = std::min(kRowChunk, columns - first);
        plan.kernels.mapRow(plan.geometry, 0, first, count, x, y);
        TakeXSines(plan.field, x, count, table.data() + first, columns);
    }
    return table;
}

void PatternColours(const RenderPlan& plan, const float* t, int32_t firstColumn, int32_t count, SmoothState& state,
                    PatternColour* colours) {
    if (!plan.smooth) {
        for (int32_t i = 0; i < count; ++i) {
            const int32_t index = ColourIndex(t[i]);
            colours[i] = PatternColour{plan.tables.red[index], plan.tables.green[index], plan.tables.blue[index]};
        }
        return;
    }
    if (!plan.kernels.smoothRow) {
        // The scalar reference reads the ramp through the store's sampler.
        for (int32_t i = 0; i < count; ++i) {
            const int32_t column = firstColumn + i;
            const bool held = column < state.historyLength;
            float above = held ? state.history[column] : -1.0f;
            const IntRGBA colour = SmoothColour(*plan.ramp, t[i], state.prev, above);
            if (held) state.history[column] = above;
            colours[i] = PatternColour{colour.red, colour.green, colour.blue};
        }
        return;
    }
    // The neighbours of every pixel are known before any colour is, so the row buffer
    // moves on first and the colours are taken in one pass.
    if (count <= 0) return;
    float prev[kRowChunk], above[kRowChunk];
    prev[0] = state.prev;
    std::copy(t, t + count - 1, prev + 1);
    // Columns the row buffer holds: their value above, then the value to their left.
    const int32_t held = std::clamp(state.historyLength - firstColumn, 0, count);
    if (held > 0) {
        float* const history = state.history + firstColumn;
        std::copy(history, history + held, above);
        std::copy(prev, prev + held, history);
    }
    std::fill(above + held, above + count, -1.0f);
    state.prev = t[count - 1];
    plan.kernels.smoothRow(plan.rampLevels, t, prev, above, count, colours);
}

void FollowRowBuffer(const RenderPlan& plan, const float* values, int32_t rowLength, SmoothState& state) {
    const int32_t held = std::min(state.historyLength, rowLength);
    if (!plan.smooth || held <= 0) return;
    state.history[0] = -1.0f;
    std::copy(values, values + (held - 1), state.history + 1);
}

void RenderPlanRow(const RenderPlan& plan, int32_t row, const RowEnds& ends, SmoothState& state,
                   const PatternOfRow* ahead) {
    state.prev = -1.0f;
    if (ahead) {
        FollowRowBuffer(plan, ahead->values, ends.rowLength, state);
        for (int32_t first = 0; first < ends.rowLength; first += kRowChunk)
            CompositeColours(plan, ends, first, ahead->colours + first, std::min(kRowChunk, ends.rowLength - first));
        return;
    }
    float t[kRowChunk];
    PatternColour colours[kRowChunk];
    for (int32_t first = 0; first < ends.rowLength; first += kRowChunk) {
        const int32_t count = std::min(kRowChunk, ends.rowLength - first);
        PatternValues(plan, row, first, count, t);
        PatternColours(plan, t, first, count, state, colours);
        CompositeColours(plan, ends, first, colours, count);
    }
}

RowEnds HostRowEnds(const FilterRecord& record, int32_t y) {
    RowEnds ends;
    ends.kind = SinkKind::host;
    ends.rowLength = record.outRect.right - record.outRect.left;
    ends.y = Clamp(y, 0, LastIndex(record.outRect.bottom - record.outRect.top));
    ends.in = static_cast<const uint8_t*>(record.inData);
    ends.out = static_cast<uint8_t*>(record.outData);
    ends.inStride = record.inHiPlane - record.inLoPlane + 1;
    ends.outStride = record.planes;
    ends.inAlpha = record.inLayerPlanes;
    ends.outAlpha = record.outLayerPlanes;
    return ends;
}

RowEnds PreviewRowEnds(const FilterRecord& record, int32_t y, const PreviewSelection& selection) {
    RowEnds ends = HostRowEnds(record, y);
    ends.kind = SinkKind::preview;
    // The preview's buffers hold the whole area.
    ends.in += std::ptrdiff_t(ends.y) * record.inRowBytes;
    ends.out += std::ptrdiff_t(ends.y) * record.outRowBytes;
    ends.lastColumn = selection.lastColumn;
    if (ends.y > selection.lastRow) {
        ends.weight = 0;
    } else if (!record.haveMask || !record.maskData) {
        ends.weight = 255;
    } else if (ends.y < selection.maskFirstRow || ends.y > selection.maskLastRow) {
        ends.weight = 0;
    } else {
        ends.mask = static_cast<const uint8_t*>(record.maskData) +
                    std::ptrdiff_t(ends.y - selection.maskFirstRow) * record.maskRowBytes;
    }
    return ends;
}

RowEnds StoreRowEnds(ImageStore& image, int32_t y) {
    RowEnds ends;
    ends.kind = SinkKind::store;
    ends.image = &image;
    ends.rowLength = image.fullWidth;
    ends.y = Clamp(y, 0, LastIndex(image.fullHeight));
    return ends;
}

void CompositeColours(const RenderPlan& plan, const RowEnds& ends, int32_t firstColumn, const PatternColour* colours,
                      int32_t count) {
    const int32_t last = LastIndex(ends.rowLength);
    if (plan.format.depth == DepthClass::floating) {
        for (int32_t i = 0; i < count; ++i) {
            const auto scaled = [&plan](int32_t v) {
                return float(v * plan.multiplier) * plan.reciprocal * plan.scale;
            };
            const FloatRGBA colour{scaled(colours[i].red), scaled(colours[i].green), scaled(colours[i].blue),
                                   plan.alpha * plan.scale};
            CompositeFloat(plan, ends, Clamp(firstColumn + i, 0, last), colour);
        }
        return;
    }
    // Held in locals: the stores to pattern could alias the plan's table.
    const int32_t* const channel = plan.channel;
    const int32_t maximum = plan.maximum;
    const bool grey = plan.format.grey;
    // Normal glue writes the pattern as it is, straight into the host's row; only the
    // preview reads the source then, for its transparency.
    const bool normal = GlueIsNormal(plan.glue);
    if (normal && ends.kind == SinkKind::host) {
        WriteHost(plan, ends, firstColumn, count,
                  [&](int32_t i) { return PatternSamples(channel, maximum, grey, colours[i]); });
        return;
    }
    GlueColour pattern[kRowChunk] = {}, source[kRowChunk] = {};
    int32_t alpha[kRowChunk];
    const bool fromStore = ends.kind == SinkKind::store;
    const bool readSource = !normal || ends.kind == SinkKind::preview;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = Clamp(firstColumn + i, 0, last);
        if (readSource && fromStore) {
            IntRGBA stored{0, 0, 0, 0};
            getRGBA(x, ends.y, ends.image, 0, stored);
            source[i] = GlueColour{stored.red, stored.green, stored.blue};
            alpha[i] = stored.alpha;
        } else if (readSource) {
            source[i] = ReadSource(plan, ends, x, alpha[i]);
        }
        pattern[i] = PatternSamples(channel, maximum, grey, colours[i]);
    }
    // A row of colours is 3 * count samples in a row (GlueColour is three int32_t).
    static_assert(sizeof(GlueColour) == 3 * sizeof(int32_t));
    if (!normal && !(plan.kernels.glueSamples &&
                     plan.kernels.glueSamples(plan.glue, plan.gluePath, &pattern[0].r, &source[0].r, &pattern[0].r,
                                              3 * count)))
        GlueRow(plan.glue, plan.gluePath, pattern, source, pattern, count, plan.pingPong);
    switch (ends.kind) {
    case SinkKind::host: WriteHost(plan, ends, firstColumn, count, [&](int32_t i) { return pattern[i]; }); break;
    case SinkKind::preview:
        for (int32_t i = 0; i < count; ++i)
            WritePreview(plan, ends, Clamp(firstColumn + i, 0, last), pattern[i], alpha[i]);
        break;
    case SinkKind::store:
        for (int32_t i = 0; i < count; ++i) WriteStore(plan, ends, Clamp(firstColumn + i, 0, last), pattern[i]);
        break;
    }
}

void CompositeSourceRow(const RenderPlan& plan, const RowEnds& ends) {
    if (ends.kind != SinkKind::preview || !ends.in || !ends.out) return;
    for (int32_t x = 0; x < ends.rowLength; ++x) {
        if (plan.format.depth == DepthClass::floating) {
            const uint8_t* pixel = PixelAt(const_cast<uint8_t*>(ends.in), x, ends.inStride, plan.format.depth);
            const float r = Load<float>(pixel, 0);
            const float g = plan.format.grey ? r : Load<float>(pixel, 1);
            const float b = plan.format.grey ? r : Load<float>(pixel, 2);
            CompositeFloat(plan, ends, x, FloatRGBA{r, g, b, 1.0f});
            continue;
        }
        int32_t alpha;
        const GlueColour source = ReadSource(plan, ends, x, alpha);
        WritePreview(plan, ends, x, source, alpha);
    }
}
