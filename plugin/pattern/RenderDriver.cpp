// The render driver: the row renderer and the render context's lifecycle.
#include "pattern/RenderDriver.h"

#include <algorithm>

#include "host/Globals.h"
#include "pattern/Compositing.h"
#include "pattern/Geometry.h"
#include "pattern/PatternField.h"
#include "pattern/RenderContext.h"
#include "settings/Settings.h"

namespace {

// Channel scaling of a depth class: colours become value * multiplier (0..255 or
// 0..32640) and are handed on times reciprocal, with the class's pattern alpha.
struct DepthScaling {
    int32_t multiplier;
    float reciprocal;
    float alpha;
};

DepthScaling ScalingFor(DepthClass depth) {
    switch (depth) {
    case DepthClass::bits8: return {1, 1.0f / 255.0f, 255.0f};
    case DepthClass::bits16: return {128, 1.0f / 32768.0f, 32768.0f};
    case DepthClass::floating: return {128, 1.0f, 1.0f};
    }
    return {1, 1.0f / 255.0f, 255.0f};
}

}  // namespace

void RenderStart(RunGlobals& globals) {
    if (!globals.workBlock.data) return;
    RenderContext& context = Work(globals).render;
    context.tablesBuilt = 0;
    ReleaseImage(&context.ramp);
    InitialiseImage(&context.ramp, &globals, &Work(globals).weights);
    // Without a ramp smooth reads zeros; the render itself still runs.
    CreateImage(&context.ramp, 256, 1, kKindRGBA8, 0);
}

void RenderRow(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    if (!record.inData || !record.outData) {
        SetResult(memFullErr);
        return;
    }
    const Settings& settings = *CurrentSettings();
    RenderContext& context = Work(globals).render;
    const int32_t row = globals.loop.renderedRow;
    const DepthScaling scaling = ScalingFor(DepthClassOf(record));
    const GeometryConstants geometry = MakeGeometryConstants(settings, globals.savedFilterRect);
    const FieldConstants field = MakeFieldConstants(settings);
    const CompositeRow composite = MakeCompositeRow(globals, settings, row);
    const bool smooth = settings.smooth != 0;

    if (!context.tablesBuilt) {
        BuildColourTables(settings, context.tables);
        FillRamp(context.ramp, context.tables);
        context.tablesBuilt = 1;
    }

    float* history = static_cast<float*>(globals.rowBuffer.data);
    const int32_t historyLength = history ? globals.rowBufferBytes / 4 : 0;
    float prev = -1.0f;
    float x[kCompositeChunk], y[kCompositeChunk], t[kCompositeChunk];
    PatternColour colours[kCompositeChunk];
    for (int32_t first = 0; first < composite.rowLength; first += kCompositeChunk) {
        const int32_t count = std::min(kCompositeChunk, composite.rowLength - first);
        MapRow(geometry, row, first, count, x, y);
        PatternRow(field, x, y, count, t);
        for (int32_t i = 0; i < count; ++i) {
            int32_t red, green, blue;
            if (smooth) {
                const int32_t column = first + i;
                float above = column < historyLength ? history[column] : -1.0f;
                const IntRGBA colour = SmoothColour(context.ramp, t[i], prev, above);
                if (column < historyLength) history[column] = above;
                red = colour.red, green = colour.green, blue = colour.blue;
            } else {
                const int32_t index = ColourIndex(t[i]);
                red = context.tables.red[index], green = context.tables.green[index], blue = context.tables.blue[index];
            }
            colours[i] = PatternColour{float(red * scaling.multiplier) * scaling.reciprocal,
                                       float(green * scaling.multiplier) * scaling.reciprocal,
                                       float(blue * scaling.multiplier) * scaling.reciprocal, scaling.alpha};
        }
        CompositePixels(composite, first, colours, count);
    }
}

void RenderFinish(RunGlobals& globals) {
    if (!globals.workBlock.data) return;
    ReleaseImage(&Work(globals).render.ramp);
}
