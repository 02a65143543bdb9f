// The extra dot's pages through the real module: the tesselume program runs the
// dialog headless from a script; the memory-dots page it writes is read by libjpeg,
// tidy and Chromium, and a batch refresh is checked file by file.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "files/FilesTestSupport.h"
#include "pages/PageChecks.h"
#include "pattern/PatternTestSupport.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"
#include "support/Environment.h"
#include "support/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace pagecheck;
using namespace testsupport;

// Runs the dialog over a canvas of size with the script; the script ends it.
int RunDialog(const std::string& script, const std::string& size, const std::vector<std::string>& more = {}) {
    const Script steps(script);
    std::vector<std::string> args = {"render", "-o", StatePath("out.png"), "--size", size, "--dialog"};
    args.insert(args.end(), more.begin(), more.end());
    return testsupport::RunProgram(args).exitCode;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

LibjpegImage DecodeFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAll(path);
    return DecodeWithLibjpeg(bytes.data(), bytes.size());
}

}  // namespace

TEST(DialogPages, MemoryDotsPageShowsTheRenderOfEveryFilledDot) {
    // Dot 1 takes the settings the dialog opens with; dots 2 and 3 two loaded presets.
    // The area is larger than the preview, which shows it reduced.
    Settings first = FactorySettings(), second = FactorySettings();
    first.zoom = 30;
    first.symmetry = 4;
    second.mixer1 = 80;
    second.density = second.redCycles = second.greenCycles = second.blueCycles = 3;
    second.mirror = 1;
    const std::string p1 = StatePath("first.q1r"), p2 = StatePath("second.q1r"), page = StatePath("dots.html");
    for (const auto& [settings, path] : {std::pair{first, p1}, {second, p2}})
        ASSERT_EQ(SaveSettingsFile(settings, nullptr, path.c_str()), noErr);
    EXPECT_EQ(RunDialog("click #8; key Ctrl+A; type " + p1 + "; key Enter; click #122; click #8; key Ctrl+A; type " +
                            p2 + "; key Enter; click #123; rclick #119; key Ctrl+A; type " + page +
                            "; key Enter; click #2",
                        "1000x500"),
              3);

    const std::string html = FileContents(page);
    EXPECT_EQ(Count(html, "<font  size=\"3\""), 3u);
    EXPECT_EQ(Count(html, "Hoefler Text"), 1u);  // four columns: the row ends with an empty cell
    EXPECT_EQ(Count(html, "<table id=\"Table_01\" width=\"306\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
                          "height=\"157\">"),
              3u);
    EXPECT_NE(html.find("src=\"web_images/dot%202.jpg\" alt=\"dot 2.jpg\" width=\"300\" height=\"150\""),
              std::string::npos);
    std::vector<uint8_t> pictures[3];
    for (int n = 1; n <= 3; ++n) {
        const std::string name = "dot " + std::to_string(n);
        EXPECT_NE(html.find(">" + name + "</font>"), std::string::npos) << name;
        const LibjpegImage jpeg = DecodeFile(StatePath("web_images/" + name + ".jpg"));
        ASSERT_TRUE(jpeg.ok) << name;
        EXPECT_EQ(std::make_pair(jpeg.width, jpeg.height), std::make_pair(300, 150));
        pictures[n - 1] = jpeg.pixels;
    }
    // Each picture is its dot's settings rendered over the area's shape (through JPEG):
    // close to the final render of that preset at 300 x 150, far from the other's.
    std::vector<uint8_t> renders[2];
    for (int i = 0; i < 2; ++i) {
        const std::string out = StatePath("render" + std::to_string(i) + ".jpg");
        testsupport::RunOk({"render", "-o", out, "--size", "300x150", "--preset", i == 0 ? p1 : p2});
        renders[i] = DecodeFile(out).pixels;
    }
    // (The pictures' JPEG at quality 80 and the renders' own move these fine patterns
    // by about 5 levels on average; the other preset's render is about 90 away.)
    EXPECT_LT(MeanDifference(pictures[1], renders[0]), 8.0);
    EXPECT_LT(MeanDifference(pictures[2], renders[1]), 8.0);
    EXPECT_GT(MeanDifference(pictures[1], renders[1]), 40.0);

    if (!pagecheck::HaveTool("tidy")) GTEST_SKIP() << "tidy is not installed";
    const std::string report = pagecheck::TidyReport(page);
    EXPECT_EQ(report.find("Error:"), std::string::npos) << report;
    if (!pagecheck::HaveTool("chromium")) GTEST_SKIP() << "chromium is not installed";
    EXPECT_EQ(pagecheck::ChromiumImages(page), "15 0");  // 3 pictures and their 12 frame pieces
}

