// The command line's image files, checked against libpng, libjpeg and libtiff used
// directly.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>

#include "ImageFiles.h"
#include "TestImages.h"

using namespace tesselume;

namespace {

std::string TestPath(const std::string& name) {
    return (std::filesystem::path(std::getenv("TESSELUME_STATE_DIR")) / name).string();
}

ImageFile FileOf(const filterhost::Image& image, std::vector<uint8_t> profile = {}) {
    ImageFile file;
    file.image = image;
    file.iccProfile = std::move(profile);
    return file;
}

TEST(ImageFiles, SixteenBitScaleRoundTripsEveryHostValue) {
    EXPECT_EQ(ToHostScale(0), 0);
    EXPECT_EQ(ToHostScale(65535), 32768);
    EXPECT_EQ(FromHostScale(0), 0);
    EXPECT_EQ(FromHostScale(32768), 65535);
    EXPECT_EQ(FromHostScale(16384), 32768);  // 16384 * 65535 / 32768 = 32767.5, rounded up
    for (uint32_t h = 0; h <= 32768; ++h) {
        ASSERT_EQ(ToHostScale(FromHostScale(uint16_t(h))), h) << h;
        if (h > 0) {
            ASSERT_GT(FromHostScale(uint16_t(h)), FromHostScale(uint16_t(h - 1)));
        }
    }
    for (uint32_t v = 0; v <= 65535; ++v) {
        const int diff = int(FromHostScale(ToHostScale(uint16_t(v)))) - int(v);
        ASSERT_LE(std::abs(diff), 1) << v;
    }
}

TEST(ImageFiles, PngWritesWhatLibpngReadsBack) {
    const std::string path = TestPath("rgba8.png");
    const filterhost::Image rgba = clitest::AsymmetricImage(13, 7, 3, true, 8);
    std::string error;
    ASSERT_TRUE(WriteImageFile(path, FileFormat::png, FileOf(rgba, clitest::TestProfile(true)), error)) << error;
    clitest::PngContents png;
    ASSERT_TRUE(clitest::ReadWithLibpng(path, png));
    EXPECT_EQ(png.width, 13u);
    EXPECT_EQ(png.height, 7u);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.samples, rgba.samples);
    EXPECT_EQ(png.iccProfile, clitest::TestProfile(true));

    const std::string greyPath = TestPath("grey16.png");
    const filterhost::Image grey = clitest::AsymmetricImage(5, 9, 1, false, 16);
    ASSERT_TRUE(WriteImageFile(greyPath, FileFormat::png, FileOf(grey), error)) << error;
    clitest::PngContents png16;
    ASSERT_TRUE(clitest::ReadWithLibpng(greyPath, png16));
    EXPECT_EQ(png16.colourType, PNG_COLOR_TYPE_GRAY);
    EXPECT_EQ(png16.bitDepth, 16);
    ASSERT_EQ(png16.samples.size(), grey.samples.size());
    for (std::size_t i = 0; i < grey.samples.size(); ++i) ASSERT_EQ(png16.samples[i], FromHostScale(grey.samples[i]));
    EXPECT_TRUE(png16.iccProfile.empty());
}

TEST(ImageFiles, PngReadsWhatLibpngWrote) {
    std::string error;
    // A palette image with a transparent entry reads as 8-bit RGBA.
    const std::string palettePath = TestPath("palette.png");
    const std::vector<png_color> palette = {{10, 20, 30}, {200, 100, 50}, {1, 2, 3}};
    const std::vector<uint8_t> paletteAlpha = {255, 0};
    ASSERT_TRUE(clitest::WriteWithLibpng(palettePath, 3, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 2, 1, 0}, palette,
                                         paletteAlpha));
    ImageFile file;
    ASSERT_TRUE(ReadImageFile(palettePath, file, error)) << error;
    EXPECT_EQ(file.image.colourPlanes, 3);
    EXPECT_TRUE(file.image.transparency);
    EXPECT_EQ(file.image.depth, 8);
    EXPECT_EQ(file.image.At(1, 0, 0), 200);
    EXPECT_EQ(file.image.At(1, 0, 3), 0);
    EXPECT_EQ(file.image.At(0, 1, 2), 3);
    EXPECT_EQ(file.image.At(0, 1, 3), 255);

    // 16-bit grey with alpha: host scale in the image, the file's values kept aside.
    const std::string greyPath = TestPath("greyalpha16.png");
    const std::vector<uint16_t> raw = {0, 65535, 1, 2, 40000, 65534, 12345, 3};
    ASSERT_TRUE(clitest::WriteWithLibpng(greyPath, 2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 16, raw));
    ASSERT_TRUE(ReadImageFile(greyPath, file, error)) << error;
    EXPECT_EQ(file.image.colourPlanes, 1);
    EXPECT_TRUE(file.image.transparency);
    EXPECT_EQ(file.image.depth, 16);
    EXPECT_EQ(file.fileSamples, raw);
    for (std::size_t i = 0; i < raw.size(); ++i) EXPECT_EQ(file.image.samples[i], ToHostScale(raw[i]));

    // Unchanged samples go back as the file held them; a changed one is converted.
    file.image.samples[4] = 100;
    const std::string outPath = TestPath("greyalpha16-out.png");
    ASSERT_TRUE(WriteImageFile(outPath, FileFormat::png, file, error)) << error;
    clitest::PngContents png;
    ASSERT_TRUE(clitest::ReadWithLibpng(outPath, png));
    std::vector<uint16_t> expected = raw;
    expected[4] = FromHostScale(100);
    EXPECT_EQ(png.samples, expected);
}

