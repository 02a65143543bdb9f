// The PSD export read back by independent readers (psd-tools, ImageMagick, GIMP);
// cancelled, it still gives a whole document, and a failed write gives none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <sys/mount.h>

#include "FilterHost.h"
#include "PresetFiles.h"
#include "pages/PageChecks.h"
#include "pattern/PatternTestSupport.h"
#include "export/PsdWriter.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"
#include "support/StateFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace pagecheck;

fs::path TestFolder() {
    const fs::path folder = fs::path(std::getenv("TESSELUME_STATE_DIR")) / "psd";
    fs::create_directories(folder);
    return folder;
}

// A Python that has psd-tools, or empty.
std::string PsdToolsPython() {
    for (const char* python : {"/usr/bin/python3", "python3"})
        if (Shell(std::string(python) + " -c 'import psd_tools, numpy' >/dev/null 2>&1") == 0) return python;
    return {};
}

// Reads a PSD with psd-tools and writes, as raw little-endian 16-bit samples, the
// layer's RGBA and the merged image's red, green and blue planes (as its low-level
// record holds them), each on the file's own scale (0..255 or 0..65535); prints the
// layer count, name, size and depth, the image resources in order and the ICC
// profile's length.
constexpr const char* kDumpScript = R"(
import sys, numpy as np
from psd_tools import PSDImage
psd = PSDImage.open(sys.argv[1])
layers = list(psd)
layer = layers[0]
top = 255 if psd.depth == 8 else 65535
def raw(a): return np.round(np.asarray(a, dtype=np.float64) * top).astype('<u2').tobytes()
with open(sys.argv[2], 'wb') as out:
    out.write(raw(layer.numpy()))
    header = psd._record.header
    planes = psd._record.image_data.get_data(header)[:3]
    kind = {8: '>u1', 16: '>u2', 32: '>f4'}[psd.depth]
    merged = np.stack([np.frombuffer(p, dtype=kind).reshape(psd.height, psd.width) for p in planes], axis=-1)
    out.write((raw(merged) if psd.depth == 32 else merged.astype('<u2').tobytes()))
icc = psd.image_resources.get_data(1039)
print(len(layers), layer.name, layer.size[0], layer.size[1], psd.depth, '/',
      ' '.join(str(int(key)) for key in psd.image_resources.keys()), '/', len(icc) if icc else 0, end='')
)";

struct PsdDump {
    std::string summary;           // "count name width height depth / resources / icc"
    std::vector<uint16_t> layer;   // width x height x 4
    std::vector<uint16_t> merged;  // width x height x 3
};

bool Dump(const std::string& python, const fs::path& psd, int32_t width, int32_t height, PsdDump& dump) {
    const fs::path script = TestFolder() / "dump.py", raw = TestFolder() / "dump.raw", said = TestFolder() / "dump.txt";
    std::ofstream(script) << kDumpScript;
    if (Shell(python + " " + script.string() + " " + psd.string() + " " + raw.string() + " >" + said.string()) != 0)
        return false;
    dump.summary = testsupport::FileContents(said);
    const std::string bytes = testsupport::FileContents(raw);
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    if (bytes.size() != pixels * 7 * 2) return false;
    std::vector<uint16_t> all(pixels * 7);
    std::memcpy(all.data(), bytes.data(), bytes.size());
    dump.layer.assign(all.begin(), all.begin() + std::ptrdiff_t(pixels * 4));
    dump.merged.assign(all.begin() + std::ptrdiff_t(pixels * 4), all.end());
    return true;
}

// A 16-bit store value as the file holds it.
uint16_t Wide(int32_t v) { return v >= 32768 ? 65535 : uint16_t(2 * v); }

