// Shared helpers of the host tests: a loaded module, small asymmetric images and a
// run of one job.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "FilterHost.h"
#include "support/Environment.h"

inline std::unique_ptr<filterhost::Host> LoadModule(const filterhost::HostOptions& options = {}) {
    std::string error;
    auto host = filterhost::Host::Load(TESSELUME_MODULE_PATH, options, error);
    EXPECT_TRUE(host) << error;
    return host;
}

// Sample p of pixel (x, y) of an image that differs from pixel to pixel and plane to
// plane, so that a swapped axis or channel shows, with no mirror or rotation symmetry,
// below the depth's maximum.
inline int32_t RampSample(int32_t x, int32_t y, int32_t p, int32_t depth) {
    return (x * 7 + y * 13 + p * 61) % (depth == 16 ? 32768 : 255);
}

// An image of those samples, its alpha plane included when it has one.
inline filterhost::Image RampImage(int32_t width, int32_t height, int32_t colourPlanes, int32_t depth,
                                   bool transparency = false) {
    auto image = filterhost::Image::Make(width, height, colourPlanes, transparency, depth, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t p = 0; p < image.Planes(); ++p) image.At(x, y, p) = uint16_t(RampSample(x, y, p, depth));
    return image;
}

// The item of a played or recorded descriptor with key, or null.
inline const filterhost::DescriptorItem* FindItem(const filterhost::Descriptor& descriptor, OSType key) {
    for (const filterhost::DescriptorItem& item : descriptor)
        if (item.key == key) return &item;
    return nullptr;
}

// job with the module's dialog shown, as a user's menu choice asks for it.
inline filterhost::Job DialogJob(filterhost::Job job = {}) {
    job.showDialog = true;
    job.playInfo = plugInDialogDisplay;
    return job;
}

// Runs job over image, in place, with the module loaded for this run alone. The
// host's message goes to error when given, and must be empty otherwise.
inline filterhost::RunReport RunJob(filterhost::Image& image, const filterhost::Job& job = {},
                                    const filterhost::HostOptions& options = {}, std::string* error = nullptr) {
    std::string message;
    auto report = LoadModule(options)->Run(image, job, message);
    if (error) *error = message;
    else EXPECT_EQ(message, "");
    return report;
}
