// Helpers for the command line's tests: the state folder, image files read and
// written, a small ICC profile that libpng accepts, and libpng used directly as an
// independent reader and writer. Test images are the host tests' RampImage.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "FilterHost.h"
#include "ImageFiles.h"
#include "host/HostTestSupport.h"
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

// What libpng itself reads from a file: raw samples (16-bit as big-endian pairs
// joined). A file libpng cannot read fails the test and gives nothing.
struct PngContents {
    uint32_t width = 0, height = 0;
    int colourType = 0, bitDepth = 0;
    std::vector<uint16_t> samples;
    std::vector<uint8_t> iccProfile;
};

inline PngContents ReadWithLibpng(const std::string& path) {
    PngContents out;
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) {
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(fp);
        ADD_FAILURE() << "libpng cannot read " << path;
        return out;
    }
    png_init_io(png, fp);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_get_IHDR(png, info, &out.width, &out.height, &out.bitDepth, &out.colourType, nullptr, nullptr, nullptr);
    png_charp name;
    int compression;
    png_bytep profile;
    png_uint_32 length;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length)) out.iccProfile.assign(profile, profile + length);
    const png_bytepp rows = png_get_rows(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info), step = out.bitDepth == 16 ? 2 : 1;
    for (uint32_t y = 0; y < out.height; ++y)
        for (std::size_t i = 0; i < rowBytes; i += step)
            out.samples.push_back(step == 2 ? uint16_t(rows[y][i] << 8 | rows[y][i + 1]) : rows[y][i]);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(fp);
    return out;
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
    std::vector<uint8_t> bytes;
    for (const uint16_t v : samples) {
        if (bitDepth == 16) bytes.push_back(uint8_t(v >> 8));
        bytes.push_back(uint8_t(v));
    }
    std::vector<png_bytep> rows(height);
    for (uint32_t y = 0; y < height; ++y) rows[y] = bytes.data() + y * (bytes.size() / height);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(fp) == 0;
}

// The image file at path, read by the command line's reader.
inline tesselume::ImageFile Load(const std::string& path) {
    tesselume::ImageFile file;
    std::string error;
    EXPECT_TRUE(tesselume::ReadImageFile(path, file, error)) << path << ": " << error;
    return file;
}

// Writes the image in the format its path names, with a profile and a resolution.
inline void Save(const std::string& path, const filterhost::Image& image, std::vector<uint8_t> profile = {},
                 double resolution = 0) {
    tesselume::ImageFile file = FileOf(image, std::move(profile));
    file.resolution[0] = file.resolution[1] = resolution;
    std::string error;
    ASSERT_TRUE(tesselume::WriteImageFile(path, *tesselume::FormatForPath(path), file, error)) << error;
}

// Fails for any file in the state folder whose name starts with one of the prefixes.
inline void ExpectNoFileStartingWith(std::initializer_list<const char*> prefixes) {
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(StatePath("")))
        for (const char* prefix : prefixes)
            EXPECT_FALSE(entry.path().filename().string().starts_with(prefix)) << entry.path();
}

}  // namespace clitest
