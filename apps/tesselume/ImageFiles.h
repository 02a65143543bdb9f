// Image files for the command line: PNG, JPEG, TIFF and WebP read into the host's
// in-memory image and written back from it, 8 and 16 bits, grey and RGB, an alpha
// channel as the layer's transparency, and what the file says about itself carried
// alongside: ICC profile, resolution, PNG text, and EXIF, XMP and IPTC (FileMetadata).
//
// 16-bit files hold 0..65535 while the host works on 0..32768. Loading rounds to the
// nearest host value and saving to the nearest file value, so every host value
// survives a save and a load exactly. A 16-bit sample the filter left unchanged is
// written back as the file held it, so unfiltered pixels stay bit-identical.
//
// Readers trust no size a header states: an image must stay within kMaxPixels and
// within what the bytes present can decompress to, checked before anything is
// allocated. Failures return false with one line of text in error; nothing is thrown.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FilterHost.h"

namespace tesselume {

enum class FileFormat { png, jpeg, tiff, webp };

// The filter protocol addresses pixels with 16-bit coordinates: larger images are
// refused, files before their samples are allocated.
constexpr int32_t kMaxImageSide = 32767;
inline constexpr const char* kTooLarge = "the image is larger than the 32767 pixels the filter protocol can address";
// At most 2^28 pixels (16384 x 16384, 2 GB of RGBA samples) are decoded.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
inline constexpr const char* kTooManyPixels = "the image has more than the 268435456 pixels (16384 x 16384) this "
                                              "program decodes";

class FileMetadata;  // EXIF, XMP and IPTC as read, kept opaque (Metadata.h)

struct ImageFile {
    filterhost::Image image;            // samples on the host scale
    std::vector<uint8_t> iccProfile;    // empty when the file has none
    std::vector<uint16_t> fileSamples;  // 16-bit files: the samples as read, 0..65535; else empty
    double resolution[2] = {0, 0};      // pixels per inch across and down; 0 when unstated
    std::vector<std::pair<std::string, std::string>> texts;  // PNG text chunks: keyword, text
    std::shared_ptr<const FileMetadata> metadata;            // null when the file has none
    // JPEG and WebP: read, the file's estimated quality (0 when unknown); written,
    // the quality to use (0: kDefaultQuality). 100 writes lossless WebP.
    int32_t quality = 0;
    std::optional<FileFormat> format;   // the format it was read from
    std::vector<std::string> warnings;  // what reading had to skip or guess, one line each
};

constexpr int32_t kDefaultQuality = 92;

uint16_t ToHostScale(uint16_t fileValue);
uint16_t FromHostScale(uint16_t hostValue);

// The format a path's extension names (.png, .jpg/.jpeg, .tif/.tiff, .webp, any
// case), and the one a name like "png", "jpg" or "tiff" names.
std::optional<FileFormat> FormatForPath(const std::string& path);
std::optional<FileFormat> FormatForName(const std::string& name);
const char* FormatExtension(FileFormat format);  // ".png", ".jpg", ".tif", ".webp"

// Why a format cannot hold an image of this shape, or empty when it can.
std::string FormatRefusal(FileFormat format, int32_t depth, bool transparency);

// Reads an image held in memory, recognised by its content.
bool ReadImage(const uint8_t* data, std::size_t size, ImageFile& file, std::string& error);
// Reads a file ("-": standard input) the same way.
bool ReadImageFile(const std::string& path, ImageFile& file, std::string& error);

// Writes file.image to path in the given format, replacing whatever is there, with
// the file's profile, resolution, text and metadata where the format holds them.
// stop is polled between rows; when it says so, writing fails with "interrupted".
bool WriteImageFile(const std::string& path, FileFormat format, const ImageFile& file, std::string& error,
                    const std::function<bool()>& stop = {});

}  // namespace tesselume
