// A PNG screenshot of a headless dialog, read back through libpng.
#pragma once

#include <png.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ui/Canvas.h"

struct Screenshot {
    png_image image{};
    std::vector<png_byte> pixels;

    bool Read(const std::string& path) {
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
        image.format = PNG_FORMAT_RGB;
        pixels.resize(PNG_IMAGE_SIZE(image));
        return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    }
    const png_byte* Pixel(int x, int y) const { return &pixels[(std::size_t(y) * image.width + std::size_t(x)) * 3]; }
    ui::Color At(int x, int y) const {
        const png_byte* p = Pixel(x, y);
        return ui::Rgb(p[0], p[1], p[2]);
    }
};
