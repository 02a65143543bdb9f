// The presets file, with the thumbnail libjpeg reads back, old versions and damage.
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "store/Jpeg.h"
#include "files/FilesTestSupport.h"
#include "store/FileLayer.h"
#include "settings/Parameters.h"
#include "settings/PresetsFile.h"

namespace {

// Every parameter different from the factory's and from each other.
Settings Distinct() {
    Settings settings = FactorySettings();
    for (int i = 0; i < kParameterCount; ++i) settings.*kParameters[i].field = 1000 + i;
    return settings;
}

std::vector<int32_t> Values(const Settings& settings) {
    std::vector<int32_t> values;
    for (const ParameterInfo& p : kParameters) values.push_back(settings.*p.field);
    return values;
}

OSErr Load(const std::string& path, Settings& settings, ImageStore* thumbnail, bool& thumbnailRead,
           PresetsRead mode = PresetsRead::everything) {
    return LoadSettingsFile(settings, thumbnail, path.c_str(), mode, thumbnailRead);
}

// The factory values in the file are checked where the program saves a preset.
TEST(PresetsFile, FactorySettingsRoundTripWithAThumbnailLibjpegDecodes) {
    TestRun run;
    const std::string path = StatePath("factory.q1r");
    ASSERT_EQ(SaveSettingsFile(FactorySettings(), &run.thumbnail, path.c_str()), noErr);
    const std::vector<uint8_t> bytes = ReadAll(path);
    const LibjpegImage jpeg = DecodePresetsThumbnail(bytes);
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(BigEndianAt(bytes, 39 * 4 + 4) * 1000 + BigEndianAt(bytes, 39 * 4 + 8), 128128);  // the frame's sides
    EXPECT_EQ(jpeg.width * 1000 + jpeg.height, 128128);
    EXPECT_NEAR(jpeg.pixels[(40 * 128 + 25) * 3], 230, 12);  // inside the red F
    EXPECT_NEAR(jpeg.pixels[(100 * 128 + 110) * 3 + 1], 140, 12);  // the ramp, top-down

    // Thumbnail-only reading leaves the settings; a full read restores everything.
    Settings settings = Distinct();
    FillThumbnail(run.thumbnail, 0);
    bool thumbnailRead = false;
    EXPECT_EQ(Load(path, settings, &run.thumbnail, thumbnailRead, PresetsRead::thumbnailOnly), noErr);
    EXPECT_TRUE(thumbnailRead);
    EXPECT_LE(ThumbnailError(run.thumbnail), 24);
    EXPECT_EQ(Values(settings), Values(Distinct()));
    EXPECT_EQ(Load(path, settings, &run.thumbnail, thumbnailRead), noErr);
    EXPECT_EQ(Values(settings), Values(FactorySettings()));
}

TEST(PresetsFile, OldVersionsAndTheirEmbeddedImage) {
    TestRun run;
    // Version 25 with a 128 x 128 embedded image, and bytes after value 38 that a
    // reader of version 25 must not take for smooth or a thumbnail.
    std::vector<uint8_t> bytes;
    AppendBigEndian(bytes, 25);
    for (int position = 2; position <= 33; ++position) AppendBigEndian(bytes, position);
    for (int32_t v : {1, 128, 99}) AppendBigEndian(bytes, v);  // flag, side, ignored
    for (int32_t y = 0; y < 128; ++y)
        for (int32_t x = 0; x < 128; ++x) {
            const IntRGBA p = TestPixel(x, y);
            bytes.insert(bytes.end(), {uint8_t(p.red), uint8_t(p.green), uint8_t(p.blue)});
        }
    for (int32_t v : {1, 36, 37, 38, 39, 1, 128, 128, 5}) AppendBigEndian(bytes, v);
    const std::string path = StatePath("old.q1r");
    WriteAll(path, bytes);

    Settings settings = FactorySettings();
    settings.smooth = 77;
    FillThumbnail(run.thumbnail, 0);
    bool thumbnailRead = false;
    EXPECT_EQ(Load(path, settings, &run.thumbnail, thumbnailRead), noErr);
    EXPECT_TRUE(thumbnailRead);
    EXPECT_LE(ThumbnailError(run.thumbnail), 1);
    // Glue is the last value before the embedded image; smooth is not in version 25.
    EXPECT_EQ(std::make_tuple(settings.mixer1, settings.glue, settings.zoom, settings.symmetry, settings.smooth),
              std::make_tuple(2, 33, 36, 38, 77));

    // Version 100 has smooth but no thumbnail. Without a thumbnail store the
    // embedded pixels are skipped and the values after them still found.
    bytes[3] = 100;
    WriteAll(path, bytes);
    Settings skipped = FactorySettings();
    EXPECT_EQ(Load(path, skipped, nullptr, thumbnailRead), noErr);
    EXPECT_FALSE(thumbnailRead);
    EXPECT_EQ(std::make_pair(skipped.aspect, skipped.smooth), std::make_pair(37, 39));
}

TEST(PresetsFile, DamagedFilesLoadWithoutHarmTruncatedOnesLeavingUnreadFieldsAsTheyWere) {
    TestRun run;
    const std::string whole = StatePath("whole.q1r"), part = StatePath("part.q1r");
    ASSERT_EQ(SaveSettingsFile(FactorySettings(), &run.thumbnail, whole.c_str()), noErr);
    const std::vector<uint8_t> bytes = ReadAll(whole);
    // Every cut through the values and the frame header, and one inside the JPEG: a
    // field is loaded exactly when its four bytes are there; the thumbnail never.
    for (std::size_t cut = 0; cut <= 39 * 4 + 20; ++cut) {
        const std::size_t length = cut < 39 * 4 + 20 ? cut : bytes.size() - 100;
        WriteAll(part, std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(length)));
        Settings settings = Distinct();
        FillThumbnail(run.thumbnail, 7);
        bool thumbnailRead = true;
        EXPECT_EQ(Load(part, settings, &run.thumbnail, thumbnailRead), readErr) << length;
        EXPECT_FALSE(thumbnailRead);
        for (int i = 0; i < kParameterCount; ++i) {
            const bool present = std::size_t(kParameters[i].filePosition) * 4 <= length;
            EXPECT_EQ(settings.*kParameters[i].field, (present ? FactorySettings() : Distinct()).*kParameters[i].field)
                << kParameters[i].name << " at length " << length;
        }
        EXPECT_EQ(GetLong(64, 64, &run.thumbnail, 0) >> 24, 7u);
    }
    Settings settings = Distinct();
    bool thumbnailRead = false;
    EXPECT_EQ(Load(StatePath("absent.q1r"), settings, &run.thumbnail, thumbnailRead), kOpenErr);
    EXPECT_EQ(Values(settings), Values(Distinct()));