TEST(ImageFiles, TiffBothWaysThroughLibtiff) {
    // Written by libtiff: 16-bit RGB with associated alpha, planes stored separately.
    const std::string inPath = TestPath("planar.tif");
    const std::vector<uint8_t> profile = clitest::TestProfile(true);
    {
        TIFF* tif = TIFFOpen(inPath.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2u);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
        const uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.data());
        // Premultiplied: colour = straight colour * alpha / 65535.
        const uint16_t planes[4][2][3] = {{{65535, 0, 100}, {30000, 3, 32768}},
                                          {{0, 65535, 200}, {20000, 5, 16384}},
                                          {{0, 0, 300}, {10000, 7, 0}},
                                          {{65535, 65535, 65535}, {65535, 65535, 32768}}};
        for (uint16_t s = 0; s < 4; ++s)
            for (uint32_t y = 0; y < 2; ++y)
                ASSERT_GE(TIFFWriteScanline(tif, const_cast<uint16_t*>(planes[s][y]), y, s), 0);
        TIFFClose(tif);
    }
    ImageFile file;
    std::string error;
    ASSERT_TRUE(ReadImageFile(inPath, file, error)) << error;
    EXPECT_EQ(file.image.colourPlanes, 3);
    EXPECT_TRUE(file.image.transparency);
    EXPECT_EQ(file.image.depth, 16);
    EXPECT_EQ(file.iccProfile, profile);
    EXPECT_EQ(file.image.At(2, 0, 1), ToHostScale(200));
    EXPECT_EQ(file.image.At(1, 1, 2), ToHostScale(7));
    // Half transparent: the straight colour is twice the stored one.
    EXPECT_EQ(file.image.At(2, 1, 0), ToHostScale(65535));
    EXPECT_EQ(file.image.At(2, 1, 1), ToHostScale(32768));
    EXPECT_EQ(file.image.At(2, 1, 3), ToHostScale(32768));

    // Written by us, read by libtiff: interleaved, unassociated alpha, the profile kept.
    const std::string outPath = TestPath("out.tif");
    const filterhost::Image grey = clitest::AsymmetricImage(6, 4, 1, true, 8);
    ASSERT_TRUE(WriteImageFile(outPath, FileFormat::tiff, FileOf(grey, profile), error)) << error;
    TIFF* tif = TIFFOpen(outPath.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t spp = 0, bits = 0, photometric = 0, extraCount = 0;
    uint16_t* extraTypes = nullptr;
    uint32_t profileLength = 0;
    void* profileData = nullptr;
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes));
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_ICCPROFILE, &profileLength, &profileData));
    EXPECT_EQ(spp, 2);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(photometric, PHOTOMETRIC_MINISBLACK);
    ASSERT_EQ(extraCount, 1);
    EXPECT_EQ(extraTypes[0], EXTRASAMPLE_UNASSALPHA);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(profileData),
                                   static_cast<uint8_t*>(profileData) + profileLength),
              profile);
    std::vector<uint8_t> line(std::size_t(TIFFScanlineSize(tif)));
    for (uint32_t y = 0; y < 4; ++y) {
        ASSERT_GE(TIFFReadScanline(tif, line.data(), y, 0), 0);
        for (int32_t x = 0; x < 6; ++x)
            for (int32_t p = 0; p < 2; ++p) ASSERT_EQ(line[std::size_t(x * 2 + p)], grey.At(x, int32_t(y), p));
    }
    TIFFClose(tif);
}

