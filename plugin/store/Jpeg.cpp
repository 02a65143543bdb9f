// JPEG encoding and decoding through libjpeg, the framing of JPEG data inside our
// own files, and the marker scan of JPEG files.
#include "store/Jpeg.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "store/FileLayer.h"
#include "store/ImageStore.h"
#include "store/PixelMath.h"
#include "store/Pyramid.h"
#include "store/Resample.h"

namespace {

// ---- Quantisation ----

using QuantTable = std::array<unsigned int, 64>;

// Levels 8 and 9 (qualities 80..99) are tuned tables; the coarser levels scale the
// level-8 tables by the ratio of their first luminance entries (chrominance by 0.7
// of it). Level 5 is coarser than level 4 because it drops chroma subsampling and
// spends those bits on the chroma planes.
constexpr QuantTable kLuminance8 = {
    2, 2, 2, 2, 3,  4,  5,  6,  2, 2, 2, 2, 3,  4,  5,  6,  2, 2, 2, 2, 4,  5,  7,  9,  2, 2, 2, 4,  5,  7,  9,  12,
    3, 3, 4, 5, 8, 13, 12, 12, 4, 4, 5, 7, 13, 12, 12, 12, 5, 5, 7, 9, 12, 12, 12, 12, 6, 6, 9, 12, 12, 12, 12, 12};
constexpr QuantTable kChrominance8 = {
    3,  3,  5,  9,  10, 15, 15, 15, 3,  4,  6,  13, 14, 12, 12, 12, 5,  6,  9,  14, 12, 12,
    12, 12, 9,  13, 14, 12, 12, 12, 12, 12, 10, 14, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12,
    12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12};
constexpr QuantTable kLuminance9 = {1, 1, 1, 1, 2, 2, 2, 3, 1, 1, 1, 1, 1, 2, 2, 3, 1, 1, 1, 1, 2, 3,
                                    4, 5, 1, 1, 1, 2, 3, 4, 5, 7, 2, 1, 2, 3, 4, 5, 7, 8, 2, 2, 3, 4,
                                    5, 7, 8, 8, 2, 2, 4, 5, 7, 8, 8, 8, 3, 3, 5, 7, 8, 8, 8, 8};
constexpr QuantTable kChrominance9 = {1, 1, 2, 4, 7, 8, 8, 8, 1, 2, 3, 5, 8, 8, 8, 8, 2, 3, 4, 8, 8, 8,
                                      8, 8, 4, 5, 8, 8, 8, 8, 8, 8, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
                                      8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
constexpr unsigned int kFirstLuminance[10] = {20, 18, 16, 12, 8, 13, 6, 4, 2, 1};
// Level 0's first rows are tuned by hand rather than scaled.
constexpr unsigned int kLuminance0Row[8] = {20, 17, 26, 41, 51, 39, 34, 17};
constexpr unsigned int kChrominance0Row[8] = {21, 26, 33, 34, 20, 20, 17, 17};
constexpr int kLevels = 10;
constexpr int kFirstUnsubsampledLevel = 5;

// Rounded entry x first / 2 (times 0.7 for chrominance), held to 1..255.
constexpr QuantTable Scaled(const QuantTable& base, unsigned int first, bool chrominance) {
    QuantTable table{};
    for (int i = 0; i < 64; ++i) {
        const unsigned int value = chrominance ? (base[i] * first * 7 + 10) / 20 : (base[i] * first + 1) / 2;
        table[i] = std::clamp(value, 1u, 255u);
    }
    return table;
}

constexpr std::array<QuantTable, kLevels> MakeTables(bool chrominance) {
    std::array<QuantTable, kLevels> tables{};
    for (int level = 0; level < 8; ++level)
        tables[level] = Scaled(chrominance ? kChrominance8 : kLuminance8, kFirstLuminance[level], chrominance);
    for (int i = 0; i < 8; ++i) tables[0][i] = chrominance ? kChrominance0Row[i] : kLuminance0Row[i];
    tables[8] = chrominance ? kChrominance8 : kLuminance8;
    tables[9] = chrominance ? kChrominance9 : kLuminance9;
    return tables;
}

constexpr std::array<QuantTable, kLevels> kLuminanceTables = MakeTables(false);
constexpr std::array<QuantTable, kLevels> kChrominanceTables = MakeTables(true);

// ---- libjpeg plumbing ----

// Turns libjpeg's fatal errors into a jump back to the caller, and keeps its
// warnings quiet: a damaged thumbnail is not worth a message.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr codec) {
    std::longjmp(reinterpret_cast<ErrorManager*>(codec->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

jpeg_error_mgr* UseErrorManager(ErrorManager& manager) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = JumpOnError;
    manager.pub.output_message = IgnoreMessage;
    return &manager.pub;
}

// A destination writing into the caller's buffer; running out of room is an error.
struct BufferDestination {
    jpeg_destination_mgr pub;
    JOCTET* buffer;
    std::size_t capacity;
};

void StartDestination(j_compress_ptr codec) {
    auto* dest = reinterpret_cast<BufferDestination*>(codec->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}

boolean DestinationFull(j_compress_ptr codec) {
    codec->err->msg_code = JERR_BUFFER_SIZE;
    codec->err->error_exit(reinterpret_cast<j_common_ptr>(codec));
    return FALSE;
}

void EndDestination(j_compress_ptr) {}

// The decoder's own memory is bounded, so that a forged frame size fails instead of
// asking for gigabytes.
constexpr long kDecoderMemory = 64L << 20;

constexpr int kIccChunkBytes = 65519;
constexpr char kIccSignature[12] = "ICC_PROFILE";

// The profile as standard APP2 chunks: signature, 1-based chunk number, count, data.
// Profiles needing more than 255 chunks cannot be embedded and are left out.
void WriteIccProfile(j_compress_ptr codec, const uint8_t* data, int32_t size) {
    const int32_t chunks = (size + kIccChunkBytes - 1) / kIccChunkBytes;
    if (chunks > 255) return;
    for (int32_t chunk = 0; chunk < chunks; ++chunk) {
        const int32_t offset = chunk * kIccChunkBytes;
        const int32_t length = std::min(kIccChunkBytes, size - offset);
        jpeg_write_m_header(codec, JPEG_APP0 + 2, unsigned(length + sizeof kIccSignature + 2));
        for (char c : kIccSignature) jpeg_write_m_byte(codec, c);
        jpeg_write_m_byte(codec, chunk + 1);
        jpeg_write_m_byte(codec, int(chunks));
        for (int32_t i = 0; i < length; ++i) jpeg_write_m_byte(codec, data[offset + i]);
    }
}

void WriteMarkers(j_compress_ptr codec, const JpegMetadata& metadata) {
    jpeg_write_marker(codec, JPEG_COM, reinterpret_cast<const JOCTET*>(kMakerWebAddress), sizeof kMakerWebAddress);
    if (metadata.exif && metadata.exif->buffer.data)
        jpeg_write_marker(codec, JPEG_APP0 + 1, static_cast<const JOCTET*>(metadata.exif->buffer.data),
                          unsigned(metadata.exif->size));
    if (metadata.iccData && metadata.iccSize > 0) WriteIccProfile(codec, metadata.iccData, metadata.iccSize);
    if (metadata.iptc && metadata.iptc->buffer.data)
        jpeg_write_marker(codec, JPEG_APP0 + 13, static_cast<const JOCTET*>(metadata.iptc->buffer.data),
                          unsigned(metadata.iptc->size));
}

int32_t EncodedSide(int32_t from, int32_t to) { return std::max(to - from, 16); }

// Bytes the working buffer needs for an image of w x h with this metadata: six per
// pixel for the coded data, plus every marker at its full length.
std::size_t WorkingBytes(int32_t width, int32_t height, const JpegMetadata& metadata) {
    std::size_t bytes = std::size_t(std::max(width, 16)) * std::size_t(std::max(height, 16)) * 6;
    bytes += sizeof kMakerWebAddress + 4;
    if (metadata.exif) bytes += std::size_t(metadata.exif->size) + 4;
    if (metadata.iptc) bytes += std::size_t(metadata.iptc->size) + 4;
    if (metadata.iccData && metadata.iccSize > 0)
        bytes += std::size_t(metadata.iccSize) + std::size_t(metadata.iccSize / kIccChunkBytes + 1) * 18;
    return bytes;
}

}  // namespace

JpegMetadata HostIccProfile() {
    JpegMetadata metadata;
    FilterRecord* record = Current().filterRecord;
    if (!record || !record->iCCprofileData || record->iCCprofileSize <= 0) return metadata;
    metadata.iccData = reinterpret_cast<const uint8_t*>(LockHandle(record->iCCprofileData, false));
    if (metadata.iccData) metadata.iccSize = record->iCCprofileSize;
    return metadata;
}

namespace {

// Everything between creating the compressor and finishing it; a libjpeg error
// jumps out of here back to EncodeJpeg.
void Compress(j_compress_ptr codec, const ImageStore& store, Rect rect, int level, const JpegMetadata& metadata) {
    const int32_t width = EncodedSide(rect.left, rect.right), height = EncodedSide(rect.top, rect.bottom);
    codec->image_width = JDIMENSION(width);
    codec->image_height = JDIMENSION(height);
    codec->input_components = 3;
    codec->in_color_space = JCS_RGB;
    codec->data_precision = 8;
    jpeg_set_defaults(codec);

    const int sampling = level < kFirstUnsubsampledLevel ? 2 : 1;
    codec->comp_info[0].h_samp_factor = codec->comp_info[0].v_samp_factor = sampling;
    for (int c = 1; c < 3; ++c) codec->comp_info[c].h_samp_factor = codec->comp_info[c].v_samp_factor = 1;
    jpeg_add_quant_table(codec, 0, kLuminanceTables[level].data(), 100, FALSE);
    jpeg_add_quant_table(codec, 1, kChrominanceTables[level].data(), 100, FALSE);

    jpeg_start_compress(codec, TRUE);
    WriteMarkers(codec, metadata);
    JSAMPARRAY row =
        codec->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE, JDIMENSION(width * 3), 1);
    for (int32_t y = 0; y < height; ++y) {
        JSAMPLE* out = row[0];
        for (int32_t x = 0; x < width; ++x) {
            const FloatRGBA pixel = getRGBAFloat(rect.left + x, rect.top + y, &store, 0);
            *out++ = JSAMPLE(ToByteLinear(pixel.red));
            *out++ = JSAMPLE(ToByteLinear(pixel.green));
            *out++ = JSAMPLE(ToByteLinear(pixel.blue));
        }
        jpeg_write_scanlines(codec, row, 1);
    }
    jpeg_finish_compress(codec);
}

// Writes the decoded rows that land inside the store; rows below it are never
// decoded. False for component counts the store cannot take.
bool Decompress(j_decompress_ptr codec, ImageStore& store, Rect rect, const uint8_t* data, std::size_t size) {
    codec->mem->max_memory_to_use = kDecoderMemory;
    jpeg_mem_src(codec, data, static_cast<unsigned long>(size));
    jpeg_read_header(codec, TRUE);
    jpeg_start_decompress(codec);
    const int components = codec->output_components;
    if (components != 1 && components != 3) return false;
    JSAMPARRAY row = codec->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE,
                                              codec->output_width * JDIMENSION(components), 1);
    const JDIMENSION columns =
        std::min<JDIMENSION>(codec->output_width, JDIMENSION(std::max(store.fullWidth - rect.left, 0)));
    const JDIMENSION rows =
        std::min<JDIMENSION>(codec->output_height, JDIMENSION(std::max(store.fullHeight - rect.top, 0)));
    const bool grey = store.pixelKind == kKindGrey8;
    while (codec->output_scanline < rows) {
        const int32_t y = rect.top + int32_t(codec->output_scanline);
        jpeg_read_scanlines(codec, row, 1);
        const JSAMPLE* in = row[0];
        for (JDIMENSION x = 0; x < columns; ++x, in += components) {
            const int32_t at = rect.left + int32_t(x);
            if (components == 1) {
                if (grey) SetByte(at, y, &store, 0, in[0]);
                else setRGBA(at, y, &store, 0, in[0], in[0], in[0], 255);
            } else if (grey) {
                SetByte(at, y, &store, 0, uint8_t(Luma<int32_t>(in[0], in[1], in[2])));
            } else {
                setRGBA(at, y, &store, 0, in[0], in[1], in[2], 255);
            }
        }
    }
    return true;
}

}  // namespace

int EncodeJpeg(const ImageStore& store, Rect rect, uint8_t* buffer, std::size_t capacity, std::size_t& size,
               int quality, const JpegMetadata& metadata) {
    if (store.tileCount == 0 || !store.tiles) return kJpegNoTiles;
    jpeg_compress_struct codec{};
    ErrorManager errors;
    BufferDestination dest{{}, buffer, capacity};
    codec.err = UseErrorManager(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&codec);
        return kJpegCodecError;
    }
    jpeg_create_compress(&codec);
    dest.pub.init_destination = StartDestination;
    dest.pub.empty_output_buffer = DestinationFull;
    dest.pub.term_destination = EndDestination;
    codec.dest = &dest.pub;
    Compress(&codec, store, rect, std::clamp(quality, 0, 99) / 10, metadata);
    size = capacity - dest.pub.free_in_buffer;
    jpeg_destroy_compress(&codec);
    return 0;
}