    // Oversized and corrupted thumbnails.
    const std::string damaged = StatePath("damaged.q1r");
    const std::size_t frame = 39 * 4;
    const std::vector<uint8_t> jpeg(bytes.begin() + std::ptrdiff_t(frame + 16), bytes.end());
    const auto framed = [&](int32_t kind, int32_t side, int32_t count, std::size_t padding = 0) {
        std::vector<uint8_t> file(bytes.begin(), bytes.begin() + std::ptrdiff_t(frame));
        for (int32_t v : {kind, side, side, count}) AppendBigEndian(file, v);
        file.insert(file.end(), jpeg.begin(), jpeg.end());
        file.insert(file.end(), padding, 0);
        return file;
    };
    // Loads a variant: the parameters always arrive; reports whether a thumbnail did.
    const auto load = [&](const std::vector<uint8_t>& file) {
        WriteAll(damaged, file);
        Settings settings = Distinct();
        FillThumbnail(run.thumbnail, 3);
        bool thumbnailRead = false;
        Load(damaged, settings, &run.thumbnail, thumbnailRead);
        EXPECT_EQ(Values(settings), Values(FactorySettings()));
        return thumbnailRead;
    };
    const int32_t size = int32_t(jpeg.size());

    // Beyond the 49152-byte buffer of old readers is still taken, up to the cap;
    // beyond the cap it is skipped and the thumbnail stays.
    EXPECT_TRUE(load(framed(1, 128, 60000, std::size_t(60000 - size))));
    EXPECT_LE(ThumbnailError(run.thumbnail), 24);
    EXPECT_FALSE(load(framed(1, 128, kMaxFramedJpegBytes + 1, std::size_t(kMaxFramedJpegBytes + 1 - size))));
    EXPECT_EQ(GetLong(5, 5, &run.thumbnail, 0) >> 24, 3u);

    EXPECT_TRUE(load(framed(1, 999, size)));  // sides held to 128
    // Impossible counts, no side, unknown kinds; kind 0 means no thumbnail.
    for (auto [kind, side, count] :
         {std::array{1, 128, 0x7FFFFFFF}, {1, 128, -5}, {1, 0, size}, {7, 128, size}, {0, 128, size}})
        EXPECT_FALSE(load(framed(kind, side, count))) << kind << " " << side << " " << count;

    // Damaged JPEG data: bytes of the header region flipped in turn, the coded data
    // scrambled, and no data at all. None may crash.
    for (std::size_t at = 0; at < std::min<std::size_t>(jpeg.size(), 700); at += 3) {
        std::vector<uint8_t> file = framed(1, 128, size);
        file[frame + 16 + at] ^= 0xA5;
        load(file);
    }
    std::vector<uint8_t> scrambled = framed(1, 128, size);
    for (std::size_t at = frame + 16 + jpeg.size() / 2; at < scrambled.size(); at += 5) scrambled[at] = uint8_t(at * 31);
    load(scrambled);
    std::vector<uint8_t> zeros = framed(1, 128, 16);
    std::fill(zeros.begin() + std::ptrdiff_t(frame + 16), zeros.begin() + std::ptrdiff_t(frame + 32), 0);
    EXPECT_FALSE(load(zeros));
}

}  // namespace
