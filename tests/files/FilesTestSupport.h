// Shared pieces of the file tests: factory settings, undo slots and a thumbnail,
// byte-level file helpers, and libjpeg used directly as the oracle.
#pragma once

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "settings/Settings.h"
#include "settings/StoredState.h"
#include "store/ImageStore.h"
#include "support/StateFiles.h"

// A red "F" on a blue-green ramp: no symmetry for a flip to hide behind.
inline IntRGBA TestPixel(int32_t x, int32_t y) {
    const bool mark = (x >= 20 && x < 32 && y >= 16 && y < 90) || (x >= 20 && x < 80 && y >= 16 && y < 28) ||
                      (x >= 20 && x < 64 && y >= 48 && y < 60);
    return mark ? IntRGBA{230, 40, 30, 255} : IntRGBA{20, 40 + y, 60 + x, 255};
}

// Fills level 0 with the test pattern, or with one grey when grey >= 0.
inline void FillThumbnail(ImageStore& image, int grey = -1) {
    for (int32_t y = 0; y < image.fullHeight; ++y)
        for (int32_t x = 0; x < image.fullWidth; ++x) {
            const IntRGBA p = grey < 0 ? TestPixel(x, y) : IntRGBA{grey, grey, grey, 255};
            setRGBA(x, y, &image, 0, p.red, p.green, p.blue, p.alpha);
        }
}

// The largest channel difference between the image and the test pattern.
inline int ThumbnailError(const ImageStore& image) {
    int worst = 0;
    for (int32_t y = 0; y < image.fullHeight; ++y)
        for (int32_t x = 0; x < image.fullWidth; ++x) {
            IntRGBA got;
            getRGBA(x, y, &image, 0, got);
            const IntRGBA want = TestPixel(x, y);
            worst = std::max({worst, std::abs(got.red - want.red), std::abs(got.green - want.green),
                              std::abs(got.blue - want.blue)});
        }
    return worst;
}

// Undo slots and a 128 x 128 thumbnail holding the pattern.
struct TestRun {
    UndoSlots undo{};
    ImageStore thumbnail{};

    TestRun() {
        InitialiseImage(&thumbnail, nullptr);
        CreateImage(&thumbnail, 128, 128, kKindRGBA8, 0);
        FillThumbnail(thumbnail);
    }
    ~TestRun() { ReleaseImage(&thumbnail); }
    TestRun(const TestRun&) = delete;
    TestRun& operator=(const TestRun&) = delete;
};

using testsupport::StatePath;

inline Settings FactorySettings() {
    Settings settings{};
    InitialiseSettings(settings, nullptr);
    return settings;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline int32_t BigEndianAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    return int32_t(uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
                   uint32_t(bytes[at + 3]));
}

inline void AppendBigEndian(std::vector<uint8_t>& bytes, int32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(uint32_t(value) >> shift));
}

// What libjpeg itself reads from a JPEG: the pixels, the saved markers in file
// order, the quantisation tables and the luminance sampling.
struct LibjpegImage {
    bool ok = false;
    int width = 0, height = 0, lumaSampling = 0;
    std::vector<uint8_t> pixels;  // RGB
    std::vector<std::pair<int, std::vector<uint8_t>>> markers;
    std::vector<unsigned> quant[2];
};

namespace filestest {
struct Errors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};
[[noreturn]] inline void Fail(j_common_ptr codec) { std::longjmp(reinterpret_cast<Errors*>(codec->err)->jump, 1); }

// Decodes into `image`; a libjpeg error leaves image.ok false.
inline void Decode(const uint8_t* data, std::size_t size, LibjpegImage& image) {
    jpeg_decompress_struct codec{};
    Errors errors;
    codec.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = Fail;
    errors.pub.output_message = [](j_common_ptr) {};
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&codec);
        return;
    }
    jpeg_create_decompress(&codec);
    jpeg_mem_src(&codec, data, static_cast<unsigned long>(size));
    for (int m : {int(JPEG_COM), JPEG_APP0, JPEG_APP0 + 1, JPEG_APP0 + 2, JPEG_APP0 + 13, JPEG_APP0 + 14})
        jpeg_save_markers(&codec, m, 0xFFFF);
    jpeg_read_header(&codec, TRUE);
    for (jpeg_saved_marker_ptr m = codec.marker_list; m; m = m->next)
        image.markers.push_back({m->marker, std::vector<uint8_t>(m->data, m->data + m->data_length)});
    for (int t = 0; t < 2; ++t)
        image.quant[t].assign(codec.quant_tbl_ptrs[t]->quantval, codec.quant_tbl_ptrs[t]->quantval + 64);
    image.lumaSampling = codec.comp_info[0].h_samp_factor * 10 + codec.comp_info[0].v_samp_factor;
    codec.out_color_space = JCS_RGB;
    jpeg_start_decompress(&codec);
    image.width = int(codec.output_width);
    image.height = int(codec.output_height);
    image.pixels.resize(std::size_t(image.width) * image.height * 3);
    while (codec.output_scanline < codec.output_height) {
        JSAMPROW row = image.pixels.data() + std::size_t(codec.output_scanline) * image.width * 3;
        jpeg_read_scanlines(&codec, &row, 1);
    }
    jpeg_finish_decompress(&codec);
    jpeg_destroy_decompress(&codec);
    image.ok = true;
}
}  // namespace filestest

inline LibjpegImage DecodeWithLibjpeg(const uint8_t* data, std::size_t size) {
    LibjpegImage image;
    filestest::Decode(data, size, image);
    return image;
}

// The thumbnail of a presets file's bytes: after the 39 values a frame of kind 1, two
// sides and the byte count, then exactly that many bytes of JPEG. Not ok otherwise.
inline LibjpegImage DecodePresetsThumbnail(const std::vector<uint8_t>& bytes) {
    constexpr std::size_t frame = 39 * 4;
    if (bytes.size() < frame + 16 || BigEndianAt(bytes, frame) != 1 ||
        bytes.size() != frame + 16 + uint32_t(BigEndianAt(bytes, frame + 12)))
        return {};
    return DecodeWithLibjpeg(bytes.data() + frame + 16, bytes.size() - frame - 16);
}