int WriteJpegImage(const ImageStore* store, platform::FileHandle file, bool framed, int quality,
                   const JpegMetadata& metadata) {
    if (!store) return kJpegNoStore;
    if (store->tileCount == 0 || !store->tiles) return kJpegNoTiles;
    const Rect rect = LevelRect(store, 0);
    Buffer work;
    const std::size_t capacity = WorkingBytes(rect.right, rect.bottom, metadata);
    std::size_t size = 0;
    const bool encoded = capacity <= std::size_t(INT32_MAX) && AllocateBuffer(int32_t(capacity), work) == noErr &&
                         EncodeJpeg(*store, rect, static_cast<uint8_t*>(work.data), capacity, size, quality,
                                    metadata) == 0;
    OSErr result = noErr;
    if (!encoded) {
        if (framed) result = WriteInt32(file, 0);
    } else {
        if (framed) {
            const int32_t header[4] = {kFramedJpegKind, EncodedSide(0, rect.right), EncodedSide(0, rect.bottom),
                                       int32_t(size)};
            for (int32_t value : header)
                if (result == noErr) result = WriteInt32(file, value);
        }
        if (result == noErr) result = WriteBlock(file, work.data, size);
    }
    ReleaseBuffer(work);
    return result;
}

int WriteThumbnail(const ImageStore* thumbnail, platform::FileHandle file, bool framed, int32_t width,
                   int32_t height, int quality) {
    const auto absent = [&] { return framed ? int(WriteInt32(file, 0)) : kJpegNoStore; };
    if (!thumbnail || thumbnail->tileCount == 0) return absent();
    const JpegMetadata metadata = framed ? JpegMetadata{} : HostIccProfile();
    int result;
    if (thumbnail->fullWidth == width && thumbnail->fullHeight == height) {
        result = WriteJpegImage(thumbnail, file, framed, quality, metadata);
    } else {
        ImageStore image;
        InitialiseImage(&image, thumbnail->weightTable);
        if (CreateImage(&image, width, height, kKindRGBA8, 0)) {
            copyOrResize(thumbnail, &image);
            result = WriteJpegImage(&image, file, framed, quality, metadata);
        } else {
            result = absent();
        }
        ReleaseImage(&image);
    }
    if (metadata.iccData) UnlockHandle(Current().filterRecord->iCCprofileData);
    return result;
}

