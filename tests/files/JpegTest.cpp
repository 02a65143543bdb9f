// JPEG writing and reading, checked against libjpeg reading our bytes itself.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/Jpeg.h"
#include "store/Metadata.h"
#include "files/FilesTestSupport.h"
#include "platform/Clock.h"
#include "store/FileLayer.h"
#include "store/StoreTestSupport.h"

using namespace std::string_literals;

namespace {

struct ScopedStore : ScopedImage {
    ScopedStore(int32_t width, int32_t height, PixelKind kind = kKindRGBA8) : ScopedImage(width, height, kind) {
        FillThumbnail(image);
    }
};

LibjpegImage EncodeAndRead(const ImageStore& image, int quality, const JpegMetadata& metadata = {}) {
    std::vector<uint8_t> buffer(1 << 20);
    std::size_t size = 0;
    EXPECT_EQ(EncodeJpeg(image, LevelRect(&image, 0), buffer.data(), buffer.size(), size, quality, metadata), 0);
    return DecodeWithLibjpeg(buffer.data(), size);
}

TEST(Jpeg, MarkersMetadataAndTablesAsLibjpegReadsThemAndTheKeywordRules) {
    ScopedStore store(40, 30);
    MetadataBlock exif{};
    EXPECT_EQ(BuildExifBlock(exif, true, true), 43);  // measuring
    ASSERT_EQ(BuildExifBlock(exif, true, false), 43);
    EXPECT_EQ(BuildExifBlock(exif, true, false), 0);  // built once
    IptcBlock iptc{};
    ClearKeywords(iptc.keywords);
    AddKeyword(iptc.keywords, "symmetry3");
    AddKeyword(iptc.keywords, "wax");
    ASSERT_GT(BuildIptcBlock(iptc, true, false), 0);
    std::vector<uint8_t> icc(70000);
    for (std::size_t i = 0; i < icc.size(); ++i) icc[i] = uint8_t(i * 13 + i / 256);

    const LibjpegImage jpeg = EncodeAndRead(store.image, 85, {icc.data(), int32_t(icc.size()), &exif, &iptc.block});
    ReleaseMetadataBlock(exif);
    ReleaseMetadataBlock(iptc.block);
    ASSERT_TRUE(jpeg.ok);
    std::vector<int> order;
    for (const auto& marker : jpeg.markers) order.push_back(marker.first);
    ASSERT_EQ(order, (std::vector<int>{JPEG_APP0, JPEG_COM, JPEG_APP0 + 1, JPEG_APP0 + 2, JPEG_APP0 + 2, JPEG_APP0 + 13}));

    EXPECT_EQ(jpeg.markers[1].second, std::vector<uint8_t>(kMakerWebAddress, kMakerWebAddress + sizeof kMakerWebAddress));
    const std::vector<uint8_t>& ex = jpeg.markers[2].second;
    const char exifBytes[] = "Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x31\0\x02\0\0\0\x0A\0\0\0\x1A\0\0\0\0Tesselume\0";
    EXPECT_EQ(ex, std::vector<uint8_t>(exifBytes, exifBytes + sizeof exifBytes));  // 43 bytes, last zero included

    std::vector<uint8_t> profile;
    for (uint8_t chunk = 1; chunk <= 2; ++chunk) {
        const std::vector<uint8_t>& app2 = jpeg.markers[2 + chunk].second;
        EXPECT_EQ(std::string(app2.begin(), app2.begin() + 14), std::string("ICC_PROFILE\0", 12) + char(chunk) + '\2');
        profile.insert(profile.end(), app2.begin() + 14, app2.end());
    }
    EXPECT_EQ(jpeg.markers[3].second.size(), 65519u + 14);
    EXPECT_EQ(profile, icc);

    // IPTC: the resource header, then the datasets in order; odd data gets one zero.
    const platform::UtcTime now = platform::UtcNow();
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", now.year, now.month, now.day);
    const std::vector<std::pair<int, std::string>> want = {
        {0, std::string("\0\2", 2)}, {115, kMakerWebAddress}, {55, date},         {120, "Made with Tesselume"},
        {25, "Tesselume"},           {25, "symmetry3"},       {25, "wax"}};
    std::string datasets;
    for (const auto& [number, value] : want)
        datasets += "\x1C\2"s + char(number) + char(value.size() >> 8) + char(value.size() & 255) + value;
    ASSERT_EQ(datasets.size() % 2, 1u);
    datasets += '\0';
    const std::string length{0, 0, char(datasets.size() >> 8), char(datasets.size() & 255)};
    EXPECT_EQ(std::string(jpeg.markers[5].second.begin(), jpeg.markers[5].second.end()),
              "Photoshop 3.0\0008BIM\4\4\0\0"s + length + datasets);

    // Quality 85 is level 8: its tables unscaled, no chroma subsampling.
    EXPECT_EQ(jpeg.quant[0], (std::vector<unsigned>{2, 2, 2,  2,  3,  4,  5,  6,  2, 2, 2, 2,  3,  4,  5,  6,
                                                   2, 2, 2,  2,  4,  5,  7,  9,  2, 2, 2, 4,  5,  7,  9,  12,
                                                   3, 3, 4,  5,  8,  13, 12, 12, 4, 4, 5, 7,  13, 12, 12, 12,
                                                   5, 5, 7,  9,  12, 12, 12, 12, 6, 6, 9, 12, 12, 12, 12, 12}));
    EXPECT_EQ(jpeg.quant[1], (std::vector<unsigned>{3,  3,  5,  9,  10, 15, 15, 15, 3,  4,  6,  13, 14, 12, 12, 12,
                                                   5,  6,  9,  14, 12, 12, 12, 12, 9,  13, 14, 12, 12, 12, 12, 12,
                                                   10, 14, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12,
                                                   15, 12, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12}));
    EXPECT_EQ(jpeg.lumaSampling, 11);

    // The keyword rules: a duplicate in another case, too short, empty, too long.
    IptcBlock full{};
    ClearKeywords(full.keywords);
    EXPECT_TRUE(AddKeyword(full.keywords, "symmetry3"));
    for (const std::string& bad : {std::string("Symmetry3"), std::string("sym"), std::string(), std::string(50, 'k')})
        EXPECT_FALSE(AddKeyword(full.keywords, bad.c_str())) << bad;
    EXPECT_TRUE(AddKeyword(full.keywords, std::string(49, 'k').c_str()));
    for (int i = 2; i < kMaxKeywords; ++i) EXPECT_TRUE(AddKeyword(full.keywords, ("word" + std::to_string(i)).c_str()));
    EXPECT_FALSE(AddKeyword(full.keywords, "one more"));
    // The fullest list still fits the block it is built into.
    const int32_t measured = BuildIptcBlock(full, true, true);
    EXPECT_EQ(BuildIptcBlock(full, true, false), measured);
    ReleaseMetadataBlock(full.block);
}

TEST(Jpeg, QualityLevelsClampAndPickTheirTables) {
    ScopedStore store(24, 24);
    const LibjpegImage fine = EncodeAndRead(store.image, 120);  // clamped to level 9
    EXPECT_EQ(fine.quant[0][8 * 4 + 1], 1u);  // its luminance row 5 begins 2 1 2
    EXPECT_EQ(fine.quant[1][3], 4u);          // and its chrominance row 1 reads 1 1 2 4
    const LibjpegImage coarse = EncodeAndRead(store.image, -5);
    EXPECT_EQ(std::vector<unsigned>(coarse.quant[0].begin(), coarse.quant[0].begin() + 8),
              (std::vector<unsigned>{20, 17, 26, 41, 51, 39, 34, 17}));
    EXPECT_EQ(std::vector<unsigned>(coarse.quant[1].begin(), coarse.quant[1].begin() + 8),
              (std::vector<unsigned>{21, 26, 33, 34, 20, 20, 17, 17}));
    const unsigned first[10] = {20, 18, 16, 12, 8, 13, 6, 4, 2, 1};
    for (int level = 0; level < 10; ++level) {
        const LibjpegImage jpeg = EncodeAndRead(store.image, level * 10 + 5);
        ASSERT_TRUE(jpeg.ok);
        EXPECT_EQ(jpeg.quant[0][0], first[level]) << level;
        EXPECT_EQ(jpeg.lumaSampling, level < 5 ? 22 : 11) << level;
    }
}

TEST(Jpeg, SmallImagesAreFramedAtSixteenAndHeadersScan) {
    ScopedStore store(10, 5);
    const std::string path = StatePath("small.jpg");
    platform::FileHandle file;
    ASSERT_EQ(OpenFileForWriting(path.c_str(), file), noErr);
    EXPECT_EQ(WriteJpegImage(&store.image, file, true, 90, {}), 0);
    EXPECT_EQ(WriteJpegImage(nullptr, file, true, 90, {}), kJpegNoStore);
    CloseFile(file);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 16u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(BigEndianAt(bytes, 4 * std::size_t(i)), i ? 16 : 1);
    EXPECT_EQ(std::size_t(BigEndianAt(bytes, 12)), bytes.size() - 16);
    const LibjpegImage jpeg = DecodeWithLibjpeg(bytes.data() + 16, bytes.size() - 16);
    EXPECT_EQ(jpeg.width * 100 + jpeg.height, 1616);
    EXPECT_NEAR(jpeg.pixels[(15 * 16 + 15) * 3 + 2], TestPixel(9, 4).blue, 8);  // the edge repeats

    const auto scan = [&](const std::vector<uint8_t>& content, int32_t& width) {
        WriteAll(path, content);
        int32_t height = 0, components = 0;
        EXPECT_EQ(OpenFileForReading(path.c_str(), file), noErr);
        const int error = ScanJpegHeader(file, width, height, components);
        CloseFile(file);
        return error * 1000 + height * 10 + components;
    };
    int32_t width = 0;
    EXPECT_EQ(scan(std::vector<uint8_t>(bytes.begin() + 16, bytes.end()), width), 163);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(scan({0x89, 'P', 'N', 'G'}, width), 9000);
    EXPECT_EQ(scan({0xFF, 0xD8, 0xFF, 0xFF, 0xE0, 0x00, 0x01}, width), 5000);
    EXPECT_EQ(scan({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 1, 2}, width), 1000);
}

TEST(Jpeg, DecodingIntoColourAndGreyImages) {
    ScopedStore source(32, 16);
    std::vector<uint8_t> buffer(1 << 16);
    std::size_t size = 0;
    ASSERT_EQ(EncodeJpeg(source.image, LevelRect(&source.image, 0), buffer.data(), buffer.size(), size, 95, {}), 0);
    const LibjpegImage jpeg = DecodeWithLibjpeg(buffer.data(), size);
    ScopedStore colour(32, 16), grey(32, 16, kKindGrey8);
    ASSERT_TRUE(DecodeJpeg(colour.image, LevelRect(&colour.image, 0), buffer.data(), size));
    ASSERT_TRUE(DecodeJpeg(grey.image, LevelRect(&grey.image, 0), buffer.data(), size));
    for (int32_t i = 0; i < 32 * 16; ++i) {
        const uint8_t* p = &jpeg.pixels[std::size_t(i) * 3];
        const uint32_t packed = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | 255;
        ASSERT_EQ(GetLong(i % 32, i / 32, &colour.image, 0), packed);
        ASSERT_EQ(GetByte(i % 32, i / 32, &grey.image, 0), (77 * p[0] + 150 * p[1] + 28 * p[2]) >> 8);
    }
    // A buffer too small for the data, and data that is not a JPEG, fail cleanly.
    EXPECT_EQ(EncodeJpeg(source.image, LevelRect(&source.image, 0), buffer.data(), 300, size, 95, {}), kJpegCodecError);
    EXPECT_FALSE(DecodeJpeg(colour.image, LevelRect(&colour.image, 0), buffer.data() + 2, 100));
}

}  // namespace
