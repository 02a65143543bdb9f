// The command line's image files, checked against libpng, libjpeg and libtiff used
// directly.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "ImageFiles.h"
#include "TestImages.h"
#include "files/FilesTestSupport.h"
#include "platform/Files.h"

using namespace tesselume;

namespace {

using namespace clitest;

// Small inputs kept in the image readers' fuzz corpus, which they seed.
const std::string kCorpus = TESSELUME_SOURCE_DIR "/tests/fuzz/corpus/ImageReadFuzz/";

TEST(ImageFiles, SixteenBitScaleAndFilesLibpngAndLibtiffWroteThroughOurReaders) {
    // Every host value survives the file's scale and back.
    EXPECT_EQ(std::make_pair(ToHostScale(0), ToHostScale(65535)), std::make_pair(uint16_t(0), uint16_t(32768)));
    EXPECT_EQ(std::make_pair(FromHostScale(0), FromHostScale(32768)), std::make_pair(uint16_t(0), uint16_t(65535)));
    EXPECT_EQ(FromHostScale(16384), 32768);  // 16384 * 65535 / 32768 = 32767.5, rounded up
    for (uint32_t h = 0; h <= 32768; ++h) ASSERT_EQ(ToHostScale(FromHostScale(uint16_t(h))), h) << h;
    for (uint32_t v = 0; v <= 65535; ++v)
        ASSERT_LE(std::abs(int(FromHostScale(ToHostScale(uint16_t(v)))) - int(v)), 1) << v;

    // Written by libpng: a palette image with a transparent entry reads as 8-bit RGBA.
    std::string error;
    const std::string palettePath = StatePath("palette.png");
    const std::vector<png_color> palette = {{10, 20, 30}, {200, 100, 50}, {1, 2, 3}};
    const std::vector<uint8_t> paletteAlpha = {255, 0};
    ASSERT_TRUE(clitest::WriteWithLibpng(palettePath, 3, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 2, 1, 0}, palette,
                                         paletteAlpha));
    ImageFile file;
    ASSERT_TRUE(ReadImageFile(palettePath, file, error)) << error;
    EXPECT_EQ(Shape(file.image), std::make_tuple(3, 2, 3, true, 8));
    EXPECT_EQ(file.image.samples, (std::vector<uint16_t>{10, 20, 30, 255, 200, 100, 50, 0, 1, 2, 3, 255, 1, 2, 3, 255,
                                                         200, 100, 50, 0, 10, 20, 30, 255}));

    // 16-bit grey with alpha: host scale in the image, the file's values kept aside.
    const std::string greyAlphaPath = StatePath("greyalpha16.png");
    const std::vector<uint16_t> raw = {0, 65535, 1, 2, 40000, 65534, 12345, 3};
    ASSERT_TRUE(clitest::WriteWithLibpng(greyAlphaPath, 2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 16, raw));
    ASSERT_TRUE(ReadImageFile(greyAlphaPath, file, error)) << error;
    EXPECT_EQ(Shape(file.image), std::make_tuple(2, 2, 1, true, 16));
    EXPECT_EQ(file.fileSamples, raw);
    for (std::size_t i = 0; i < raw.size(); ++i) EXPECT_EQ(file.image.samples[i], ToHostScale(raw[i]));

    // Unchanged samples go back as the file held them; a changed one is converted.
    file.image.samples[4] = 100;
    const std::string outPath = StatePath("greyalpha16-out.png");
    ASSERT_TRUE(WriteImageFile(outPath, FileFormat::png, file, error)) << error;
    std::vector<uint16_t> kept = raw;
    kept[4] = FromHostScale(100);
    EXPECT_EQ(clitest::ReadWithLibpng(outPath).samples, kept);

