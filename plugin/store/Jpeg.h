// JPEG images through libjpeg: the one encoder path every image the module writes
// goes through, the framing of a JPEG inside another file, and the readers that
// bring JPEG thumbnails back into an image store.
//
// Every JPEG we write has the same marker order: SOI, the library's JFIF header,
// a comment with the maker's address, then APP1 EXIF, APP2 ICC (in chunks) and
// APP13 IPTC when given, then the frame. A libjpeg error never ends the process:
// the codec is destroyed and the image treated as absent.
//
// Framing (32-bit big-endian): kind 1, width, height, byte count N, N bytes of
// JPEG; or the single value 0 for no image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PIFilter.h"
#include "store/Metadata.h"
#include "platform/Files.h"

struct ImageStore;

// Codes of EncodeJpeg and WriteJpegImage besides 0 and the file layer's errors.
constexpr int kJpegNoStore = 1;     // WriteJpegImage: the store is absent
constexpr int kJpegNoTiles = 2;     // the store holds no pixels (EncodeJpeg answers 1)
constexpr int kJpegCodecError = 4;  // libjpeg gave up, e.g. on a full buffer

constexpr int32_t kFramedJpegKind = 1;
constexpr int32_t kThumbnailMaxSide = 128;
// The largest framed JPEG a thumbnail reader accepts: the encoder's working buffer
// for the largest thumbnail it reads back (128 x 128 x 6 bytes). Longer data is
// skipped and the thumbnail left as it was.
constexpr int32_t kMaxFramedJpegBytes = kThumbnailMaxSide * kThumbnailMaxSide * 6;

// Optional metadata of an encoded image; null or 0 means absent.
struct JpegMetadata {
    const uint8_t* iccData = nullptr;
    int32_t iccSize = 0;
    const MetadataBlock* exif = nullptr;  // built with its header
    const MetadataBlock* iptc = nullptr;  // built with its header
};

// The host's ICC profile, when the current run's host offers one; none otherwise.
JpegMetadata HostIccProfile();

// Compresses rect of level 0 (each side raised to at least 16, pixels beyond the
// store repeating its edge) into buffer at quality 0..99 (clamped). Returns 0 with
// size set, kJpegNoTiles, or kJpegCodecError (also when the buffer is too small).
int EncodeJpeg(const ImageStore& store, Rect rect, uint8_t* buffer, std::size_t capacity, std::size_t& size,
               int quality, const JpegMetadata& metadata);

// Encodes the whole store and writes it to an open file, framed or bare. Returns
// kJpegNoStore, kJpegNoTiles, writErr, or 0. When the working buffer cannot be had
// or the codec fails, a framed write writes the single value 0 and a bare write
// nothing, and 0 is returned: the image is simply absent.
int WriteJpegImage(const ImageStore* store, platform::FileHandle file, bool framed, int quality,
                   const JpegMetadata& metadata);

// Writes the thumbnail at width x height (resampled when its size differs). A bare
// write embeds the host's ICC profile when it offers one. Without a usable
// thumbnail a framed write writes the single value 0.
int WriteThumbnail(const ImageStore* thumbnail, platform::FileHandle file, bool framed, int32_t width,
                   int32_t height, int quality);

// Reads a framed thumbnail into `thumbnail` (resampled to its size), setting done
// when an image arrived. Files of version 3 carry none. Data that cannot be used
// (another kind, no thumbnail store, more than kMaxFramedJpegBytes) is skipped.
// Returns the file layer's result.
OSErr ReadJpegThumbnail(ImageStore* thumbnail, platform::FileHandle file, bool& done, int32_t version);

// Decompresses JPEG bytes into the store with (0, 0) of the image at the top left
// of rect: 3 components into kind 3 (alpha 255) or kind 0 (as grey), 1 component
// into kind 0 or as grey into kind 3. False when libjpeg rejects the data.
bool DecodeJpeg(ImageStore& store, Rect rect, const uint8_t* data, std::size_t size);

// Reads a JPEG file's markers up to the start of scan and reports the frame's size
// and component count. Returns 0, 9 (no SOI), 5 (a segment length below 2) or 1
// (the file ended first).
int ScanJpegHeader(platform::FileHandle file, int32_t& width, int32_t& height, int32_t& components);
