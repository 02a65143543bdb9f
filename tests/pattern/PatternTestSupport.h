// Shared inputs of the pattern tests: settings to render with, an asymmetric source,
// and whole renders of it through the filterhost library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PresetFiles.h"
#include "files/FilesTestSupport.h"
#include "host/HostTestSupport.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"

// Smooth off, mirror and weave on, 5-fold symmetry and glue "screen", which reads
// the source: every optional stage of the pipeline at work.
inline Settings Woven() {
    Settings s = FactorySettings();
    s.smooth = 0;
    s.mirror = s.weave = 1;
    s.symmetry = 4;
    s.glue = 10;
    return s;
}

// Settings anywhere in the parameters' own ranges, drawn by a fixed linear
// congruential sequence, so the same draws come out on every machine.
inline Settings Drawn(uint32_t seed) {
    Settings s = FactorySettings();
    for (const ParameterInfo& p : kParameters) {
        seed = seed * 1664525u + 1013904223u;
        s.*p.field = p.minimum + int32_t((seed >> 8) % uint32_t(p.maximum - p.minimum + 1));
    }
    return s;
}

// The source the pattern tests render over: the host tests' RampImage.
inline filterhost::Image Source(int32_t width, int32_t height, int32_t colourPlanes, int32_t depth,
                                bool transparency = false) {
    return RampImage(width, height, colourPlanes, depth, transparency);
}

struct Renderer {
    std::unique_ptr<filterhost::Host> host = LoadModule();
    // Renders over the whole image, or over `area` (rows top..bottom, columns left..right).
    void Render(filterhost::Image& image, const Settings& s, std::vector<uint8_t> mask = {},
                std::optional<Rect> area = std::nullopt) {
        filterhost::Job job;
        job.play = tesselume::DescriptorOf(s);
        job.filterRect = area ? *area : Rect{0, 0, int16_t(image.height), int16_t(image.width)};
        job.mask = std::move(mask);
        std::string error;
        const filterhost::RunReport report = host->Run(image, job, error);
        EXPECT_EQ(report.result, noErr) << error;
    }
};
