// The preview in the module's dialog, run headless from a script through a host (CTest
// runs every test in a process of its own): what the dialog's screenshots show in it,
// and how often it asks the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>

#include "dialog/DialogTestSupport.h"
#include "dialog/Preview.h"
#include "support/Screenshot.h"
#include "support/StateFiles.h"

namespace {

using dialogtest::DialogRun;
using filterhost::Descriptor;
using filterhost::Image;
using testsupport::StatePath;

constexpr int kAreaLeft = 326, kAreaTop = 2;  // the image part of control 5

Descriptor NoSmooth() { return {{PIFourCC("0036"), typeBoolean, 0, 0, 0}}; }

// A fully selected sample as the preview shows it: a 16-bit preview weights it by
// 255 / 256 and shows v >> 7.
int Shown(int v, bool deep) { return deep ? std::min((255 * v >> 8) >> 7, 255) : v; }

// The window's pixels in a screenshot equal image pixels from (fromX, fromY) on.
void ExpectWindow(const Screenshot& shot, int left, int top, const Image& image, int fromX, int fromY, int width,
                  int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int p = 0; p < 3; ++p)
                ASSERT_EQ(shot.Pixel(left + x, top + y)[p], Shown(image.At(fromX + x, fromY + y, p), image.depth == 16))
                    << "at " << x << ", " << y << " plane " << p;
}

TEST(PreviewInDialog, AtFullSizeItIsTheFinalRunsWindowAndFollowsADrag) {
    // Fit scale 2. "%" keeps the centre: the 485 x 487 window starts at 108, 67 (half
    // of 700 - 485 and of 620 - 487, rounded down). A drag up and left by (40, 30)
    // moves it 40, 30 further on; a long drag back stops at the top-left corner.
    const std::string a = StatePath("a.png"), b = StatePath("b.png"), c = StatePath("c.png");
    DialogRun run("click #12; screenshot " + a + "; drag #5@200,200 #5@160,170; screenshot " + b +
                  "; drag #5@100,100 #5@400,400; screenshot " + c + "; click #3");
    auto image = RampImage(700, 620, 3, 8);
    ASSERT_EQ(run.Run(image, NoSmooth()).result, noErr);
    for (const auto& [path, fromX, fromY] : {std::tuple{a, 108, 67}, {b, 148, 97}, {c, 0, 0}}) {
        Screenshot shot;
        ASSERT_TRUE(shot.Read(path));
        ExpectWindow(shot, kAreaLeft, kAreaTop, image, fromX, fromY, 485, 487);
    }
}

TEST(PreviewInDialog, AtFitScaleItIsTheRenderingOfTheHostsReducedImage) {
    // A flat pattern colour glued by "multiply" makes the result depend on the source
    // alone, so the preview of the 1000 x 900 image at fit scale 3 must be the module's
    // final run over the image reduced by 3, made here independently; 8-bit, then 16-bit.
    const Descriptor flat = {{PIFourCC("0022"), typeInteger, 0, 0, 0},   {PIFourCC("0026"), typeInteger, 0, 0, 0},
                             {PIFourCC("0030"), typeInteger, 0, 0, 0},   {PIFourCC("0021"), typeInteger, 30, 0, 0},
                             {PIFourCC("0025"), typeInteger, -40, 0, 0}, {PIFourCC("0029"), typeInteger, 10, 0, 0},
                             {PIFourCC("GLUE"), typeEnumerated, 0, PIFourCC("GLty"), PIFourCC("GL09")},
                             {PIFourCC("0036"), typeBoolean, 0, 0, 0}};
    const std::string path[2] = {StatePath("fit8.png"), StatePath("fit16.png")};
    DialogRun run("screenshot " + path[0] + "; click #2; screenshot " + path[1] + "; click #2");
    for (int deep = 0; deep < 2; ++deep) {
        auto image = RampImage(1000, 900, 3, deep ? 16 : 8);
        const Image source = image;
        EXPECT_EQ(run.Run(image, flat).result, userCanceledErr);

        auto reduced = Image::Make(334, 300, 3, false, deep ? 16 : 8, 0);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 334; ++x)
                for (int p = 0; p < 3; ++p) {
                    int sum = 0, count = 0;
                    for (int yy = 3 * y; yy < 3 * y + 3; ++yy)
                        for (int xx = 3 * x; xx < std::min(3 * x + 3, 1000); ++xx, ++count) sum += source.At(xx, yy, p);
                    reduced.At(x, y, p) = uint16_t((sum + count / 2) / count);
                }
        filterhost::Job job;
        job.play = flat;
        ASSERT_EQ(RunJob(reduced, job).result, noErr);

        Screenshot shot;
        ASSERT_TRUE(shot.Read(path[deep]));
        const int left = kAreaLeft + 485 / 2 - 334 / 2, top = kAreaTop + 487 / 2 - 300 / 2;
        ExpectWindow(shot, left, top, reduced, 0, 0, 334, 300);
        EXPECT_EQ(shot.At(left - 1, top), ui::Rgb(255, 255, 255));  // the rest of the area is white
        EXPECT_EQ(shot.At(kAreaLeft - 1, kAreaTop - 1), ui::Rgb(0, 0, 0));  // inside the black frame
    }
}

