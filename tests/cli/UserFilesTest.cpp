// The program on the files people bring, and what it says of itself; metadata is read
// back with Exiv2 and, where installed, exiftool.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "ImageFiles.h"
#include "TestImages.h"
#include "pages/PageChecks.h"
#include "support/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace clitest;

// Runs a shell command line with the program as $T; the exit code, stderr in err.
int Shell(const std::string& command, std::string* err = nullptr) {
    const std::string errPath = StatePath("shell-err.txt");
    const int status = pagecheck::Shell("T='" TESSELUME_PROGRAM "'; " + command + " 2>'" + errPath + "'");
    if (err) *err = FileContents(errPath);
    return status;
}

// Camera metadata added with Exiv2 to an image our writer made (Exiv2 leaves a
// TIFF's own resolution tags alone: the writer sets them).
void AddMetadata(const std::string& path) {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Quillcam";
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:06 07:08:09";
    exif["Exif.Image.XResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.ResolutionUnit"] = uint16_t(2);
    image->xmpData()["Xmp.dc.title"] = "Harbour at dawn";
    image->writeMetadata();
}

TEST(UserFiles, TransparencyMetadataAndResolutionAreKept) {
    // Transparency exactly, unless it is editable.
    const std::string rgba = StatePath("rgba.png"), kept = StatePath("rgba-kept.png"), edited = StatePath("rgba-edit.png");
    filterhost::Image image = RampImage(40, 30, 3, 8, true);
    for (int32_t x = 0; x < 40; ++x) image.At(x, 5, 3) = 0;  // a fully transparent row
    Save(rgba, image);
    ASSERT_EQ(Shell("$T apply " + rgba + " -o " + kept), 0);
    ASSERT_EQ(Shell("$T apply " + rgba + " -o " + edited + " --edit-transparency"), 0);
    const clitest::PngContents before = ReadWithLibpng(rgba), after = ReadWithLibpng(kept), edit = ReadWithLibpng(edited);
    ASSERT_EQ(after.samples.size(), before.samples.size());
    bool colourChanged = false;
    for (std::size_t i = 0; i < before.samples.size(); ++i) {
        ASSERT_TRUE(i % 4 != 3 || after.samples[i] == before.samples[i]) << "alpha at " << i / 4;
        colourChanged |= after.samples[i] != before.samples[i];
    }
    EXPECT_TRUE(colourChanged);
    EXPECT_NE(edit.samples, after.samples);

    const std::string jpeg = StatePath("camera.jpg"), tiff = StatePath("scan.tif");
    Save(jpeg, RampImage(48, 32, 3, 8));
    Save(tiff, RampImage(48, 32, 3, 16), {}, 300);
    AddMetadata(jpeg);
    AddMetadata(tiff);
    const bool exiftool = pagecheck::HaveTool("exiftool");
    // 16 bits: TIFF to TIFF only.
    for (const auto& [in, extension] : {std::pair{jpeg, ".jpg"}, {jpeg, ".tif"}, {jpeg, ".png"}, {jpeg, ".webp"},
                                        {tiff, ".tif"}}) {
        const std::string out = StatePath("kept" + std::string(extension));
        SCOPED_TRACE(in + " to " + out);
        ASSERT_EQ(Shell("$T apply " + in + " -o " + out), 0);
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(out);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Image.Make"))->toString(), "Quillcam");
        EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"))->toLong(), 6);
        EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"))->toString(), "2024:05:06 07:08:09");
        EXPECT_EQ(image->xmpData()["Xmp.dc.title"].toString(), "lang=\"x-default\" Harbour at dawn");
        EXPECT_NEAR(clitest::Load(out).resolution[0], 300, 0.01);
        if (!exiftool) continue;
        const std::string tags = StatePath("tags.txt");
        ASSERT_EQ(Shell("exiftool -s3 -Make -Orientation# -Title -XResolution " + out + " > " + tags), 0);
        EXPECT_EQ(FileContents(tags), "Quillcam\n6\nHarbour at dawn\n300\n");
    }
    if (!exiftool) GTEST_SKIP() << "exiftool is not installed; checked with Exiv2 only";
}

