// PNG (libpng), JPEG (libjpeg) and TIFF (libtiff) reading and writing for the
// command line.
#include "ImageFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace tesselume {

uint16_t ToHostScale(uint16_t fileValue) { return uint16_t((uint32_t(fileValue) * 32768u + 32767u) / 65535u); }

uint16_t FromHostScale(uint16_t hostValue) {
    return uint16_t((uint32_t(std::min<uint16_t>(hostValue, 32768)) * 65535u + 16384u) / 32768u);
}

std::optional<FileFormat> FormatForPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".png") return FileFormat::png;
    if (extension == ".jpg" || extension == ".jpeg") return FileFormat::jpeg;
    if (extension == ".tif" || extension == ".tiff") return FileFormat::tiff;
    return std::nullopt;
}

namespace {

// Shapes the image and sizes its samples; the readers then fill them on the file's scale.
// False, with nothing allocated, for a side the filter protocol cannot address.
bool ShapeImage(filterhost::Image& image, uint32_t width, uint32_t height, int32_t colourPlanes, bool alpha,
                int32_t depth) {
    if (width > uint32_t(kMaxImageSide) || height > uint32_t(kMaxImageSide)) return false;
    image.width = int32_t(width);
    image.height = int32_t(height);
    image.colourPlanes = colourPlanes;
    image.transparency = alpha;
    image.depth = depth;
    image.samples.assign(std::size_t(width) * height * std::size_t(image.Planes()), 0);
    return true;
}

// Moves a 16-bit image's file samples to the host scale, keeping the originals.
void FileToHostScale(ImageFile& file) {
    if (file.image.depth != 16) return;
    file.fileSamples = file.image.samples;
    for (uint16_t& sample : file.image.samples) sample = ToHostScale(sample);
}

// The samples to write, on the file's scale.
std::vector<uint16_t> FileScaleSamples(const ImageFile& file) {
    const std::vector<uint16_t>& samples = file.image.samples;
    std::vector<uint16_t> out(samples.size());
    if (file.image.depth != 16) {
        for (std::size_t i = 0; i < samples.size(); ++i) out[i] = std::min<uint16_t>(samples[i], 255);
        return out;
    }
    const bool haveOriginals = file.fileSamples.size() == samples.size();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool unchanged = haveOriginals && ToHostScale(file.fileSamples[i]) == samples[i];
        out[i] = unchanged ? file.fileSamples[i] : FromHostScale(samples[i]);
    }
    return out;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// ---- PNG ----

void PngError(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Rows of one image as the codecs see them: bytes, 16-bit samples big-endian for PNG.
struct RowBuffer {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t*> rows;
    void Size(std::size_t height, std::size_t rowBytes) {
        bytes.assign(height * rowBytes, 0);
        rows.resize(height);
        for (std::size_t y = 0; y < height; ++y) rows[y] = bytes.data() + y * rowBytes;
    }
};

// Holds no local that changes after setjmp; everything lives behind the pointers.
bool ReadPngInto(png_structp png, png_infop info, FILE* fp, ImageFile* file, RowBuffer* buffer) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, fp);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (!ShapeImage(file->image, png_get_image_width(png, info), png_get_image_height(png, info),
                    (colourType & PNG_COLOR_MASK_COLOR) ? 3 : 1, (colourType & PNG_COLOR_MASK_ALPHA) != 0, depth))
        png_error(png, kTooLarge);

    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength) && profile)
        file->iccProfile.assign(profile, profile + profileLength);

    buffer->Size(std::size_t(file->image.height), png_get_rowbytes(png, info));
    png_read_image(png, buffer->rows.data());

    const std::size_t count = file->image.samples.size();
    const uint8_t* bytes = buffer->bytes.data();
    if (depth == 16)
        for (std::size_t i = 0; i < count; ++i) file->image.samples[i] = uint16_t(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    else
        for (std::size_t i = 0; i < count; ++i) file->image.samples[i] = bytes[i];
    return true;
}

bool ReadPng(FILE* fp, ImageFile& file, std::string& error) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "out of memory";
        return false;
    }
    RowBuffer buffer;
    const bool ok = ReadPngInto(png, info, fp, &file, &buffer);
    png_destroy_read_struct(&png, &info, nullptr);
    return ok;
}