// A store with no symmetry and every alpha from clear to opaque, written with the
// writer alone: the layer keeps the pixels, the merged image lays them over the
// 8 x 8 checkerboard. Float documents are read on a 0..65535 scale, to within one.
TEST(PsdWriter, PsdToolsReadsTheLayerAndTheMergedImageOverTheCheckerboard) {
    const std::string python = PsdToolsPython();
    if (python.empty()) GTEST_SKIP() << "psd-tools (python3-psd-tools) is not installed";
    // Wider than a store tile (512) and a piece of a row the writer converts (256).
    constexpr int32_t kWidth = 530, kHeight = 21;
    for (const int32_t bytes : {1, 2, 4}) {
        SCOPED_TRACE(bytes);
        const int32_t one = bytes == 2 ? 32768 : 255;
        const auto sample = [&](int32_t x, int32_t y, int32_t c) {
            if (c == 3) return (x == 0 && y == 0) ? 0 : (x == 1 && y == 0) ? one : (x * 29 + y * 53) % (one + 1);
            return (x * (17 + c) + y * (5 + 11 * c) + c * 90 + (x == 1 && y == 0 ? one : 0)) % (one + 1);
        };
        ImageStore image;
        InitialiseImage(&image, nullptr);
        ASSERT_TRUE(CreateImage(&image, kWidth, kHeight, PsdStoreKind(bytes), kNoPyramid));
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                if (bytes == 4)
                    setRGBAFloat(x, y, &image, 0,
                                 FloatRGBA{sample(x, y, 0) / 255.0f, sample(x, y, 1) / 255.0f,
                                           sample(x, y, 2) / 255.0f, sample(x, y, 3) / 255.0f});
                else
                    setRGBA(x, y, &image, 0, sample(x, y, 0), sample(x, y, 1), sample(x, y, 2), sample(x, y, 3));
        const fs::path path = TestFolder() / "writer.psd";
        platform::FileHandle file = platform::OpenForWriting(path.c_str());
        ASSERT_NE(file, platform::kNoFile);
        EXPECT_EQ(WritePsd(file, PsdDocument{&image, bytes, nullptr, 0, nullptr, nullptr}, nullptr, nullptr), noErr);
        platform::CloseFile(file);
        ReleaseImage(&image);

        PsdDump dump;
        ASSERT_TRUE(Dump(python, path, kWidth, kHeight, dump));
        const std::string resources = bytes == 4 ? "1001 1005 1011 1016 1035 1069 1072 1024 1026"
                                                 : "1001 1005 1011 1016 1035 1024 1026";
        EXPECT_EQ(dump.summary, "1 layer 1 530 21 " + std::to_string(8 * bytes) + " / " + resources + " / 0");
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                const std::size_t at = std::size_t(y * kWidth + x);
                const int32_t a = sample(x, y, 3), checker = ((x ^ y) & 8) == 0 ? 0 : 1;
                for (int32_t c = 0; c < 4; ++c) {
                    const int32_t v = sample(x, y, c);
                    const float f = v / 255.0f, fa = a / 255.0f;
                    const int32_t layer = bytes == 1 ? v : bytes == 2 ? Wide(v) : int32_t(std::lround(f * 65535.0));
                    ASSERT_NEAR(dump.layer[at * 4 + std::size_t(c)], layer, bytes == 4 ? 1 : 0) << x << "," << y;
                    if (c == 3) continue;
                    const int32_t merged =
                        bytes == 1   ? ((checker ? 204 : 255) * (255 - a) + v * a) / 255
                        : bytes == 2 ? Wide((v * a + (checker ? 26112 : 32640) * (32768 - a)) >> 15)
                                     : int32_t(std::lround((f * fa + (1.0f - fa) * (checker ? 0.8f : 1.0f)) * 65535.0));
                    ASSERT_NEAR(dump.merged[at * 3 + std::size_t(c)], merged, bytes == 4 ? 1 : 0) << x << "," << y;
                }
            }
    }
}

// ---- The module's export ----

constexpr Rect kArea{5, 7, 33, 45};  // 38 x 28 of a 50 x 40 image
constexpr OSType kExportKey = PIFourCC("PSDf");