TEST(ImageFiles, JpegBothWaysThroughLibjpeg) {
    // Ours to libjpeg: an RGB image with a profile; a flat colour survives the lossy codec closely.
    filterhost::Image flat = clitest::AsymmetricImage(16, 16, 3, false, 8);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            flat.At(x, y, 0) = 200;
            flat.At(x, y, 1) = 40;
            flat.At(x, y, 2) = 90;
        }
    const std::string path = TestPath("flat.jpg");
    std::string error;
    ASSERT_TRUE(WriteImageFile(path, FileFormat::jpeg, FileOf(flat, clitest::TestProfile(true)), error)) << error;

    FILE* fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, fp);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    JOCTET* profile = nullptr;
    unsigned int profileLength = 0;
    ASSERT_TRUE(jpeg_read_icc_profile(&info, &profile, &profileLength));
    EXPECT_EQ(std::vector<uint8_t>(profile, profile + profileLength), clitest::TestProfile(true));
    std::free(profile);
    jpeg_start_decompress(&info);
    EXPECT_EQ(info.output_components, 3);
    std::vector<uint8_t> row(16 * 3);
    JSAMPROW rowPointer = row.data();
    jpeg_read_scanlines(&info, &rowPointer, 1);
    EXPECT_NEAR(row[21], 200, 3);
    EXPECT_NEAR(row[22], 40, 3);
    EXPECT_NEAR(row[23], 90, 3);
    jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(fp);

    // And back through our reader: the same shape and profile.
    ImageFile file;
    ASSERT_TRUE(ReadImageFile(path, file, error)) << error;
    EXPECT_EQ(file.image.colourPlanes, 3);
    EXPECT_EQ(file.image.depth, 8);
    EXPECT_FALSE(file.image.transparency);
    EXPECT_EQ(file.iccProfile, clitest::TestProfile(true));
    EXPECT_NEAR(file.image.At(15, 15, 0), 200, 3);

    // JPEG holds neither 16 bits nor transparency: refused, nothing degraded.
    EXPECT_FALSE(WriteImageFile(TestPath("deep.jpg"), FileFormat::jpeg,
                                FileOf(clitest::AsymmetricImage(4, 4, 3, false, 16)), error));
    EXPECT_NE(error.find("16 bits"), std::string::npos);
    EXPECT_FALSE(WriteImageFile(TestPath("alpha.jpg"), FileFormat::jpeg,
                                FileOf(clitest::AsymmetricImage(4, 4, 3, true, 8)), error));
    EXPECT_NE(error.find("transparency"), std::string::npos);
}

TEST(ImageFiles, UnreadableFilesFailWithAReason) {
    ImageFile file;
    std::string error;
    EXPECT_FALSE(ReadImageFile(TestPath("missing.png"), file, error));
    EXPECT_NE(error.find("No such file"), std::string::npos);

    const std::string text = TestPath("notes.png");
    std::ofstream(text) << "not an image at all";
    EXPECT_FALSE(ReadImageFile(text, file, error));
    EXPECT_EQ(error, "not a PNG, JPEG or TIFF image");

    // A PNG cut short in its image data.
    const std::string whole = TestPath("whole.png");
    ASSERT_TRUE(WriteImageFile(whole, FileFormat::png, FileOf(clitest::AsymmetricImage(64, 64, 3, false, 8)), error));
    const auto size = std::filesystem::file_size(whole);
    std::filesystem::copy_file(whole, TestPath("cut.png"));
    std::filesystem::resize_file(TestPath("cut.png"), size / 2);
    error.clear();
    EXPECT_FALSE(ReadImageFile(TestPath("cut.png"), file, error));
    EXPECT_FALSE(error.empty());

    EXPECT_EQ(FormatForPath("a/b.TIFF"), FileFormat::tiff);
    EXPECT_EQ(FormatForPath("x.jpeg"), FileFormat::jpeg);
    EXPECT_EQ(FormatForPath("x.gif"), std::nullopt);
}

TEST(ImageFiles, PendingFileAppearsWholeOrNotAtAll) {
    const std::filesystem::path folder = TestPath("pending");
    std::filesystem::create_directory(folder);
    const std::string target = (folder / "out.png").string();
    std::ofstream(target) << "old";
    std::string error;
    {
        PendingFile pending;
        ASSERT_TRUE(pending.Open(target, error)) << error;
        std::ofstream(pending.TempPath()) << "half";
    }
    std::ifstream kept(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    {
        PendingFile pending;
        ASSERT_TRUE(pending.Open(target, error)) << error;
        std::ofstream(pending.TempPath()) << "new";
        ASSERT_TRUE(pending.Commit(error)) << error;
    }
    std::ifstream replaced(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    PendingFile nowhere;
    EXPECT_FALSE(nowhere.Open(TestPath("no/such/folder/out.png"), error));
}

}  // namespace
