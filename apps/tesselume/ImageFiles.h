// Image files for the command line: PNG, JPEG, TIFF and WebP, 8 and 16 bits, grey and
// RGB, an alpha channel as the layer's transparency, and what the file says about
// itself carried alongside: ICC profile, resolution, PNG text, and EXIF, XMP and IPTC
// (FileMetadata). Files are read and written row by row (ImageReader, ImageWriter),
// which FileRows connects to a filter run so that an image need not be held whole;
// ReadImage and WriteImageFile go through the same rows to and from an image in memory.
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

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

// ---- Row by row ----
// Rows on the file's scale: interleaved samples, one byte each at 8 bits, a native
// uint16_t (0..65535) at 16 bits.

// Reads an image's rows one after another, from row 0.
class ImageReader {
public:
    virtual ~ImageReader() = default;
    virtual bool ReadRow(uint8_t* row, std::string& error) = 0;
    // After the last row: what a file tells only after its pixels (PNG text behind
    // them, JPEG data ending early) joins file.
    virtual bool Finish(ImageFile& file, std::string& error) = 0;
};

// Opens an image held in memory, recognised by its content; the bytes must outlive
// the reader. file gets all that the file says but the samples: file.image has the
// shape, and no samples. Null, with one line in error, when it cannot be read.
std::unique_ptr<ImageReader> OpenImage(const uint8_t* data, std::size_t size, ImageFile& file, std::string& error);

class RowEncoder;  // one format's encoder (ImageFiles.cpp)

// Writes an image's rows one after another, from row 0, into a new file. The rows
// are encoded on a thread of the writer's own: WriteRow copies the row into a small
// queue and returns, so that encoding and compression overlap the caller's work (a
// filter run). A fault of the encoder shows at the next WriteRow or at Finish.
class ImageWriter {
public:
    ImageWriter(std::unique_ptr<RowEncoder> encoder, std::size_t rowBytes);
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;
    ~ImageWriter();  // without Finish, the rows still queued are dropped
    bool WriteRow(const uint8_t* row, std::string& error);
    // After the last row: completes and closes the file and adds file's metadata.
    bool Finish(const ImageFile& file, std::string& error);

private:
    void Encode();  // the encoder thread: rows from the queue, in order
    void Stop(bool drop);
    std::unique_ptr<RowEncoder> encoder;
    std::vector<std::vector<uint8_t>> queue;  // a ring of rows, [first, first + queued) waiting
    std::size_t first = 0, queued = 0;
    bool closing = false, dropping = false;
    std::string fault;  // the encoder's error; it stops at the first
    std::mutex mutex;
    std::condition_variable changed;
    std::thread thread;
};

// Creates path in format for an image of file.image's shape (its samples unused),
// with file's profile, resolution, text and quality. WebP encodes whole images only:
// its writer gathers the rows and encodes at Finish.
std::unique_ptr<ImageWriter> CreateImage(const std::string& path, FileFormat format, const ImageFile& file,
                                         std::string& error);

// A file's bytes ("-": standard input): a regular file mapped, anything else read whole.
class InputBytes {
public:
    InputBytes() = default;
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;
    ~InputBytes();
    bool Open(const std::string& path, std::string& error);
    const uint8_t* Data() const { return mapped ? mapped : read.data(); }
    std::size_t Size() const { return mapped ? mappedSize : read.size(); }

private:
    const uint8_t* mapped = nullptr;
    std::size_t mappedSize = 0;
    std::vector<uint8_t> read;
};

// A filter run's source and sink over a reader (null: a canvas of fill) and a writer,
// moving rows between the file's scale and the host's. The host works at shape.depth,
// the file is read at fileDepth: 8-bit files widen to 16 bits as v * 257, 16-bit ones
// narrow to the nearest 8-bit value. A 16-bit sample the run left unchanged is written
// as the file held it (or as it widened), so unfiltered pixels stay bit-identical.
class FileRows : public filterhost::RowSource, public filterhost::RowSink {
public:
    FileRows(ImageReader* reader, int32_t fileDepth, uint16_t fill, const filterhost::ImageShape& shape,
             ImageWriter& writer);
    bool ReadRow(int32_t y, uint8_t* row, std::string& error) override;
    bool WriteRow(int32_t y, const uint8_t* row, std::string& error) override;
    // Why the reader or the writer failed during the run; empty when it did not.
    const std::string& ReadFault() const { return readFault; }
    const std::string& WriteFault() const { return writeFault; }

private:
    bool Written(bool ok, const std::string& error);
    ImageReader* reader;
    int32_t fileDepth;
    uint16_t fill;
    filterhost::ImageShape shape;
    ImageWriter& writer;
    std::size_t count;                              // samples in a row
    std::vector<uint8_t> fileRow;
    std::vector<uint16_t> deepRow;                  // a 16-bit row on the file's scale
    std::deque<std::vector<uint16_t>> originals;    // 16-bit runs: file samples of rows read, not yet written
    std::string readFault, writeFault;
};

// ---- Whole images ----

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
