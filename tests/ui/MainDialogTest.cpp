// The main dialog through the real module, headless and scripted: the tesselume
// program with --dialog, and filterhost driving the module directly.

#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "dialog/ControlTable.h"
#include "dialog/DialogTestSupport.h"
#include "files/FilesTestSupport.h"
#include "platform/ui/Template.h"
#include "support/RunProgram.h"
#include "support/Screenshot.h"

namespace {

using dialogtest::DialogRun;
using testsupport::Script;
using testsupport::FileContents;
using testsupport::RunOk;
using testsupport::RunProgram;
using testsupport::StatePath;

// The first column of a slider's knob: the first dark pixel along its middle row
// (the track is light, the knob's rim dark).
int KnobLeft(const Screenshot& shot, int id) {
    const ui::Rect r = ControlLayout(id);
    for (int x = r.left; x < r.right; ++x) {
        const png_byte* p = shot.Pixel(x, r.top + 5);
        if (p[0] * 3 + p[1] * 6 + p[2] < 1000) return x;
    }
    return -1;
}

std::string Input() {
    const std::string path = StatePath("in.png");
    RunOk({"render", "-o", path, "--size", "96x64"});
    return path;
}

TEST(MainDialog, TemplateAndControlTableAgree) {
    auto host = LoadModule();
    const filterhost::Resource* dialog = nullptr;
    for (const filterhost::Resource& resource : host->Resources())
        if (resource.name == "DISSOLVESANSPARAM") dialog = &resource;
    ASSERT_NE(dialog, nullptr);
    ui::DialogTemplate parsed;
    ASSERT_TRUE(ui::ParseTemplate(dialog->bytes, parsed));
    EXPECT_EQ(parsed.controls.size(), 109u);
    for (const ui::ControlTemplate& control : parsed.controls) {
        EXPECT_FALSE(ControlLayout(control.id).Empty()) << control.id;
        const std::int32_t kind = DescribeControl(control.id).kind;
        const bool painted = control.controlClass == ui::ControlClass::Static && (control.style & ui::kStyleHidden);
        const bool paintedKind =
            kind == kKindSlider || kind == kKindLabel || kind == kKindMemoryDot || kind == kKindExtraDot;
        EXPECT_TRUE(!paintedKind || painted) << control.id;
        const std::map<std::int32_t, ui::ControlClass> standard = {{kKindNumberField, ui::ControlClass::Edit},
                                                                   {kKindSwitch, ui::ControlClass::CheckBox},
                                                                   {kKindDropDownList, ui::ControlClass::ComboBox}};
        if (const auto found = standard.find(kind); found != standard.end()) {
            EXPECT_EQ(control.controlClass, found->second) << control.id;
        }
    }
    // Every slider and its number field name each other; labels carry their texts.
    for (const int id : TransferOrder()) {
        const ControlDescriptor slider = DescribeControl(id);
        if (slider.kind != kKindSlider) continue;
        EXPECT_EQ(DescribeControl(slider.editId).kind, kKindNumberField);
        EXPECT_EQ(DescribeControl(slider.editId).partnerId, id);
    }
    EXPECT_EQ(LabelText(DescribeControl(23).labelNumber), "Mixer 1");
    EXPECT_EQ(LabelText(DescribeControl(76).labelNumber), "Symmetry");
    EXPECT_EQ(LabelText(1), "-undef string-");
}

TEST(MainDialog, EditsRenderAsSetAndSlidersAndNumberFieldsHoldToTheirRanges) {
    const std::string in = Input(), typed = StatePath("typed.png"), set = StatePath("set.png");
    {
        // Next glue wraps from the last mode to the first.
        Script script("click #80; click #20; key Ctrl+A; type 42; click #3");
        RunOk({"apply", in, "-o", typed, "--set", "glue=GL62", "--dialog", "--record", StatePath("typed.txt")});
    }
    RunOk({"apply", in, "-o", set, "--set", "mixer 1=42", "--record", StatePath("set.txt")});  // and glue GL01
    EXPECT_EQ(FileContents(StatePath("typed.txt")), FileContents(StatePath("set.txt")));
    EXPECT_EQ(FileContents(typed), FileContents(set));

    const std::string shot = StatePath("sliders.png");
    // Both drags end over other controls: the pressed slider still takes the value.
    Script script("drag #15 #3; drag #17 #54; click #21; key Ctrl+A; type 250; click #32; key Ctrl+A; type abc;"
                  "click #30; key Ctrl+A; type x; screenshot " + shot + "; click #3");
    RunOk({"apply", in, "-o", StatePath("out.png"), "--dialog", "--record", StatePath("steps.txt")});
    // Mixer 1 dragged past its right end, sharpness 1 past its left end, 250 typed into
    // amount 12, letters into mixer 2 and into amount 21, whose minimum is 1.
    RunOk({"apply", in, "-o", set, "--record", StatePath("set.txt"), "--set", "mixer 1=100", "--set",
           "sharpness 1=0", "--set", "amount 12=200", "--set", "mixer 2=0", "--set", "amount 21=1"});
    EXPECT_EQ(FileContents(StatePath("steps.txt")), FileContents(StatePath("set.txt")));

    // The knob starts 1 pixel inside the track at the minimum, and 14 pixels short of
    // its right end at the maximum.
    Screenshot png;
    ASSERT_TRUE(png.Read(shot));
    ASSERT_EQ(std::pair(png.image.width, png.image.height), std::pair(834u, 740u));
    EXPECT_NEAR(KnobLeft(png, 17), ControlLayout(17).left + 1, 1);
    EXPECT_NEAR(KnobLeft(png, 15), ControlLayout(15).right - 14, 1);
    EXPECT_NEAR(KnobLeft(png, 22), ControlLayout(22).right - 14, 1);  // follows the typed 250 at once
}

TEST(MainDialog, LogoOpensTheAboutBoxOnRelease) {
    const std::string about = StatePath("about.png"), main = StatePath("main.png");
    // Pressed on the logo and released over the preview: the release acts.
    Script script("drag #54 #5; screenshot " + about + "; click #5; screenshot " + main + "; click #2");
    const auto outcome = RunProgram({"apply", Input(), "-o", StatePath("out.png"), "--dialog"});
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_NE(outcome.err.find("cancelled"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(StatePath("out.png")));
    Screenshot aboutShot, mainShot;
    ASSERT_TRUE(aboutShot.Read(about) && mainShot.Read(main));
    EXPECT_LT(aboutShot.image.width, 834u);
    EXPECT_EQ(mainShot.image.width, 834u);
}

TEST(MainDialog, CancelLeavesTheImageAndTheParametersAsTheyWere) {
    // Many changes, then Cancel; the steps after it play into the next run's dialog.
    DialogRun run("drag #15 #3; click #20; key Ctrl+A; type 7; wait 1500; click #80; click #56; drag #72 #2;"
                  "click #2; click #3");
    filterhost::Image image = RampImage(48, 32, 3, 8);
    const filterhost::Image before = image;
    // What the filter renders with its factory settings, before any dialog ran.
    filterhost::Image expected = before;
    filterhost::Job factory;
    factory.play = filterhost::Descriptor{};
    ASSERT_EQ(RunJob(expected, factory).result, noErr);

    EXPECT_EQ(run.Run(image).result, userCanceledErr);
    EXPECT_EQ(image.samples, before.samples);
    // Confirmed at once, the next run renders the settings the cancelled one began with.
    const filterhost::RunReport confirmed = run.Run(image);
    ASSERT_EQ(confirmed.result, noErr);
    EXPECT_EQ(image.samples, expected.samples);
    ASSERT_TRUE(confirmed.recorded);
    EXPECT_EQ(confirmed.recorded->size(), 36u);
}

TEST(MainDialog, SaveThenLoadRestoresEveryParameterAndWritesAThumbnail) {
    const std::string in = Input(), preset = StatePath("mine.q1r");
    const std::vector<std::string> settings = {"--set", "glue=GL17",       "--set", "symmetry=4-fold",
                                               "--set", "mixer 3=12",      "--set", "zoom=70",
                                               "--set", "invert 2=on",     "--set", "amount 32=180"};
    std::vector<std::string> withDialog = {"apply", in, "-o", StatePath("loaded.png"), "--dialog", "--record",
                                           StatePath("loaded.txt")};
    withDialog.insert(withDialog.end(), settings.begin(), settings.end());
    std::vector<std::string> direct = {"apply", in, "-o", StatePath("direct.png"), "--record", StatePath("direct.txt")};
    direct.insert(direct.end(), settings.begin(), settings.end());
    {
        Script script("click #6; key Ctrl+A; type " + preset + "; key Enter; drag #15 #54; click #80; click #74;"
                      "drag #72 #3; click #8; key Ctrl+A; type " + preset + "; key Enter; click #3");
        RunOk(withDialog);
    }
    RunOk(direct);
    EXPECT_EQ(FileContents(StatePath("loaded.txt")), FileContents(StatePath("direct.txt")));
    EXPECT_EQ(FileContents(StatePath("loaded.png")), FileContents(StatePath("direct.png")));

    // Save renewed the thumbnail: a pattern, not a blank square.
    const LibjpegImage jpeg = DecodePresetsThumbnail(ReadAll(preset));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.width * 1000 + jpeg.height, 128128);
    const auto [low, high] = std::minmax_element(jpeg.pixels.begin(), jpeg.pixels.end());
    EXPECT_GT(int(*high) - int(*low), 64);
}

TEST(MainDialog, PresetsPageButtonWritesThePageOfTheChosenFolder) {
    const std::string folder = StatePath("page presets"), page = StatePath("dialog page.html");
    std::filesystem::create_directories(folder);
    // Save a preset (with its thumbnail), then make a page of its folder; Cancel.
    Script script("click #6; key Ctrl+A; type " + folder + "/mine.q1r; key Enter; click #150; key Ctrl+A; type " +
                  folder + "/mine.q1r; key Enter; key Ctrl+A; type " + page + "; key Enter; click #2");
    EXPECT_EQ(RunProgram({"render", "--size", "64x64", "-o", StatePath("unused.png"), "--dialog"}).exitCode, 3);
    EXPECT_NE(FileContents(page).find("Tesselume presets from page presets<br>"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(StatePath("web_images/mine.jpg")));
}

}  // namespace
