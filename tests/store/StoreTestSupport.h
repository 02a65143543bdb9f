// Helpers shared by the store tests: an image record that releases itself, and
// whole-pixel reads.
#pragma once

#include <array>
#include <cstdint>

#include <gtest/gtest.h>

#include "store/ImageStore.h"

// An initialised image record released at scope exit; given a size and kind it is
// created at once, and a failed creation fails the test.
struct ScopedImage {
    ImageStore image;
    ScopedImage() { InitialiseImage(&image, nullptr); }
    ScopedImage(int32_t width, int32_t height, PixelKind kind) : ScopedImage() { Create(width, height, kind); }
    void Create(int32_t width, int32_t height, PixelKind kind) {
        EXPECT_TRUE(CreateImage(&image, width, height, kind, 0)) << width << " x " << height << " kind " << kind;
    }
    ~ScopedImage() { ReleaseImage(&image); }
    ImageStore* operator->() { return &image; }
    ImageStore* get() { return &image; }
};

// A pixel as an array, so one assertion compares (and prints) all four channels.
using Px = std::array<int32_t, 4>;
inline Px AsPx(const IntRGBA& p) { return {p.red, p.green, p.blue, p.alpha}; }
inline std::array<float, 4> AsFloats(const FloatRGBA& p) { return {p.red, p.green, p.blue, p.alpha}; }
inline Px PixelAt(const ImageStore* image, int32_t x, int32_t y, int level = 0) {
    IntRGBA p{};
    getRGBA(x, y, image, level, p);
    return AsPx(p);
}