TEST(UserFiles, PipesBatchesAndProtectedOrLinkedOutputs) {
    const std::string a = StatePath("a.png");
    Save(a, RampImage(30, 20, 3, 8));
    ASSERT_EQ(Shell("cat " + a + " | $T apply - -o - --format png > " + StatePath("piped.png")), 0);
    ASSERT_EQ(Shell("$T apply " + a + " -o " + StatePath("direct.png")), 0);
    EXPECT_EQ(FileContents(StatePath("piped.png")), FileContents(StatePath("direct.png")));
    // --depth 16 on apply: the 8-bit values widened exactly outside the selection.
    ASSERT_EQ(Shell("$T apply " + a + " -o " + StatePath("deep.png") + " --depth 16 --select 0,0,2,2"), 0);
    const clitest::PngContents narrow = ReadWithLibpng(a), deep = ReadWithLibpng(StatePath("deep.png"));
    ASSERT_EQ(std::make_pair(deep.bitDepth, deep.samples.size()), std::make_pair(16, narrow.samples.size()));
    EXPECT_EQ(deep.samples.back(), narrow.samples.back() * 257);

    // Five inputs, one broken: four outputs, a message naming the broken one, exit 1.
    fs::create_directory(StatePath("batch"));
    std::string inputs;
    for (int i = 0; i < 5; ++i) {
        const std::string name = StatePath("in" + std::to_string(i) + ".png");
        if (i == 2)
            std::ofstream(name) << "not an image";
        else
            Save(name, RampImage(12 + i, 9, 3, 8));
        inputs += " " + name;
    }
    std::string err;
    EXPECT_EQ(Shell("$T apply" + inputs + " -o " + StatePath("batch/%s.jpg"), &err), 1);
    EXPECT_NE(err.find("in2.png"), std::string::npos) << err;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(fs::exists(StatePath("batch/in" + std::to_string(i) + ".jpg")), i != 2) << i;
    EXPECT_EQ(Shell("$T apply" + inputs + " -o " + StatePath("batch") + " --format tif"), 1);
    EXPECT_TRUE(fs::exists(StatePath("batch/in4.tif")));

    // A write-protected output is refused and left alone; a linked one is written
    // through its link, keeping the file's mode.
    const std::string kept = StatePath("kept.png"), locked = StatePath("locked.png");
    std::ofstream(kept) << "old";
    std::ofstream(locked) << "old";
    ::chmod(kept.c_str(), 0640);
    ::chmod(locked.c_str(), 0444);
    fs::create_symlink(kept, StatePath("link.png"));
    EXPECT_EQ(Shell("$T apply " + a + " -o " + locked, &err), 1);
    EXPECT_NE(err.find("write-protected"), std::string::npos) << err;
    EXPECT_EQ(FileContents(locked), "old");
    ASSERT_EQ(Shell("$T apply " + a + " -o " + StatePath("link.png")), 0);
    EXPECT_TRUE(fs::is_symlink(StatePath("link.png")));
    EXPECT_NE(FileContents(kept), "old");
    struct stat status {};
    ::stat(kept.c_str(), &status);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST(UserFiles, SignalsAtAnyMomentLeaveNoTemporaryFile) {
    const std::string in = StatePath("large.png"), out = StatePath("large-out.tif");
    ASSERT_EQ(Shell("$T render --size 2500x2500 -o " + in), 0);
    // Signals spread over reading, the run (a small selection) and writing.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        for (const int delay : {30, 120, 250, 400}) {
            SCOPED_TRACE(std::to_string(signal) + " after " + std::to_string(delay) + " ms");
            const pid_t pid = testsupport::StartProgram({"apply", in, "-o", out, "--select", "0,0,8,8"});
            ASSERT_GT(pid, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            kill(pid, signal);
            // Killed before its handlers were in place (nothing to clean then), stopped, or done.
            const int code = testsupport::WaitProgram(pid);
            EXPECT_TRUE(code == 128 + signal || code == 0) << code;
            ExpectNoFileStartingWith({"."});
            fs::remove(out);
        }
}

TEST(UserFiles, HelpInfoVersionAboutManualAndCompletion) {
    for (const char* command : {"render", "apply", "export-psd", "catalogue", "info", "about"}) {
        const std::string usage = testsupport::RunOk({command, "--help"}).out;
        EXPECT_EQ(usage.rfind(std::string("Usage: tesselume ") + command, 0), 0u) << usage;
    }
    // The command list keeps a gap after even the longest name.
    const std::string help = testsupport::RunOk({"--help"}).out;
    for (const char* line : {"  render      paint", "  export-psd  write"})
        EXPECT_NE(help.find(line), std::string::npos) << help;
    const std::string info = testsupport::RunOk({"info"}).out;
    for (const char* expected : {"Tesselume...", "Quillborne", "PluginMain", "48-bit RGB", "Parameters (36)",
                                 "zoom               0033  long  0 to 100", "GL62  screendim", "SY04  5-fold"})
        EXPECT_NE(info.find(expected), std::string::npos) << expected;
    EXPECT_EQ(testsupport::RunOk({"--version"}).out.rfind("tesselume ", 0), 0u);
    const std::string out = StatePath("out.txt");
    ASSERT_EQ(Shell("env -u DISPLAY TESSELUME_UI=sdl $T about > " + out), 0);
    EXPECT_NE(FileContents(out).find("Symmetrical colour patterns"), std::string::npos) << FileContents(out);
    std::string err;
    EXPECT_EQ(Shell("env -u TESSELUME_UI DISPLAY=:97 $T about", &err), 1);
    EXPECT_NE(err.find("cannot open the display :97"), std::string::npos) << err;
    // The shipped manual page and completion are what the option table makes now.
    EXPECT_EQ(testsupport::RunOk({"--man-page"}).out, FileContents(TESSELUME_SOURCE_DIR "/docs/tesselume.1"));
    ASSERT_EQ(Shell("$T --bash-completion > " + out), 0);
    EXPECT_EQ(FileContents(out), FileContents(TESSELUME_SOURCE_DIR "/docs/tesselume.bash-completion"));
    ASSERT_EQ(Shell("bash -c 'source " + out + " && COMP_WORDS=(tesselume apply --ed); COMP_CWORD=2; _tesselume; "
                    "echo ${COMPREPLY[*]}' > " + StatePath("words.txt")), 0);
    EXPECT_EQ(FileContents(StatePath("words.txt")), "--edit-transparency\n");
}

}  // namespace
