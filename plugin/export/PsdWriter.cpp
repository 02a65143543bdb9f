// Writing the layered PSD document: header, colour mode data, image resources,
// layer and mask information (which renders the layer), merged image.
#include "export/PsdWriter.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "store/FileLayer.h"
#include "store/ImageStore.h"
#include "store/Metadata.h"

namespace {

// Big-endian output through a 400-byte buffer, written out whenever it fills and at
// the end of each channel. A failed write is remembered and writing goes on.
class Output {
public:
    explicit Output(platform::FileHandle file) : file_(file) {}

    void Bytes(const void* data, std::size_t size) {
        const auto* from = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const std::size_t room = sizeof buffer_ - used_, n = size < room ? size : room;
            std::memcpy(buffer_ + used_, from, n);
            used_ += n, from += n, size -= n;
            if (used_ == sizeof buffer_) Flush();
        }
    }
    void U8(uint32_t v) {
        if (used_ == sizeof buffer_) Flush();
        buffer_[used_++] = uint8_t(v);
    }
    void U16(uint32_t v) { U8(v >> 8), U8(v); }
    void U32(uint32_t v) { U16(v >> 16), U16(v & 0xFFFF); }
    void Text(const char* text) { Bytes(text, std::strlen(text)); }
    void Zeros(std::size_t count) {
        for (; count > 0; --count) U8(0);
    }
    void Flush() {
        if (used_ && WriteBlock(file_, buffer_, used_) != noErr) error_ = writErr;
        used_ = 0;
    }
    OSErr Error() const { return error_; }

private:
    platform::FileHandle file_;
    uint8_t buffer_[400];
    std::size_t used_ = 0;
    OSErr error_ = noErr;
};

constexpr int32_t kLayerCount = 1;
constexpr int32_t kLayerRecordBytes = 114;
constexpr char kLayerName[] = "layer 1";

// The print information resource's sixty values.
constexpr int16_t kPrintInfo[] = {40,    0,    72,  72,   0,    0,    743,  594, -9, -9, 783,  603,
                                  8194,  1320, 1020, 0,   0,    360,  360,  0,   0,  3715, 2970, 372,
                                  50,    2970, 18600, 75, 1,    257,  0,    1,   9999, 1, 1,   0,
                                  0,     0,    0,   0,    0,    0,    0,    0,   0,  1,  100,  768,
                                  0,     0,    0,   515,  8369, 1024, 4608, 768, 17664, 0, 13892, 24864};
static_assert(sizeof kPrintInfo == 120, "the print information is 60 values");

// The high-dynamic-range toning block that float documents carry as colour mode data.
constexpr uint8_t kToning[] = {0x68, 0x64, 0x72, 0x74, 0x00, 0x00, 0x00, 0x03, 0x3f, 0x00, 0x00, 0x00, 0x00,
                               0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0x00, 0x44, 0x00, 0x65, 0x00, 0x66,
                               0x00, 0x61, 0x00, 0x75, 0x00, 0x6c, 0x00, 0x74, 0x00, 0x00, 0x00, 0x02, 0x00,
                               0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00, 0xff, 0x01, 0x01, 0x00, 0x00,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x41, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0x01, 0x00, 0x00, 0x00, 0x00, 0x3f, 0x80, 0x00, 0x00};
static_assert(sizeof kToning == 74, "the toning block is 74 bytes");

// One pixel's four channels in the document's sample form: integers 0..255 or
// 0..32768 (before the 16-bit conversion), or floats.
struct Pixel {
    int32_t c[4];  // red, green, blue, alpha
    float f[4];
};

// Pixels per piece of a row that the planes are converted and written in. Pieces
// start at multiples of it and it divides the tile size, so a piece lies in one tile
// and its pixels follow each other there.
constexpr int32_t kPiece = 256;
static_assert(kTileSize % kPiece == 0);

// The count pixels of the piece from x of row y, the store's kind chosen once.
void ReadPiece(const ImageStore& image, int32_t x, int32_t y, int32_t count, Pixel* pixels) {
    const uint8_t* at = TilePixel(image, 0, x, y);
    switch (image.pixelKind) {
    case kKindRGBA8:
        for (int32_t i = 0; i < count; ++i, at += 4) {
            uint32_t word;
            std::memcpy(&word, at, 4);
            Pixel& p = pixels[i];
            p.c[0] = int32_t(word >> 24), p.c[1] = int32_t(word >> 16 & 255), p.c[2] = int32_t(word >> 8 & 255),
            p.c[3] = int32_t(word & 255);
        }
        break;
    case kKindRGBA16:
        for (int32_t i = 0; i < count; ++i, at += 8) {
            uint16_t words[4];
            std::memcpy(words, at, 8);
            for (int k = 0; k < 4; ++k) pixels[i].c[k] = words[k];
        }
        break;
    default:
        for (int32_t i = 0; i < count; ++i, at += 16) std::memcpy(pixels[i].f, at, 16);
        break;
    }
}

// A 16-bit store value as written: twice the value, 32768 as 65535.
uint32_t Wide(int32_t v) { return v >= 32768 ? 65535u : uint32_t(v < 0 ? 0 : 2 * v); }