bool WritePngFrom(png_structp png, png_infop info, FILE* fp, const ImageFile* file, RowBuffer* buffer) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, fp);
    png_set_benign_errors(png, 1);
    const filterhost::Image& image = file->image;
    const int colourType = (image.colourPlanes == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY) |
                           (image.transparency ? PNG_COLOR_MASK_ALPHA : 0);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), image.depth, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!file->iccProfile.empty())
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, file->iccProfile.data(),
                     png_uint_32(file->iccProfile.size()));
    png_write_info(png, info);
    png_write_image(png, buffer->rows.data());
    png_write_end(png, nullptr);
    return true;
}

bool WritePng(FILE* fp, const ImageFile& file, std::string& error) {
    const std::vector<uint16_t> samples = FileScaleSamples(file);
    const std::size_t bytesPerSample = file.image.depth == 16 ? 2 : 1;
    RowBuffer buffer;
    buffer.Size(std::size_t(file.image.height),
                std::size_t(file.image.width) * std::size_t(file.image.Planes()) * bytesPerSample);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (bytesPerSample == 2) {
            buffer.bytes[2 * i] = uint8_t(samples[i] >> 8);
            buffer.bytes[2 * i + 1] = uint8_t(samples[i]);
        } else {
            buffer.bytes[i] = uint8_t(samples[i]);
        }
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "out of memory";
        return false;
    }
    const bool ok = WritePngFrom(png, info, fp, &file, &buffer);
    png_destroy_write_struct(&png, &info);
    return ok;
}

// ---- JPEG ----

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    std::string* message;
};

void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    *errors->message = text;
    std::longjmp(errors->jump, 1);
}

// Recoverable warnings (extraneous bytes, a short last scan) are not worth failing a run over.
void JpegQuiet(j_common_ptr) {}

JpegErrors* InstallJpegErrors(JpegErrors& errors, std::string& error) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegErrorExit;
    errors.manager.output_message = JpegQuiet;
    errors.message = &error;
    return &errors;
}

bool ReadJpegInto(jpeg_decompress_struct* info, JpegErrors* errors, FILE* fp, ImageFile* file,
                  std::vector<uint8_t>* row) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_stdio_src(info, fp);
    jpeg_save_markers(info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(info, TRUE);
    if (info->num_components == 1) {
        info->out_color_space = JCS_GRAYSCALE;
    } else if (info->jpeg_color_space == JCS_YCbCr || info->jpeg_color_space == JCS_RGB) {
        info->out_color_space = JCS_RGB;
    } else {
        *errors->message = "CMYK JPEG images are not supported";
        return false;
    }
    JOCTET* profile = nullptr;
    unsigned int profileLength = 0;
    if (jpeg_read_icc_profile(info, &profile, &profileLength)) {
        file->iccProfile.assign(profile, profile + profileLength);
        std::free(profile);
    }
    jpeg_start_decompress(info);
    const int32_t planes = info->output_components;
    if (!ShapeImage(file->image, info->output_width, info->output_height, planes, false, 8)) {
        *errors->message = kTooLarge;
        return false;
    }
    row->resize(std::size_t(info->output_width) * std::size_t(planes));
    while (info->output_scanline < info->output_height) {
        const std::size_t y = info->output_scanline;
        JSAMPROW rowPointer = row->data();
        jpeg_read_scanlines(info, &rowPointer, 1);
        std::copy(row->begin(), row->end(), file->image.samples.begin() + std::ptrdiff_t(y * row->size()));
    }
    jpeg_finish_decompress(info);
    return true;
}

bool ReadJpeg(FILE* fp, ImageFile& file, std::string& error) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = &InstallJpegErrors(errors, error)->manager;
    std::vector<uint8_t> row;
    const bool ok = ReadJpegInto(&info, &errors, fp, &file, &row);
    jpeg_destroy_decompress(&info);
    return ok;
}

