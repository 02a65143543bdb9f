// The signature metadata that JPEG files and PSD documents carry: an EXIF block
// naming the software and an IPTC block with source, date, caption and keywords.
//
// Blocks are built once into a buffer from the host's buffer suite (or the heap)
// and released with ReleaseMetadataBlock. All integers are big-endian.
#pragma once

#include <cstdint>

#include "store/HostUtil.h"

// The maker's address, written into every JPEG's comment and the IPTC source.
inline constexpr char kMakerWebAddress[] = "www.quillborne.example/tesselume";

// A block under construction: its length, its buffer and the write cursor.
struct MetadataBlock {
    int32_t size;
    Buffer buffer;
    uint8_t* cursor;
};

constexpr int kKeywordSlots = 21;
constexpr int kKeywordBytes = 50;
constexpr int kMaxKeywords = 19;

// Extra IPTC keywords, each zero-terminated, in the order they were added.
struct KeywordList {
    int32_t count;
    char slots[kKeywordSlots][kKeywordBytes];
};

struct IptcBlock {
    MetadataBlock block;
    KeywordList keywords;
};

// Build the block into the record's buffer and return its length; with measureOnly
// only the length is returned and nothing is allocated or written. A record whose
// buffer already exists is left as it is and 0 is returned, as is 0 when the
// buffer cannot be had. withHeader adds the JPEG segment's identifier ("Exif" and
// two zeros; "Photoshop 3.0" and its zero), which the PSD image resources omit.
int32_t BuildExifBlock(MetadataBlock& record, bool withHeader, bool measureOnly);
int32_t BuildIptcBlock(IptcBlock& record, bool withHeader, bool measureOnly);
void ReleaseMetadataBlock(MetadataBlock& record);

// Appends a keyword unless it is absent, empty or longer than 49 characters, the
// list already holds 19, or a listed keyword begins with it (ASCII, any case).
// True when it was added.
bool AddKeyword(KeywordList& list, const char* text);
void ClearKeywords(KeywordList& list);
