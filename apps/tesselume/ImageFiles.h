// Image files for the command line: PNG, JPEG and TIFF read into the host's
// in-memory image and written back from it, 8 and 16 bits, grey and RGB, an alpha
// channel as the layer's transparency, the ICC profile carried alongside.
//
// 16-bit files hold 0..65535 while the host works on 0..32768. Loading rounds to the
// nearest host value and saving to the nearest file value, so every host value
// survives a save and a load exactly. A 16-bit sample the filter left unchanged is
// written back as the file held it, so unfiltered pixels stay bit-identical.
//
// Failures return false with one line of text in error; nothing is thrown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FilterHost.h"

namespace tesselume {

enum class FileFormat { png, jpeg, tiff };

// The filter protocol addresses pixels with 16-bit coordinates: larger images are
// refused, files before their samples are allocated.
constexpr int32_t kMaxImageSide = 32767;
inline constexpr const char* kTooLarge = "the image is larger than the 32767 pixels the filter protocol can address";

struct ImageFile {
    filterhost::Image image;            // samples on the host scale
    std::vector<uint8_t> iccProfile;    // empty when the file has none
    std::vector<uint16_t> fileSamples;  // 16-bit files: the samples as read, 0..65535; else empty
};

uint16_t ToHostScale(uint16_t fileValue);
uint16_t FromHostScale(uint16_t hostValue);

// The format a path's extension names (.png, .jpg/.jpeg, .tif/.tiff, any case).
std::optional<FileFormat> FormatForPath(const std::string& path);

// Reads a file, recognised by its content rather than its name.
bool ReadImageFile(const std::string& path, ImageFile& file, std::string& error);

// Writes file.image to path in the given format, replacing whatever is there. JPEG
// holds neither 16 bits nor transparency; such images are refused, not degraded.
bool WriteImageFile(const std::string& path, FileFormat format, const ImageFile& file, std::string& error);

}  // namespace tesselume