// One plane of the image, row by row, at a depth of kBytes a sample: sample(pixel, x,
// y, depth) gives each pixel's value (the integer of 8- and 16-bit documents, the
// float of float ones; depth is kBytes as a type, so each depth has its own loop),
// written big-endian a piece of a row at a time.
template <int32_t kBytes, class SampleOf>
void WritePlaneAt(Output& out, const ImageStore& image, const SampleOf& sample) {
    Pixel pixels[kPiece];
    uint8_t piece[kPiece * kBytes];
    for (int32_t y = 0; y < image.fullHeight; ++y)
        for (int32_t x = 0; x < image.fullWidth; x += kPiece) {
            const int32_t count = std::min(kPiece, image.fullWidth - x);
            ReadPiece(image, x, y, count, pixels);
            uint8_t* at = piece;
            for (int32_t i = 0; i < count; ++i) {
                const auto v = sample(pixels[i], x + i, y, std::integral_constant<int32_t, kBytes>{});
                if constexpr (kBytes == 1) {
                    *at++ = uint8_t(v);
                } else if constexpr (kBytes == 2) {
                    const uint32_t w = Wide(v);
                    *at++ = uint8_t(w >> 8), *at++ = uint8_t(w);
                } else {
                    uint32_t w;
                    std::memcpy(&w, &v, 4);
                    *at++ = uint8_t(w >> 24), *at++ = uint8_t(w >> 16), *at++ = uint8_t(w >> 8), *at++ = uint8_t(w);
                }
            }
            out.Bytes(piece, std::size_t(at - piece));
        }
    out.Flush();
}

template <class SampleOf>
void WritePlane(Output& out, const PsdDocument& doc, const SampleOf& sample) {
    switch (doc.bytesPerChannel) {
    case 1: WritePlaneAt<1>(out, *doc.image, sample); return;
    case 2: WritePlaneAt<2>(out, *doc.image, sample); return;
    default: WritePlaneAt<4>(out, *doc.image, sample); return;
    }
}

// Channel data of the layer: the record's order is transparency, red, green, blue.
void WriteLayerChannels(Output& out, const PsdDocument& doc) {
    static constexpr int kOrder[4] = {3, 0, 1, 2};
    for (const int channel : kOrder) {
        out.U16(0);
        WritePlane(out, doc, [channel](const Pixel& p, int32_t, int32_t, auto depth) {
            if constexpr (decltype(depth)::value == 4) {
                return p.f[channel];
            } else {
                return p.c[channel];
            }
        });
    }
}

// The merged image: red, green, blue and the alpha plane, each laid over the 8 x 8
// checkerboard; 16-bit documents add a plane of 65535.
void WriteMerged(Output& out, const PsdDocument& doc) {
    const ImageStore& image = *doc.image;
    out.U16(0);
    for (int channel = 0; channel < 4; ++channel)
        WritePlane(out, doc, [channel](const Pixel& p, int32_t x, int32_t y, auto depth) {
            const bool light = ((x ^ y) & 8) == 0;
            if constexpr (decltype(depth)::value == 1) {
                const int32_t c = p.c[channel], a = p.c[3];
                return ((light ? 255 : 204) * (255 - a) + c * a) / 255;
            } else if constexpr (decltype(depth)::value == 2) {
                const int32_t c = p.c[channel], a = p.c[3];
                return (c * a + (light ? 32640 : 26112) * (32768 - a)) >> 15;
            } else {
                return p.f[channel] * p.f[3] + (1.0f - p.f[3]) * (light ? 1.0f : 0.8f);
            }
        });
    if (doc.bytesPerChannel == 2) {
        for (int64_t n = int64_t(image.fullWidth) * image.fullHeight; n > 0; --n) out.U16(65535);
        out.Flush();
    }
}

// One image resource block: "8BIM", id, empty name, length, data, padding to even.
template <typename Write>
void Resource(Output* out, uint32_t& total, int id, uint32_t length, Write write) {
    total += 4 + 2 + 2 + 4 + length + (length & 1);
    if (!out) return;
    out->Text("8BIM");
    out->U16(uint32_t(id));
    out->U16(0);
    out->U32(length);
    write(*out);
    if (length & 1) out->U8(0);
}