bool DecodeJpeg(ImageStore& store, Rect rect, const uint8_t* data, std::size_t size) {
    if (store.tileCount == 0 || (store.pixelKind != kKindRGBA8 && store.pixelKind != kKindGrey8)) return false;
    jpeg_decompress_struct codec{};
    ErrorManager errors;
    codec.err = UseErrorManager(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&codec);
        return false;
    }
    jpeg_create_decompress(&codec);
    const bool decoded = Decompress(&codec, store, rect, data, size);
    jpeg_destroy_decompress(&codec);
    return decoded;
}

OSErr ReadJpegThumbnail(ImageStore* thumbnail, platform::FileHandle file, bool& done, int32_t version) {
    constexpr int32_t kVersionWithoutThumbnail = 3;
    if (version == kVersionWithoutThumbnail) return noErr;
    int32_t kind = 0, width = 0, height = 0, count = 0;
    OSErr result = ReadInt32(file, kind);
    if (result != noErr || kind == 0) return result;
    if ((result = ReadInt32(file, width)) != noErr || (result = ReadInt32(file, height)) != noErr ||
        (result = ReadInt32(file, count)) != noErr)
        return result;
    width = std::clamp(width, 0, kThumbnailMaxSide);
    height = std::clamp(height, 0, kThumbnailMaxSide);

    Buffer data;
    const bool usable = kind == kFramedJpegKind && thumbnail && thumbnail->tileCount > 0 && width > 0 && height > 0 &&
                        count > 0 && count <= kMaxFramedJpegBytes && AllocateBuffer(count, data) == noErr;
    if (!usable) return SkipBytes(file, count);
    result = ReadBlock(file, data.data, std::size_t(count));
    ImageStore image;
    InitialiseImage(&image, thumbnail->weightTable);
    if (result == noErr && CreateImage(&image, width, height, kKindRGBA8, 0) &&
        DecodeJpeg(image, LevelRect(&image, 0), static_cast<const uint8_t*>(data.data), std::size_t(count))) {
        buildAll(&image);
        copyOrResize(&image, thumbnail);
        done = true;
    }
    ReleaseImage(&image);
    ReleaseBuffer(data);
    return result;
}

