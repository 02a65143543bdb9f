// The export render into a store image.
#include "export/StoreRender.h"

#include <algorithm>
#include <cstring>

#include "pattern/Compositing.h"
#include "pattern/RowsAhead.h"
#include "settings/Settings.h"

StoreRender::StoreRender(const Settings& settings, const Rect& area, ImageFormat format, const WeightTable* weights,
                         ImageStore& target)
    : image(target) {
    // Level 0 starts transparent black: the glue modes read the image as their source.
    for (int32_t t = image.firstTile[0]; t <= image.lastTile[0]; ++t)
        std::memset(image.tiles[t].pixels, 0,
                    std::size_t(TilePixelCount(&image, t)) * std::size_t(image.bytesPerPixel));
    // Every pixel of the area, whatever part of it the dialog's preview shows.
    Settings full = settings;
    full.previewScale = 1;
    full.previewPanX = full.previewPanY = 0;
    full.redCycles = full.greenCycles = full.blueCycles = settings.density;

    InitialiseImage(&ramp, weights);
    historyLength = image.fullWidth + 2;
    if (AllocateBuffer(int32_t(sizeof(RenderPlan) + std::size_t(historyLength) * sizeof(float)), block) != noErr)
        return;
    plan = static_cast<RenderPlan*>(block.data);
    history = reinterpret_cast<float*>(static_cast<uint8_t*>(block.data) + sizeof(RenderPlan));
    std::fill(history, history + historyLength, -1.0f);
    CreateImage(&ramp, 256, 1, kKindRGBA8, 0);  // without it smooth reads zeros, as in any render
    BuildRenderPlan(full, area, format, SimdLevelFromEnvironment(), ramp, *plan);
    ahead = PatternRowsAhead::Start(ThreadCountFromEnvironment(), *plan);
}

StoreRender::~StoreRender() {
    ahead.reset();
    ReleaseImage(&ramp);
    ReleaseBuffer(block);
}

void StoreRender::Row(int32_t row) {
    SmoothState smooth{history, historyLength, -1.0f};
    RenderRowAhead(*plan, ahead.get(), row, image.fullHeight, StoreRowEnds(image, row), smooth);
}

bool RenderIntoStore(const Settings& settings, const Rect& area, ImageFormat format, const WeightTable* weights,
                     ImageStore& image) {
    StoreRender render(settings, area, format, weights, image);
    if (!render.Ready()) return false;
    for (int32_t row = 0; row < render.Height(); ++row) render.Row(row);
    return true;
}