    // Texts known at the start go before the pixels; those a reader found only behind
    // its pixels follow them, a long one compressed. libpng finds each where it belongs.
    ImageFile texts = FileOf(RampImage(3, 2, 3, 8));
    texts.texts = {{"Title", "before"}};
    const std::string textsPath = StatePath("texts.png");
    std::unique_ptr<ImageWriter> writer = CreateImage(textsPath, FileFormat::png, texts, error);
    ASSERT_TRUE(writer) << error;
    for (int32_t y = 0; y < 2; ++y) {
        const std::vector<uint8_t> row(texts.image.samples.begin() + 9 * y, texts.image.samples.begin() + 9 * y + 9);
        ASSERT_TRUE(writer->WriteRow(row.data(), error)) << error;
    }
    texts.texts.emplace_back("Comment", std::string(3000, 'x') + "after");
    ASSERT_TRUE(writer->Finish(texts, error)) << error;
    const std::string bytes = FileContents(textsPath);
    ImageFile back;
    const std::unique_ptr<ImageReader> reader =
        OpenImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), back, error);
    ASSERT_TRUE(reader) << error;
    ASSERT_EQ(back.texts.size(), 1u);
    EXPECT_EQ(back.texts[0], texts.texts[0]);
    std::vector<uint8_t> row(9);
    for (int32_t y = 0; y < 2; ++y) ASSERT_TRUE(reader->ReadRow(row.data(), error)) << error;
    EXPECT_EQ(row[8], texts.image.At(2, 1, 2));
    ASSERT_TRUE(reader->Finish(back, error)) << error;
    EXPECT_EQ(back.texts, texts.texts);
    EXPECT_NE(bytes.find("zTXtComment"), std::string::npos);

    // Written by libtiff: 3 x 2 pixels of 16-bit RGB with associated alpha in separate
    // planes, and TestProfile(true). Pixel (2, 0) holds 100, 200, 300 and (1, 1) blue
    // 7, both opaque; (2, 1) holds 32768, 16384, 0 under alpha 32768, whose straight
    // colour is twice the stored one.
    ASSERT_TRUE(ReadImageFile(kCorpus + "planar-premultiplied.tif", file, error)) << error;
    EXPECT_EQ(Shape(file.image), std::make_tuple(3, 2, 3, true, 16));
    EXPECT_EQ(file.iccProfile, clitest::TestProfile(true));
    EXPECT_EQ((std::array{file.image.At(2, 0, 1), file.image.At(1, 1, 2), file.image.At(2, 1, 0), file.image.At(2, 1, 1),
                          file.image.At(2, 1, 3)}),
              (std::array{ToHostScale(200), ToHostScale(7), ToHostScale(65535), ToHostScale(32768), ToHostScale(32768)}));
}

// Our PNG and TIFF files of every colour type we write, read back by libpng and
// libtiff: the type, depth and profile they state, and every sample, 16-bit ones on
// the file's scale. The images are of many pieces compressed in parallel batches, an
// odd width and a short last piece.
TEST(ImageFiles, OurPngAndTiffFilesReadBackThroughTheirLibraries) {
    for (const auto& [format, planes, alpha, depth, profiled] :
         {std::tuple{FileFormat::png, 3, true, 8, true}, {FileFormat::png, 3, false, 8, false},
          {FileFormat::png, 1, false, 16, false}, {FileFormat::png, 1, true, 16, false},
          {FileFormat::tiff, 3, true, 8, false}, {FileFormat::tiff, 3, true, 16, false},
          {FileFormat::tiff, 1, true, 8, true}}) {
        SCOPED_TRACE(std::string(FormatExtension(format)) + " " + std::to_string(planes) + " " + std::to_string(depth));
        const std::string path = StatePath(std::string("pieces") + FormatExtension(format));
        const filterhost::Image image = RampImage(2001, 303, planes, depth, alpha);
        const std::vector<uint8_t> profile = profiled ? TestProfile(planes == 3) : std::vector<uint8_t>{};
        std::string error;
        ASSERT_TRUE(WriteImageFile(path, format, FileOf(image, profile), error)) << error;
        std::vector<uint16_t> expected = image.samples;
        if (depth == 16) std::transform(expected.begin(), expected.end(), expected.begin(), FromHostScale);
        std::vector<uint16_t> read;
        if (format == FileFormat::png) {
            const clitest::PngContents png = clitest::ReadWithLibpng(path);
            const int type = (planes == 3 ? PNG_COLOR_MASK_COLOR : 0) | (alpha ? PNG_COLOR_MASK_ALPHA : 0);
            EXPECT_EQ(std::make_tuple(png.colourType, png.bitDepth, png.iccProfile), std::make_tuple(type, depth, profile));
            read = png.samples;
        } else {
            TIFF* tif = TIFFOpen(path.c_str(), "r");
            ASSERT_NE(tif, nullptr);
            EXPECT_GE(TIFFNumberOfStrips(tif), 4u);
            uint16_t spp = 0, bits = 0, photometric = 0, extraCount = 0, *extraTypes = nullptr;
            uint32_t profileLength = 0;
            uint8_t* profileData = nullptr;
            TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
            TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
            TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
            ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes));
            EXPECT_EQ(std::make_tuple(spp, bits, photometric, extraCount, extraTypes[0]),
                      std::make_tuple(planes + 1, depth, planes == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK, 1,
                                      EXTRASAMPLE_UNASSALPHA));
            TIFFGetField(tif, TIFFTAG_ICCPROFILE, &profileLength, &profileData);
            EXPECT_EQ(std::vector<uint8_t>(profileData, profileData + profileLength), profile);
            std::vector<uint8_t> line(std::size_t(TIFFScanlineSize(tif)));
            const auto* deep = reinterpret_cast<const uint16_t*>(line.data());
            for (uint32_t y = 0; y < 303; ++y) {
                ASSERT_GE(TIFFReadScanline(tif, line.data(), y, 0), 0);
                for (std::size_t i = 0; i < line.size() / std::size_t(depth / 8); ++i)
                    read.push_back(depth == 16 ? deep[i] : line[i]);
            }
            TIFFClose(tif);
        }
        ASSERT_EQ(read.size(), expected.size());
        const auto wrong = std::mismatch(read.begin(), read.end(), expected.begin());
        EXPECT_EQ(wrong.first, read.end()) << "first wrong sample " << wrong.first - read.begin();
    }
}