bool WriteJpegFrom(jpeg_compress_struct* info, JpegErrors* errors, FILE* fp, const ImageFile* file,
                   const std::vector<uint16_t>* samples, std::vector<uint8_t>* row) {
    if (setjmp(errors->jump)) return false;
    const filterhost::Image& image = file->image;
    jpeg_create_compress(info);
    jpeg_stdio_dest(info, fp);
    info->image_width = JDIMENSION(image.width);
    info->image_height = JDIMENSION(image.height);
    info->input_components = image.colourPlanes;
    info->in_color_space = image.colourPlanes == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, 95, TRUE);
    jpeg_start_compress(info, TRUE);
    if (!file->iccProfile.empty())
        jpeg_write_icc_profile(info, file->iccProfile.data(), unsigned(file->iccProfile.size()));
    row->resize(std::size_t(image.width) * std::size_t(image.colourPlanes));
    while (info->next_scanline < info->image_height) {
        const std::size_t start = std::size_t(info->next_scanline) * row->size();
        for (std::size_t i = 0; i < row->size(); ++i) (*row)[i] = uint8_t((*samples)[start + i]);
        JSAMPROW rowPointer = row->data();
        jpeg_write_scanlines(info, &rowPointer, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

bool WriteJpeg(FILE* fp, const ImageFile& file, std::string& error) {
    if (file.image.depth != 8) {
        error = "JPEG holds 8 bits per channel only; write PNG or TIFF for 16 bits";
        return false;
    }
    if (file.image.transparency) {
        error = "JPEG holds no transparency; write PNG or TIFF";
        return false;
    }
    const std::vector<uint16_t> samples = FileScaleSamples(file);
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = &InstallJpegErrors(errors, error)->manager;
    std::vector<uint8_t> row;
    const bool ok = WriteJpegFrom(&info, &errors, fp, &file, &samples, &row);
    jpeg_destroy_compress(&info);
    return ok;
}

// ---- TIFF ----

// libtiff reports through process-wide handlers; the program is single-threaded.
std::string tiffMessage;

void TiffError(const char*, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    tiffMessage = text;
}

void TiffWarning(const char*, const char*, va_list) {}

void InstallTiffHandlers() {
    TIFFSetErrorHandler(TiffError);
    TIFFSetWarningHandler(TiffWarning);
    tiffMessage.clear();
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

bool ReadTiff(const std::string& path, ImageFile& file, std::string& error) {
    InstallTiffHandlers();
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    if (!tif) {
        error = tiffMessage.empty() ? "not a readable TIFF file" : tiffMessage;
        return false;
    }
    uint32_t width = 0, height = 0;
    uint16_t samplesPerPixel = 1, bits = 1, photometric = 0, planar = PLANARCONFIG_CONTIG,
             sampleFormat = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) {
        error = "TIFF without a photometric interpretation";
        return false;
    }
    if ((bits != 8 && bits != 16) || sampleFormat != SAMPLEFORMAT_UINT) {
        error = "TIFF with " + std::to_string(bits) + "-bit samples is not supported (8 or 16 bits only)";
        return false;
    }
    if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG) {
        TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    int32_t colourPlanes = 0;
    if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) colourPlanes = 1;
    if (photometric == PHOTOMETRIC_RGB) colourPlanes = 3;
    if (colourPlanes == 0 || samplesPerPixel < colourPlanes) {
        error = "only grey and RGB TIFF images are supported";
        return false;
    }
    if (TIFFIsTiled(tif.get())) {
        error = "tiled TIFF images are not supported";
        return false;
    }
    // The first extra sample is the alpha channel; any further ones are not image data we keep.
    const bool alpha = samplesPerPixel > colourPlanes;
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    const bool associated = alpha && TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) &&
                            extraCount > 0 && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;

    uint32_t profileLength = 0;
    void* profile = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &profileLength, &profile) && profile)
        file.iccProfile.assign(static_cast<uint8_t*>(profile), static_cast<uint8_t*>(profile) + profileLength);

    filterhost::Image& image = file.image;
    if (!ShapeImage(image, width, height, colourPlanes, alpha, bits)) {
        error = kTooLarge;
        return false;
    }
    const int32_t planes = image.Planes();
    std::vector<uint8_t> line(std::size_t(TIFFScanlineSize64(tif.get())));
    const uint16_t readPasses = planar == PLANARCONFIG_CONTIG ? 1 : uint16_t(planes);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint16_t pass = 0; pass < readPasses; ++pass) {
            if (TIFFReadScanline(tif.get(), line.data(), y, pass) < 0) {
                error = tiffMessage.empty() ? "damaged TIFF data" : tiffMessage;
                return false;
            }
            const int32_t stride = planar == PLANARCONFIG_CONTIG ? samplesPerPixel : 1;
            const int32_t first = planar == PLANARCONFIG_CONTIG ? 0 : pass;
            const int32_t last = planar == PLANARCONFIG_CONTIG ? planes : pass + 1;
            for (uint32_t x = 0; x < width; ++x)
                for (int32_t p = first; p < last; ++p) {
                    const std::size_t at = std::size_t(x) * std::size_t(stride) + std::size_t(p - first);
                    uint16_t value = 0;
                    if (bits == 16)
                        std::memcpy(&value, line.data() + 2 * at, 2);
                    else
                        value = line[at];
                    image.At(int32_t(x), int32_t(y), p) = value;
                }
        }
    }
    const uint16_t maximum = bits == 16 ? 65535 : 255;
    if (photometric == PHOTOMETRIC_MINISWHITE)
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) image.At(x, y, 0) = uint16_t(maximum - image.At(x, y, 0));
    if (associated)
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) {
                const uint32_t a = image.At(x, y, colourPlanes);
                if (a == 0) continue;
                for (int32_t p = 0; p < colourPlanes; ++p) {
                    const uint32_t c = image.At(x, y, p);
                    image.At(x, y, p) = uint16_t(std::min<uint32_t>(maximum, (c * maximum + a / 2) / a));
                }
            }
    return true;
}