int ScanJpegHeader(platform::FileHandle file, int32_t& width, int32_t& height, int32_t& components) {
    constexpr int kNotJpeg = 9, kBadLength = 5, kEnded = 1;
    width = height = components = 0;
    uint8_t bytes[2];
    if (ReadBlock(file, bytes, 2) != noErr || bytes[0] != 0xFF || bytes[1] != 0xD8) return kNotJpeg;
    for (;;) {
        uint8_t marker = 0;
        do {
            if (ReadByte(file, marker) != noErr) return kEnded;
        } while (marker != 0xFF);
        do {
            if (ReadByte(file, marker) != noErr) return kEnded;
        } while (marker == 0xFF);
        if (marker == 0xD9 || marker == 0xDA) return 0;  // EOI, SOS
        if (ReadBlock(file, bytes, 2) != noErr) return kEnded;
        const int32_t length = bytes[0] << 8 | bytes[1];
        if (length < 2) return kBadLength;
        // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && length >= 8) {
            uint8_t header[6];
            if (ReadBlock(file, header, 6) != noErr) return kEnded;
            height = header[1] << 8 | header[2];
            width = header[3] << 8 | header[4];
            components = header[5];
            if (SkipBytes(file, length - 8) != noErr) return kEnded;
        } else if (SkipBytes(file, length - 2) != noErr) {
            return kEnded;
        }
    }
}