TEST(DialogPages, BatchRefreshRenewsMarkedPresetsAndLeavesTheRestAlone) {
    const std::string folder = StatePath("batch");
    fs::create_directories(folder + "/sub q9q");
    Settings a = FactorySettings(), b = FactorySettings();
    a.zoom = 25;
    b.symmetry = 3;
    b.weave = 1;
    // "c q9q.q1r" finds its done name taken.
    for (const auto& [name, settings] : {std::pair<std::string, Settings>{"a q9q.q1r", a}, {"b q5q.q1r", b},
                                         {"plain.q1r", a}, {"ro q9q.q1r", b}, {"c q9q.q1r", a}, {"c q9q.q5q", b}})
        ASSERT_EQ(SaveSettingsFile(settings, nullptr, (folder + "/" + name).c_str()), noErr) << name;
    ::chmod((folder + "/ro q9q.q1r").c_str(), 0444);
    std::ofstream(folder + "/short q5q.q1r", std::ios::binary) << FileContents(folder + "/plain.q1r").substr(0, 40);
    const std::string untouched[] = {"plain.q1r", "ro q9q.q1r", "short q5q.q1r"};
    std::vector<std::string> before;
    for (const std::string& name : untouched) before.push_back(FileContents(folder + "/" + name));

    const std::string kept = StatePath("kept.q1r");
    EXPECT_EQ(RunDialog("ctrl-click #119; key Ctrl+A; type " + folder + "/plain.q1r; key Enter; click #3", "40x40",
                        {"--save-preset", kept}),
              0);

    // The q9q file is done and renamed; the q5q file keeps its name.
    EXPECT_FALSE(fs::exists(folder + "/a q9q.q1r"));
    const std::string doneA = folder + "/a q9q.q5q", doneB = folder + "/b q5q.q1r";
    // New thumbnails of each preset's own pattern.
    EXPECT_GT(MeanDifference(DecodePresetsThumbnail(ReadAll(doneA)).pixels,
                             DecodePresetsThumbnail(ReadAll(doneB)).pixels),
              10.0);
    for (const auto& [path, settings] : {std::pair{doneA, a}, std::pair{doneB, b},
                                         std::pair{folder + "/c q9q.q1r", a}, std::pair{folder + "/c q9q.q5q", b}}) {
        Settings read = FactorySettings();
        bool thumbnailRead = false;
        EXPECT_EQ(LoadSettingsFile(read, nullptr, path.c_str(), PresetsRead::everything, thumbnailRead), noErr)
            << path;
        EXPECT_EQ(DecodePresetsThumbnail(ReadAll(path)).width, 128) << path;
        EXPECT_EQ(std::tie(read.zoom, read.symmetry, read.weave),
                  std::tie(settings.zoom, settings.symmetry, settings.weave));
    }
    // Read-only, unmarked and unreadable files, and the folder, are as they were.
    for (std::size_t i = 0; i < std::size(untouched); ++i)
        EXPECT_EQ(FileContents(folder + "/" + untouched[i]), before[i]) << untouched[i];
    EXPECT_TRUE(fs::is_directory(folder + "/sub q9q"));
    // The dialog ends with the settings it had before the batch.
    Settings after{};
    bool thumbnailRead = false;
    ASSERT_EQ(LoadSettingsFile(after, nullptr, kept.c_str(), PresetsRead::everything, thumbnailRead), noErr);
    EXPECT_EQ(std::make_pair(after.zoom, after.symmetry), std::make_pair(FactorySettings().zoom, FactorySettings().symmetry));
}