TEST(ImageFiles, JpegBothWaysThroughLibjpeg) {
    // Ours to libjpeg: an RGB image with a profile; a flat colour survives the lossy codec closely.
    filterhost::Image flat = filterhost::Image::Make(16, 16, 3, false, 8, 0);
    for (std::size_t i = 0; i < flat.samples.size(); ++i) flat.samples[i] = uint16_t(i % 3 == 0 ? 200 : i % 3 == 1 ? 40 : 90);
    const std::string path = StatePath("flat.jpg");
    std::string error;
    ASSERT_TRUE(WriteImageFile(path, FileFormat::jpeg, FileOf(flat, clitest::TestProfile(true)), error)) << error;

    const std::vector<uint8_t> bytes = ReadAll(path);
    const LibjpegImage jpeg = DecodeWithLibjpeg(bytes.data(), bytes.size());
    ASSERT_TRUE(jpeg.ok);
    // The profile in an APP2 marker, after its 14-byte label.
    const auto icc = std::find_if(jpeg.markers.begin(), jpeg.markers.end(),
                                  [](const auto& marker) { return marker.first == JPEG_APP0 + 2; });
    ASSERT_NE(icc, jpeg.markers.end());
    EXPECT_EQ(std::vector<uint8_t>(icc->second.begin() + 14, icc->second.end()), clitest::TestProfile(true));
    EXPECT_EQ(jpeg.lumaSampling, 11);  // 4:4:4 at the default quality
    for (int p = 0; p < 3; ++p) EXPECT_NEAR(jpeg.pixels[std::size_t(21 + p)], flat.samples[std::size_t(p)], 3);

    // And back through our reader (shape and profile the command line's runs check).
    ImageFile file;
    ASSERT_TRUE(ReadImageFile(path, file, error)) << error;
    EXPECT_NEAR(file.image.At(15, 15, 0), 200, 3);
    EXPECT_EQ(file.quality, kDefaultQuality);

    // The quality read back is the one written, whatever it was; cut short, the file
    // still reads, with a warning.
    ImageFile photo = FileOf(RampImage(64, 48, 3, 8));
    photo.quality = 71;
    ASSERT_TRUE(WriteImageFile(path, FileFormat::jpeg, photo, error)) << error;
    ASSERT_TRUE(ReadImageFile(path, file, error)) << error;
    EXPECT_EQ(file.quality, 71);
    EXPECT_TRUE(file.warnings.empty());
    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 2 / 3);
    ASSERT_TRUE(ReadImageFile(path, file, error)) << error;
    ASSERT_EQ(file.warnings.size(), 1u);
    EXPECT_NE(file.warnings[0].find("ends early"), std::string::npos);

    // JPEG holds no 16 bits: refused, nothing degraded (transparency: the command line's runs).
    EXPECT_FALSE(WriteImageFile(StatePath("deep.jpg"), FileFormat::jpeg,
                                FileOf(RampImage(4, 4, 3, 16)), error));
    EXPECT_NE(error.find("8 bits per channel only"), std::string::npos);
}

