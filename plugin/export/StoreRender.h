// The export render: the settings rendered over an area into a store image of the
// area's size, through the render plan with the image as each row's source and
// sink (run mode 2). The PSD export renders the whole filtered area this way, the
// memory-dots page each dot at its picture's size.
//
// The image starts transparent black, so the glue modes lay the pattern onto
// nothing; every pixel of the area is rendered (not the preview's reduced window),
// the colour waves cycle with the density and smooth starts fresh, as render start
// and the row loop do. Like them it runs at the environment's SIMD level and
// computes pattern rows ahead on the environment's threads.
#pragma once

#include <cstdint>
#include <memory>

#include "PIFilter.h"
#include "pattern/RenderPlan.h"
#include "store/HostUtil.h"
#include "store/ImageStore.h"

class PatternRowsAhead;
struct Settings;
struct WeightTable;

class StoreRender {
public:
    // Clears image (already created, area-sized) and builds the plan; Ready tells
    // whether the plan's memory could be had.
    StoreRender(const Settings& settings, const Rect& area, ImageFormat format, const WeightTable* weights,
                ImageStore& image);
    ~StoreRender();
    StoreRender(const StoreRender&) = delete;
    StoreRender& operator=(const StoreRender&) = delete;

    bool Ready() const { return plan != nullptr; }
    int32_t Height() const { return image.fullHeight; }
    // Renders row (0 at the area's top); rows go top to bottom, as smooth needs.
    void Row(int32_t row);

private:
    ImageStore& image;
    Buffer block{};
    RenderPlan* plan = nullptr;
    float* history = nullptr;
    int32_t historyLength = 0;
    ImageStore ramp{};
    std::unique_ptr<PatternRowsAhead> ahead;  // reads the plan and the ramp: stopped first
};

// Every row at once. False when the plan's memory could not be had.
bool RenderIntoStore(const Settings& settings, const Rect& area, ImageFormat format, const WeightTable* weights,
                     ImageStore& image);