struct Export {
    std::unique_ptr<filterhost::Host> host;
    filterhost::Image image;
    filterhost::Job job;

    // Woven with "normal" glue: the filter's output is the pattern.
    // Without a path the run only filters.
    Export(int32_t depth, const fs::path& path = {}) : host(LoadModule()) {
        Settings settings = Woven();
        settings.glue = 1;
        settings.zoom = 37;
        image = filterhost::Image::Make(50, 40, 3, false, depth, depth == 16 ? 9000 : 70);
        job.filterRect = kArea;
        job.play = tesselume::DescriptorOf(settings);
        if (!path.empty()) job.playAliases = {{kExportKey, path.string()}};
    }
    OSErr Run() {
        std::string error;
        return host->Run(image, job, error).result;
    }
};

// The layer holds what the filter paints over the same area with the same settings,
// opaque; the merged image shows it unchanged. ImageMagick and GIMP open the files.
TEST(PsdExport, ReadersSeeTheLayerTheFilterPaintsWholeOrUpToACancel) {
    const std::string python = PsdToolsPython();
    if (python.empty()) GTEST_SKIP() << "psd-tools (python3-psd-tools) is not installed";
    const int32_t width = kArea.right - kArea.left, height = kArea.bottom - kArea.top;
    for (const int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const fs::path path = TestFolder() / ("module" + std::to_string(depth) + ".psd");
        Export exported(depth, path);
        // A profile of odd length for the 16-bit document: resource 1039, padded.
        if (depth == 16) exported.job.iccProfile.assign(301, 0x5A);
        const filterhost::Image before = exported.image;
        ASSERT_EQ(exported.Run(), noErr);
        EXPECT_EQ(exported.image.samples, before.samples) << "the export changed the image";

        Export filtered(depth);
        ASSERT_EQ(filtered.Run(), noErr);

        PsdDump dump;
        ASSERT_TRUE(Dump(python, path, width, height, dump));
        EXPECT_EQ(dump.summary, "1 layer 1 38 28 " + std::to_string(depth) + " / 1001 1005 1011 1016 1035 " +
                                    (depth == 16 ? "1039 " : "") + "1028 1058 1024 1026 / " +
                                    (depth == 16 ? "301" : "0"));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const std::size_t at = std::size_t(y * width + x);
                for (int32_t c = 0; c < 3; ++c) {
                    const int32_t painted = filtered.image.At(x + kArea.left, y + kArea.top, c);
                    const int32_t expected = depth == 8 ? painted : Wide(painted);
                    ASSERT_EQ(dump.layer[at * 4 + std::size_t(c)], expected) << x << "," << y;
                    ASSERT_EQ(dump.merged[at * 3 + std::size_t(c)], expected) << x << "," << y;
                }
                ASSERT_EQ(dump.layer[at * 4 + 3], depth == 8 ? 255 : 65535);
            }
    }

    // The host's abort at the first look, half-way, or only after the last row: the run
    // ends cancelled, and a whole document readers open takes the place of the file there,
    // its layer holding the rows rendered before the cancel as the filter paints them
    // and transparency below.
    const fs::path path = TestFolder() / "cancel.psd";
    int32_t looks = 0;
    {
        Export counted(8, path);
        counted.job.shouldAbort = [&] { return ++looks, false; };
        ASSERT_EQ(counted.Run(), noErr);
    }
    ASSERT_GT(looks, 3);
    Export filtered(8);
    ASSERT_EQ(filtered.Run(), noErr);

    int32_t before = 0;
    for (const int32_t at : {1, looks / 2, looks}) {
        SCOPED_TRACE(at);
        std::ofstream(path) << "before";
        Export cancelled(8, path);
        int32_t seen = 0;
        cancelled.job.shouldAbort = [&] { return ++seen >= at; };
        EXPECT_EQ(cancelled.Run(), userCanceledErr);
        PsdDump dump;
        ASSERT_TRUE(Dump(python, path, width, height, dump));
        EXPECT_TRUE(dump.summary.starts_with("1 layer 1 38 28 8 /")) << dump.summary;
        int32_t rendered = 0;
        while (rendered < height && dump.layer[std::size_t(rendered * width) * 4 + 3] == 255) ++rendered;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int32_t c = 0; c < 4; ++c) {
                    const int32_t painted = c == 3 ? 255 : filtered.image.At(x + kArea.left, y + kArea.top, c);
                    ASSERT_EQ(dump.layer[std::size_t(y * width + x) * 4 + std::size_t(c)], y < rendered ? painted : 0)
                        << x << "," << y << "," << c;
                }
        // The first look follows the first row; the last one the whole render.
        EXPECT_EQ(rendered, at == 1 ? 1 : at == looks ? height : rendered);
        EXPECT_GT(rendered, before);
        before = rendered;
    }
    // Nothing is left under a temporary name (".cancel.psd.XXXXXX" beside the target).
    for (const fs::directory_entry& entry : fs::directory_iterator(TestFolder()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();

    const fs::path psd8 = TestFolder() / "module8.psd", psd16 = TestFolder() / "module16.psd";
    if (!HaveTool("identify")) {
        std::printf("skipped ImageMagick: identify (imagemagick) is not installed\n");
    } else {
        const fs::path said = TestFolder() / "identify.txt";
        ASSERT_EQ(Shell("identify -format '%s %wx%h %z %A [%l]\\n' " + psd8.string() + " " + psd16.string() + " >" +
                        said.string()),
                  0);
        EXPECT_EQ(testsupport::FileContents(said),
                  "0 38x28 8 False []\n1 38x28 8 True [layer 1]\n0 38x28 16 True []\n1 38x28 16 True [layer 1]\n");
    }
    if (!HaveTool("gimp")) GTEST_SKIP() << "GIMP is not installed";
    // GIMP 2.10 reads the layers of 8-bit documents; of 16-bit ones, whose layers sit
    // in the "Lr16" block, it takes the merged image.
    const fs::path said = TestFolder() / "gimp.txt";
    std::string batch = "(let ((out (open-output-file \"" + said.string() + "\"))) (for-each (lambda (f) (let* ((img "
                        "(car (file-psd-load RUN-NONINTERACTIVE f f))) (layer (aref (cadr (gimp-image-get-layers img)) "
                        "0))) (write (list (car (gimp-image-get-layers img)) (car (gimp-item-get-name layer)) (car "
                        "(gimp-drawable-width layer)) (car (gimp-drawable-height layer)) (car "
                        "(gimp-drawable-has-alpha layer))) out))) (list \"" +
                        psd8.string() + "\" \"" + psd16.string() + "\")) (close-output-port out))";
    ASSERT_EQ(Shell("HOME=" + TestFolder().string() + " gimp -i -b '" + batch + "' -b '(gimp-quit 0)' >/dev/null 2>&1"), 0);
    EXPECT_EQ(testsupport::FileContents(said), "(1 \"layer 1\" 38 28 1)(1 \"Background\" 38 28 0)");
}

// A full disk: the write fails, the file there stays as it was, no temporary is left.
TEST(PsdExport, AFailedWriteKeepsTheFileThere) {
    const fs::path mount = TestFolder() / "small";
    fs::create_directory(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): full-disk test skipped";
    const fs::path path = mount / "full.psd";
    std::ofstream(path) << "before";
    {
        std::ofstream filler(mount / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) filler.flush();
    }
    Export exported(8, path);
    EXPECT_EQ(exported.Run(), writErr);
    EXPECT_EQ(testsupport::FileContents(path), "before");
    for (const fs::directory_entry& entry : fs::directory_iterator(mount))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
    ::umount(mount.c_str());
}

}  // namespace
