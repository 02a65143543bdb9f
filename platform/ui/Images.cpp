// Pixmap parsing and PNG writing.
#include "platform/ui/Images.h"

#include <png.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>

namespace ui {

namespace {

bool ParseHexColour(const std::string& word, Color& colour) {
    if (word == "none") {
        colour = 0;
        return true;
    }
    if ((word.size() != 7 && word.size() != 9) || word[0] != '#') return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(word.c_str() + 1, &end, 16);
    if (*end != '\0') return false;
    // #RRGGBB is opaque; #RRGGBBAA carries its alpha, for soft edges over any background.
    colour = word.size() == 7 ? 0xFF000000u | Color(value) : Color(value >> 8) | Color(value & 0xFF) << 24;
    return true;
}

}  // namespace

bool ParsePixmap(std::span<const std::uint8_t> bytes, Pixmap& pixmap) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    const auto nextLine = [&] {
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] != '#') return true;
        }
        return false;
    };
    if (!nextLine()) return false;
    std::istringstream header(line);
    std::string word, hotspot;
    int width = 0, height = 0;
    if (!(header >> word >> width >> height) || word != "pixmap" || width <= 0 || height <= 0 || width > 4096 ||
        height > 4096)
        return false;
    pixmap = {};
    if (header >> hotspot && !(hotspot == "hotspot" && header >> pixmap.hotX >> pixmap.hotY)) return false;

    std::array<Color, 256> palette{};
    std::array<bool, 256> known{};
    while (nextLine() && line.rfind("colour ", 0) == 0) {
        std::istringstream entry(line.substr(7));
        std::string key, value;
        if (!(entry >> key >> value) || key.size() != 1 || key[0] == '#') return false;
        const auto index = static_cast<unsigned char>(key[0]);
        if (!ParseHexColour(value, palette[index])) return false;
        known[index] = true;
    }
    pixmap.bitmap.width = width;
    pixmap.bitmap.height = height;
    pixmap.bitmap.pixels.reserve(std::size_t(width) * std::size_t(height));
    for (int row = 0; row < height; ++row) {
        if (row > 0 && !nextLine()) return false;
        if (int(line.size()) != width) return false;
        for (char c : line) {
            const auto index = static_cast<unsigned char>(c);
            if (!known[index]) return false;
            pixmap.bitmap.pixels.push_back(palette[index]);
        }
    }
    return true;
}

namespace {

// Writes the rows of r; libpng reports its errors by a long jump back here.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, const Canvas& canvas, Rect r, png_byte* row) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(r.Width()), png_uint_32(r.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const Color c = canvas.PixelAt(x, y);
            png_byte* out = row + std::size_t(x - r.left) * 3;
            out[0] = png_byte(c >> 16);
            out[1] = png_byte(c >> 8);
            out[2] = png_byte(c);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool WritePng(const char* path, const Canvas& canvas) {
    const Rect r = Intersect(canvas.clip, {0, 0, canvas.width, canvas.height});
    if (r.Empty()) return false;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(std::size_t(r.Width()) * 3);
    const bool written = info && WriteRows(png, info, file, canvas, r, row.data());
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

}  // namespace ui
