// Helpers for the command line's tests: the state folder, asymmetric test images, a
// small ICC profile that libpng accepts, and libpng used directly as an independent
// reader and writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "FilterHost.h"
#include "ImageFiles.h"
#include "support/StateFiles.h"

namespace clitest {

using testsupport::FileContents;
using testsupport::StatePath;

inline tesselume::ImageFile FileOf(const filterhost::Image& image, std::vector<uint8_t> profile = {}) {
    tesselume::ImageFile file;
    file.image = image;
    file.iccProfile = std::move(profile);
    return file;
}

// Width, height, colour planes, transparency and depth, to compare in one check.
inline auto Shape(const filterhost::Image& i) {
    return std::make_tuple(i.width, i.height, i.colourPlanes, i.transparency, i.depth);
}

// An image whose every sample differs from its mirror images and channel swaps.
inline filterhost::Image AsymmetricImage(int32_t width, int32_t height, int32_t colourPlanes, bool alpha,
                                         int32_t depth) {
    filterhost::Image image;
    image.width = width;
    image.height = height;
    image.colourPlanes = colourPlanes;
    image.transparency = alpha;
    image.depth = depth;
    image.samples.resize(std::size_t(width) * std::size_t(height) * std::size_t(image.Planes()));
    const uint32_t top = depth == 16 ? 32768 : 255;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t p = 0; p < image.Planes(); ++p)
                image.At(x, y, p) = uint16_t((uint32_t(x) * 37u + uint32_t(y) * 11u * uint32_t(p + 1) +
                                              uint32_t(p) * 101u + uint32_t(x * y) * 7u) % (top + 1));
    return image;
}

// A minimal but well-formed ICC header (no tags) for the colour space "RGB " or
// "GRAY", followed by a recognisable tail.
inline std::vector<uint8_t> TestProfile(bool rgb) {
    std::vector<uint8_t> profile(160, 0);
    // Size, version and the D50 illuminant, big-endian; then the header's four-character fields.
    for (auto [at, v] : {std::pair<std::size_t, uint32_t>{0, 160}, {8, 0x02100000}, {68, 0x0000F6D6},
                         {72, 0x00010000}, {76, 0x0000D32D}})
        for (std::size_t i = 0; i < 4; ++i) profile[at + i] = uint8_t(v >> (24 - 8 * i));
    for (auto [at, text] : {std::pair<std::size_t, const char*>{12, "mntr"}, {16, rgb ? "RGB " : "GRAY"},
                            {20, "XYZ "}, {36, "acsp"}})
        std::memcpy(&profile[at], text, 4);
    for (std::size_t i = 132; i < profile.size(); ++i) profile[i] = uint8_t(i * 7);  // after a zero tag count
    return profile;
}

// What libpng itself reads from a file: raw samples (16-bit as big-endian pairs joined).
struct PngContents {
    uint32_t width = 0, height = 0;
    int colourType = 0, bitDepth = 0;
    std::vector<uint16_t> samples;
    std::vector<uint8_t> iccProfile;
};

inline bool ReadWithLibpng(const std::string& path, PngContents& out) {
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.colourType = png_get_color_type(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    png_charp name;
    int compression;
    png_bytep profile;
    png_uint_32 length;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length)) out.iccProfile.assign(profile, profile + length);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<uint8_t> bytes(rowBytes * out.height);
    std::vector<png_bytep> rows(out.height);
    for (uint32_t y = 0; y < out.height; ++y) rows[y] = bytes.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(fp);
    if (out.bitDepth == 16)
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) out.samples.push_back(uint16_t(bytes[i] << 8 | bytes[i + 1]));
    else
        out.samples.assign(bytes.begin(), bytes.end());
    return true;
}

// Writes raw samples (file scale) with libpng; palette images take 8-bit indices.
inline bool WriteWithLibpng(const std::string& path, uint32_t width, uint32_t height, int colourType, int bitDepth,
                            const std::vector<uint16_t>& samples, const std::vector<png_color>& palette = {},
                            const std::vector<uint8_t>& paletteAlpha = {}) {
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, width, height, bitDepth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!paletteAlpha.empty()) png_set_tRNS(png, info, paletteAlpha.data(), int(paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    const std::size_t perRow = samples.size() / height;
    std::vector<uint8_t> row;
    for (uint32_t y = 0; y < height; ++y) {
        row.clear();
        for (std::size_t i = 0; i < perRow; ++i) {
            const uint16_t v = samples[y * perRow + i];
            if (bitDepth == 16) row.push_back(uint8_t(v >> 8));
            row.push_back(uint8_t(v));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(fp) == 0;
}

// A PNG signature and IHDR, then an IDAT of a few bytes: all header, no image.
inline std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType) {
    std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, std::vector<uint8_t> data) {
        const uint32_t length = uint32_t(data.size());
        for (int s = 24; s >= 0; s -= 8) bytes.push_back(uint8_t(length >> s));
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        bytes.insert(bytes.end(), body.begin(), body.end());
        const uint32_t crc = uint32_t(crc32(0, body.data(), uInt(body.size())));
        for (int s = 24; s >= 0; s -= 8) bytes.push_back(uint8_t(crc >> s));
    };
    std::vector<uint8_t> header;
    for (uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8) header.push_back(uint8_t(v >> s));
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", {0x78, 0x9C, 0x03, 0x00});
    chunk("IEND", {});
    return bytes;
}

// A little-endian TIFF of one uncompressed strip that is not there.
inline std::vector<uint8_t> TiffHeaderOnly(uint32_t width, uint32_t height, uint16_t samples) {
    std::vector<uint8_t> bytes = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3}, {273, 4}, {277, 3}, {278, 4}, {279, 4}};
    const uint32_t values[] = {width, height, 8, 1, 2, 200, samples, height, 100};
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    };
    put(9, 2);
    for (int i = 0; i < 9; ++i) {
        put(tags[i][0], 2);
        put(tags[i][1], 2);
        put(1, 4);
        put(values[i], 4);
    }
    put(0, 4);
    return bytes;
}

}  // namespace clitest
