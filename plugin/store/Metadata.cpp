// Building the EXIF and IPTC blocks, and the keyword list.
#include "store/Metadata.h"

#include <cstdio>
#include <cstring>

#include "platform/Clock.h"

namespace {

constexpr char kSoftware[] = "Tesselume";
constexpr char kCaption[] = "Made with Tesselume";

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Writes big-endian values at a cursor, or only counts them when out is null.
struct BlockWriter {
    uint8_t* out;
    int32_t length = 0;

    void Bytes(const void* data, std::size_t size) {
        if (out) std::memcpy(out + length, data, size);
        length += int32_t(size);
    }
    void U8(unsigned value) {
        const uint8_t byte = uint8_t(value);
        Bytes(&byte, 1);
    }
    void U16(unsigned value) {
        U8(value >> 8);
        U8(value);
    }
    void U32(uint32_t value) {
        U16(value >> 16);
        U16(value & 0xFFFF);
    }
    void Text(const char* text) { Bytes(text, std::strlen(text)); }
};

// The TIFF structure naming the software: one directory, one ASCII entry.
void WriteExif(BlockWriter& w, bool withHeader) {
    if (withHeader) w.Bytes("Exif\0\0", 6);
    constexpr uint32_t kDirectoryOffset = 8;
    constexpr uint32_t kValueOffset = kDirectoryOffset + 2 + 12 + 4;  // after the one-entry directory
    w.Text("MM");
    w.U16(0x002A);
    w.U32(kDirectoryOffset);
    w.U16(1);
    w.U16(0x0131);  // Software
    w.U16(2);       // ASCII
    w.U32(sizeof kSoftware);
    w.U32(kValueOffset);
    w.U32(0);  // no further directory
    w.Bytes(kSoftware, sizeof kSoftware);
    w.U8(0);
}

void Dataset(BlockWriter& w, unsigned number, const void* data, std::size_t size) {
    w.U8(0x1C);
    w.U8(2);
    w.U8(number);
    w.U16(unsigned(size));
    w.Bytes(data, size);
}

void WriteIptcData(BlockWriter& w, const KeywordList& keywords) {
    const uint8_t recordVersion[2] = {0, 2};
    Dataset(w, 0, recordVersion, sizeof recordVersion);
    Dataset(w, 115, kMakerWebAddress, std::strlen(kMakerWebAddress));
    const platform::UtcTime now = platform::UtcNow();
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", now.year, now.month, now.day);
    Dataset(w, 55, date, std::strlen(date));
    Dataset(w, 120, kCaption, std::strlen(kCaption));
    Dataset(w, 25, kSoftware, std::strlen(kSoftware));
    for (int i = 0; i < keywords.count; ++i)
        if (keywords.slots[i][0]) Dataset(w, 25, keywords.slots[i], std::strlen(keywords.slots[i]));
}

// The IPTC data inside one 8BIM resource (id 0x0404, empty name), padded to even.
void WriteIptc(BlockWriter& w, const KeywordList& keywords, bool withHeader) {
    if (withHeader) w.Bytes("Photoshop 3.0", 14);
    BlockWriter measure{nullptr};
    WriteIptcData(measure, keywords);
    const int32_t padded = measure.length + (measure.length & 1);
    w.Text("8BIM");
    w.U16(0x0404);
    w.U16(0);
    w.U32(uint32_t(padded));
    WriteIptcData(w, keywords);
    if (measure.length & 1) w.U8(0);
}

// Measures the block, then builds it into a buffer of exactly that size; the
// keyword list makes the IPTC block's length vary.
template <typename Write>
int32_t Build(MetadataBlock& record, bool measureOnly, Write write) {
    BlockWriter measure{nullptr};
    write(measure);
    if (measureOnly) return measure.length;
    if (record.buffer.data) return 0;
    if (AllocateBuffer(measure.length, record.buffer) != noErr) return 0;
    BlockWriter w{static_cast<uint8_t*>(record.buffer.data)};
    write(w);
    record.size = w.length;
    record.cursor = w.out + w.length;
    return w.length;
}

}  // namespace

int32_t BuildExifBlock(MetadataBlock& record, bool withHeader, bool measureOnly) {
    return Build(record, measureOnly, [&](BlockWriter& w) { WriteExif(w, withHeader); });
}

int32_t BuildIptcBlock(IptcBlock& record, bool withHeader, bool measureOnly) {
    return Build(record.block, measureOnly, [&](BlockWriter& w) { WriteIptc(w, record.keywords, withHeader); });
}

void ReleaseMetadataBlock(MetadataBlock& record) {
    ReleaseBuffer(record.buffer);
    record.size = 0;
    record.cursor = nullptr;
}

bool AddKeyword(KeywordList& list, const char* text) {
    if (!text || !*text) return false;
    const std::size_t length = std::strlen(text);
    if (length >= kKeywordBytes || list.count >= kMaxKeywords) return false;
    for (int i = 0; i < list.count; ++i) {
        const char* listed = list.slots[i];
        std::size_t same = 0;
        while (same < length && listed[same] && AsciiLower(listed[same]) == AsciiLower(text[same])) ++same;
        if (same == length) return false;
    }
    std::memcpy(list.slots[list.count], text, length + 1);
    ++list.count;
    return true;
}

void ClearKeywords(KeywordList& list) {
    list.count = 0;
    for (auto& slot : list.slots) slot[0] = '\0';
}