TEST(PreviewInDialog, ShowsTheCheckerboardWhereTheSelectionIsEmpty) {
    // 8-bit, then 16-bit, whose checkerboard shades 32640 and 26112 are weighted and
    // shown as a selected sample is.
    const int width = 300, height = 200;
    std::vector<uint8_t> mask(std::size_t(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) mask[std::size_t(y * width + x)] = (x + 2 * y) % 97 < 50 ? 255 : 0;
    const std::string path[2] = {StatePath("mask8.png"), StatePath("mask16.png")};
    DialogRun run("screenshot " + path[0] + "; click #3; screenshot " + path[1] + "; click #3");
    for (int deep = 0; deep < 2; ++deep) {
        auto image = RampImage(width, height, 3, deep ? 16 : 8);
        ASSERT_EQ(run.Run(image, NoSmooth(), mask).result, noErr);
        Screenshot shot;
        ASSERT_TRUE(shot.Read(path[deep]));
        const int left = kAreaLeft + 485 / 2 - width / 2, top = kAreaTop + 487 / 2 - height / 2;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const png_byte* seen = shot.Pixel(left + x, top + y);
                const bool light = ((x ^ y) & 8) == 0;
                const int shade = deep ? ((light ? 32640 : 26112) * 255 >> 8) >> 7 : light ? 255 : 204;
                for (int p = 0; p < 3; ++p) {
                    ASSERT_EQ(seen[p], mask[std::size_t(y * width + x)] ? Shown(image.At(x, y, p), deep) : shade)
                        << x << ", " << y;
                }
            }
    }
}

// The interior of a button (inside any focus frame) in a screenshot.
std::vector<ui::Color> ButtonFace(const Screenshot& shot, ui::Rect r) {
    std::vector<ui::Color> face;
    for (int y = r.top + 4; y < r.bottom - 4; ++y)
        for (int x = r.left + 4; x < r.right - 4; ++x) face.push_back(shot.At(x, y));
    return face;
}

TEST(PreviewInDialog, ZoomButtonsStopAtTheLimitsAndEachStepRefreshesOnce) {
    // Fit scale 3. "+" twice reaches 100 % and is then disabled; "-" twice returns to
    // the limit and is then disabled. Presses on a disabled button do nothing. "%"
    // goes straight to 100 %.
    const ui::Rect zoomIn{658, 500, 674, 516}, zoomOut{593, 500, 609, 516};
    const std::string s3 = StatePath("s3.png"), s2 = StatePath("s2.png"), s1 = StatePath("s1.png");
    DialogRun run("screenshot " + s3 + "; click #10; screenshot " + s2 + "; click #10; screenshot " + s1 +
                  "; click #10; click #11; click #11; click #11; click #12; click #2");
    auto image = RampImage(1000, 1400, 3, 8);
    const auto source = image;
    const auto report = run.Run(image, NoSmooth());
    EXPECT_EQ(report.advanceStateCalls, 6);  // the first preview and five zoom steps
    EXPECT_EQ(image.samples, source.samples);  // cancelled at 100 %: the preview stays out of the image

    Screenshot at3, at2, at1;
    ASSERT_TRUE(at3.Read(s3) && at2.Read(s2) && at1.Read(s1));
    EXPECT_NE(ButtonFace(at3, zoomOut), ButtonFace(at2, zoomOut));  // "-" disabled at the limit only
    EXPECT_EQ(ButtonFace(at2, zoomOut), ButtonFace(at1, zoomOut));
    EXPECT_NE(ButtonFace(at1, zoomIn), ButtonFace(at2, zoomIn));    // "+" disabled at 100 % only
    EXPECT_EQ(ButtonFace(at2, zoomIn), ButtonFace(at3, zoomIn));
    // The "%" text; nothing to press where the image fits.
    EXPECT_STREQ(ZoomButtonStates(7, 9, true).percent, "14%");
    const ZoomButtons fits = ZoomButtonStates(1, 1, true);
    EXPECT_FALSE(fits.zoomIn || fits.zoomOut || fits.zoomFull);
}

TEST(PreviewInDialog, RefreshesOncePerAppliedChangeNotPerKeyOrMove) {
    // The same run twice: once confirmed at once, once after typing two digits into a
    // number field and dragging a slider. Each refresh asks the host once.
    DialogRun run("click #3; click #20; type 42; wait 1500; drag #15@10,5 #15@90,5; click #3");
    auto first = RampImage(200, 150, 3, 8), second = first;
    const auto plain = run.Run(first, NoSmooth());
    const auto edited = run.Run(second, NoSmooth());
    EXPECT_EQ(plain.advanceStateCalls, 1 + 150);  // the first preview, then the final run's rows
    EXPECT_EQ(edited.advanceStateCalls - plain.advanceStateCalls, 2);
    EXPECT_NE(first.samples, second.samples);
}

TEST(PreviewInDialog, HostsWithoutReducedImagesGetFullSizeOrNoPreview) {
    // Without sampling the preview shows the top-left pixels at 100 % and the zoom
    // buttons do nothing; without displayPixels the dialog asks for no preview at all.
    filterhost::HostOptions noSampling;
    noSampling.samplingSupport = hostDoesNotSupportSampling;
    const std::string path = StatePath("full.png");
    DialogRun run("screenshot " + path + "; click #11; click #12; click #3; click #3", noSampling);
    auto image = RampImage(700, 620, 3, 8);
    EXPECT_EQ(run.Run(image, NoSmooth()).advanceStateCalls, 1 + 620);
    Screenshot shot;
    ASSERT_TRUE(shot.Read(path));
    ExpectWindow(shot, kAreaLeft, kAreaTop, image, 0, 0, 485, 487);

    run.host->Options().samplingSupport = hostSupportsIntegralSampling;
    run.host->Options().displayPixels = false;
    auto again = RampImage(700, 620, 3, 8);
    const auto report = run.Run(again, NoSmooth());
    EXPECT_EQ(report.advanceStateCalls, 620);
    EXPECT_EQ(report.displayPixelsCalls, 0);
}

}  // namespace