TEST(ImageFiles, CutAndOversizedFilesFailAndFormatsFollowTheExtension) {
    // A PNG cut short in its image data (missing and non-image files: the command line's runs).
    ImageFile file;
    std::string error;
    const std::string cut = StatePath("cut.png");
    ASSERT_TRUE(WriteImageFile(cut, FileFormat::png, FileOf(RampImage(64, 64, 3, 8)), error));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    EXPECT_FALSE(ReadImageFile(cut, file, error));
    EXPECT_FALSE(error.empty());
    // A side the filter protocol cannot address is refused as the header is read.
    const std::string wide = StatePath("wide.png");
    ASSERT_TRUE(clitest::WriteWithLibpng(wide, 40000, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint16_t>(40000, 7)));
    EXPECT_FALSE(ReadImageFile(wide, file, error));
    EXPECT_EQ(error, kTooLarge);

    // Headers that claim gigabytes from a few bytes are refused before anything is
    // allocated: a PNG of 16000 x 16000 RGBA at 16 bits, TIFFs of 30000 x 8000 with 4
    // and 65535 samples per pixel. Fuzz finds: a damaged lossy WebP stating 16383 x
    // 16383, a TIFF whose resolution tag holds no value (Exiv2 threw past the reader).
    // And an animated WebP of any size.
    for (const auto& [name, message] : {std::pair<const char*, const char*>{"oversized-header.png", "too short"},
                                        {"oversized-header.tif", "too short"},
                                        {"many-samples.tif", "only grey and RGB"},
                                        {"oversized-lossy.webp", "too short"},
                                        {"empty-resolution-tag.tif", ""},
                                        {"animated.webp", "animated"}}) {
        const std::string bytes = FileContents(kCorpus + name);
        EXPECT_FALSE(ReadImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << name;
        EXPECT_NE(error.find(message), std::string::npos) << name << ": " << error;
    }

    // A TIFF of two pages (4 x 1 grey, 10 then 200) gives its first, with a warning.
    ASSERT_TRUE(ReadImageFile(kCorpus + "two-pages.tif", file, error)) << error;
    EXPECT_EQ(file.image.At(3, 0, 0), 10);
    ASSERT_EQ(file.warnings.size(), 1u);
    EXPECT_NE(file.warnings[0].find("2 pages"), std::string::npos);

    EXPECT_EQ(FormatForPath("a/b.TIFF"), FileFormat::tiff);
    EXPECT_EQ(FormatForPath("x.jpeg"), FileFormat::jpeg);
    EXPECT_EQ(FormatForPath("x.gif"), std::nullopt);
}

TEST(ImageFiles, PendingFileAppearsWholeOrNotAtAll) {
    const std::filesystem::path folder = StatePath("pending");
    std::filesystem::create_directory(folder);
    const std::string target = (folder / "out.png").string();
    std::ofstream(target) << "old";
    std::string error;
    // Abandoned, then committed: the target is the old file, then the new one, never
    // a third file. In a folder of its own, what a writer puts beside the temporary
    // goes with it, whether the file is abandoned, removed as a signal would, or
    // committed.
    std::string expected = "old";
    for (const auto& [own, ending] : {std::pair{false, 0}, {false, 2}, {true, 0}, {true, 1}, {true, 2}}) {
        const std::string text = own ? "own" : "new";
        {
            platform::PendingFile pending({.inOwnFolder = own, .removeOnSignal = own});
            ASSERT_TRUE(pending.Open(target, error)) << error;
            std::ofstream(pending.TempPath()) << text;
            if (own) std::ofstream(pending.TempPath() + ".beside") << "x";
            if (ending == 1) platform::RemovePendingFiles();
            if (ending == 2) {
                ASSERT_TRUE(pending.Commit(error)) << error;
                expected = text;
            }
        }
        EXPECT_EQ(clitest::FileContents(target), expected) << own << ending;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    }
    platform::PendingFile nowhere;
    EXPECT_FALSE(nowhere.Open(StatePath("no/such/folder/out.png"), error));
}

}  // namespace