bool WriteTiff(const std::string& path, const ImageFile& file, std::string& error) {
    InstallTiffHandlers();
    TiffPtr tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) {
        error = tiffMessage.empty() ? std::strerror(errno) : tiffMessage;
        return false;
    }
    const filterhost::Image& image = file.image;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(image.Planes()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(image.depth));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, image.colourPlanes == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (image.transparency) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    if (!file.iccProfile.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(file.iccProfile.size()), file.iccProfile.data());

    const std::vector<uint16_t> samples = FileScaleSamples(file);
    const std::size_t rowSamples = std::size_t(image.width) * std::size_t(image.Planes());
    std::vector<uint8_t> line(rowSamples * (image.depth == 16 ? 2 : 1));
    for (int32_t y = 0; y < image.height; ++y) {
        const uint16_t* row = samples.data() + std::size_t(y) * rowSamples;
        if (image.depth == 16)
            std::memcpy(line.data(), row, line.size());
        else
            for (std::size_t i = 0; i < rowSamples; ++i) line[i] = uint8_t(row[i]);
        if (TIFFWriteScanline(t, line.data(), uint32_t(y), 0) < 0) {
            error = tiffMessage.empty() ? "cannot write TIFF data" : tiffMessage;
            return false;
        }
    }
    TIFF* closing = tif.release();
    TIFFClose(closing);
    if (!tiffMessage.empty()) {
        error = tiffMessage;
        return false;
    }
    return true;
}

std::optional<FileFormat> SniffFormat(FILE* fp) {
    uint8_t magic[8] = {};
    const std::size_t got = std::fread(magic, 1, sizeof magic, fp);
    std::rewind(fp);
    if (got >= 8 && png_sig_cmp(magic, 0, 8) == 0) return FileFormat::png;
    if (got >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return FileFormat::jpeg;
    if (got >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0) ||
                     (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43))))
        return FileFormat::tiff;
    return std::nullopt;
}

}  // namespace

bool ReadImageFile(const std::string& path, ImageFile& file, std::string& error) {
    file = ImageFile{};
    FilePtr fp(std::fopen(path.c_str(), "rb"));
    if (!fp) {
        error = std::strerror(errno);
        return false;
    }
    const std::optional<FileFormat> format = SniffFormat(fp.get());
    if (!format) {
        error = "not a PNG, JPEG or TIFF image";
        return false;
    }
    bool ok = false;
    switch (*format) {
        case FileFormat::png: ok = ReadPng(fp.get(), file, error); break;
        case FileFormat::jpeg: ok = ReadJpeg(fp.get(), file, error); break;
        case FileFormat::tiff: ok = ReadTiff(path, file, error); break;
    }
    if (!ok) return false;
    FileToHostScale(file);
    return true;
}

bool WriteImageFile(const std::string& path, FileFormat format, const ImageFile& file, std::string& error) {
    if (format == FileFormat::tiff) return WriteTiff(path, file, error);
    FilePtr fp(std::fopen(path.c_str(), "wb"));
    if (!fp) {
        error = std::strerror(errno);
        return false;
    }
    const bool ok = format == FileFormat::png ? WritePng(fp.get(), file, error) : WriteJpeg(fp.get(), file, error);
    if (!ok) return false;
    if (std::fclose(fp.release()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tesselume