// The image resources; with a null output only their length is counted.
uint32_t WriteResources(Output* out, const PsdDocument& doc) {
    const bool floating = doc.bytesPerChannel == 4;
    uint32_t total = 0;
    Resource(out, total, 1001, sizeof kPrintInfo, [](Output& o) {
        for (const int16_t v : kPrintInfo) o.U16(uint16_t(v));
    });
    Resource(out, total, 1005, 16, [](Output& o) {
        for (int axis = 0; axis < 2; ++axis) o.U32(72u << 16), o.U16(1), o.U16(1);
    });
    Resource(out, total, 1011, 9, [](Output& o) { o.Zeros(8), o.U8(1); });
    Resource(out, total, 1016, 112, [](Output& o) {
        for (int curve = 0; curve < 4; ++curve) {
            o.U16(0);
            for (int i = 0; i < 11; ++i) o.U16(0xFFFF);
            o.U16(1000);
            o.U16(0);
        }
    });
    Resource(out, total, 1035, uint32_t(std::strlen(kMakerWebAddress)), [](Output& o) { o.Text(kMakerWebAddress); });
    if (doc.iccProfile && doc.iccSize > 0)
        Resource(out, total, 1039, uint32_t(doc.iccSize), [&](Output& o) { o.Bytes(doc.iccProfile, std::size_t(doc.iccSize)); });
    if (doc.iptc && doc.iptc->buffer.data && doc.iptc->size > 0) {
        total += uint32_t(doc.iptc->size);
        if (out) out->Bytes(doc.iptc->buffer.data, std::size_t(doc.iptc->size));
    }
    if (doc.exif && doc.exif->buffer.data && doc.exif->size > 0)
        Resource(out, total, 1058, uint32_t(doc.exif->size),
                 [&](Output& o) { o.Bytes(doc.exif->buffer.data, std::size_t(doc.exif->size)); });
    if (floating) {
        Resource(out, total, 1069, 6, [](Output& o) { o.U16(1), o.U32(12); });
        Resource(out, total, 1072, kLayerCount, [](Output& o) { o.U8(1); });
    }
    Resource(out, total, 1024, 2, [](Output& o) { o.U16(kLayerCount); });
    Resource(out, total, 1026, 2 * kLayerCount, [](Output& o) { o.U16(0); });
    return total;
}

void WriteLayerRecord(Output& out, const PsdDocument& doc, uint32_t channelBytes) {
    const ImageStore& image = *doc.image;
    out.U32(0), out.U32(0), out.U32(uint32_t(image.fullHeight)), out.U32(uint32_t(image.fullWidth));
    out.U16(4);
    for (const int id : {-1, 0, 1, 2}) out.U16(uint16_t(int16_t(id))), out.U32(channelBytes);
    out.Text("8BIMnorm");
    out.U8(255), out.U8(0), out.U8(doc.bytesPerChannel == 4 ? 0x08 : 0x28), out.U8(0);
    out.U32(56);
    out.U32(0);
    out.U32(40);
    for (int pair = 0; pair < 5; ++pair) out.U32(0x0000FFFF), out.U32(0x0000FFFF);
    out.U8(sizeof kLayerName - 1);
    out.Text(kLayerName);
}

}  // namespace

PixelKind PsdStoreKind(int32_t bytesPerChannel) {
    return bytesPerChannel == 2 ? kKindRGBA16 : bytesPerChannel == 4 ? kKindRGBAFloat : kKindRGBA8;
}

OSErr WritePsd(platform::FileHandle file, const PsdDocument& doc, PsdLayerRenderer render, void* context) {
    const ImageStore* image = doc.image;
    const int32_t bpc = doc.bytesPerChannel;
    if (!image || image->tileCount == 0 || (bpc != 1 && bpc != 2 && bpc != 4) || image->pixelKind != PsdStoreKind(bpc))
        return filterBadParameters;
    // Every length of the format is 32 bits: the layer's channels must fit in them.
    const uint64_t channelBytes64 = uint64_t(image->fullWidth) * uint64_t(image->fullHeight) * uint64_t(bpc) + 2;
    const uint64_t layerInfo64 = 2 + kLayerRecordBytes + kLayerCount * 4 * channelBytes64;
    if (layerInfo64 + 64 > 0xFFFFFFFFu) return filterBadParameters;
    const auto channelBytes = uint32_t(channelBytes64), layerInfo = uint32_t(layerInfo64);

    Output out(file);
    out.Text("8BPS");
    out.U16(1);
    out.Zeros(6);
    out.U16(bpc == 2 ? 4 : 3);
    out.U32(uint32_t(image->fullHeight));
    out.U32(uint32_t(image->fullWidth));
    out.U16(uint32_t(8 * bpc));
    out.U16(3);

    if (bpc == 4) {
        out.U32(sizeof kToning);
        out.Bytes(kToning, sizeof kToning);
    } else {
        out.U32(0);
    }

    out.U32(WriteResources(nullptr, doc));
    WriteResources(&out, doc);

    if (bpc == 1) {
        out.U32(layerInfo + 8);
        out.U32(layerInfo);
    } else {
        const uint32_t padding = (4 - layerInfo % 4) % 4;
        out.U32(4 + 4 + 12 + 12 + layerInfo + padding);
        out.U32(0);
        out.U32(0);
        out.Text(bpc == 2 ? "8BIMMt16" : "8BIMMt32");
        out.U32(0);
        out.Text(bpc == 2 ? "8BIMLr16" : "8BIMLr32");
        out.U32(layerInfo);
    }
    out.U16(kLayerCount);
    WriteLayerRecord(out, doc, channelBytes);
    out.Flush();
    if (render) render(context);
    WriteLayerChannels(out, doc);
    if (bpc == 1) out.U32(0);
    else out.Zeros((4 - layerInfo % 4) % 4);

    WriteMerged(out, doc);
    out.Flush();
    if (!platform::TruncateHere(file)) return writErr;
    return out.Error();
}
