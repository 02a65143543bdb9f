// The dialog's buttons and memory dots through the real module: the tesselume program
// runs the dialog headless from a script, and what it leaves behind is read back.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/DialogTestSupport.h"
#include "files/FilesTestSupport.h"
#include "settings/Parameters.h"
#include "settings/PresetsFile.h"
#include "support/RunProgram.h"

namespace {

namespace fs = std::filesystem;

using testsupport::FileContents;
std::string Here(const std::string& name) { return testsupport::StatePath(name); }

// Starts the program with the dialog script; each run logs under its own name.
pid_t Start(const std::vector<std::string>& args, const std::string& script, const std::string& log = "std") {
    const testsupport::Script steps(script);
    // Read only by the sanitizer build's program: the font libraries its dialogs load
    // keep a few blocks to the end (the about box alone shows them); the dots' and
    // dice's own code is leak-checked in this process by the table tests.
    const testsupport::ScopedEnv leaks("ASAN_OPTIONS", "detect_leaks=0");
    return testsupport::StartProgram(args, log);
}
using testsupport::WaitProgram;

// A dialog run over a small canvas, confirmed by the script's last step.
void RunDialog(const std::string& script, const std::string& output = "out.png",
               const std::string& preset = "") {
    std::vector<std::string> args = {"render", "-o", Here(output), "--size", "48x32", "--dialog"};
    if (!preset.empty()) args.insert(args.end(), {"--save-preset", Here(preset)});
    ASSERT_EQ(WaitProgram(Start(args, script)), 0) << script;
}

// Script steps that save the dialog's current settings as a preset, with no undo snapshot.
std::string SaveAs(const std::string& name) { return "click #6; key Ctrl+A; type " + Here(name) + "; key Enter; "; }

Settings ReadHere(const std::string& name) {
    Settings s = FactorySettings();
    bool thumbnailRead = false;
    EXPECT_EQ(LoadSettingsFile(s, nullptr, Here(name).c_str(), PresetsRead::everything, thumbnailRead), noErr) << name;
    return s;
}

// The parameters that differ, each checked against its range on the way.
std::set<std::string> Changed(const Settings& before, const Settings& after) {
    std::set<std::string> names;
    for (const ParameterInfo& p : kParameters) {
        EXPECT_GE(after.*p.field, p.minimum) << p.name;
        EXPECT_LE(after.*p.field, p.maximum) << p.name;
        if (after.*p.field != before.*p.field) names.insert(std::string(p.name));
    }
    return names;
}

bool Within(const std::set<std::string>& changed, const std::set<std::string>& owned) {
    return std::includes(owned.begin(), owned.end(), changed.begin(), changed.end());
}

const std::set<std::string> kDiceOwns = {
    "amount 11", "amount 12", "amount 21", "amount 22", "amount 31", "amount 32", "mixer 1", "mixer 2",
    "mixer 3", "sharpness 1", "sharpness 2", "sharpness 3", "invert 1", "invert 2", "invert 3", "zoom",
    "sharpness", "smooth", "symmetry", "mirror", "weave", "glue"};
const std::set<std::string> kColourDiceOwns = {"red phase",     "green phase",     "blue phase",
                                               "red shift",     "green shift",     "blue shift",
                                               "red amplitude", "green amplitude", "blue amplitude"};

TEST(DialogButtons, DiceResetsFactoryAndUndoThroughTheModule) {
    // A fresh state folder: the dialog opens with the factory settings.
    RunDialog("click #69; " + SaveAs("dice") + "click #50; " + SaveAs("density") + "click #70; " +
                  SaveAs("undo1") + "click #70; " + SaveAs("undo2") + "click #3");
    const Settings dice = ReadHere("dice.q1r"), density = ReadHere("density.q1r");
    const std::set<std::string> byDice = Changed(FactorySettings(), dice);
    EXPECT_FALSE(byDice.empty());
    EXPECT_TRUE(Within(byDice, kDiceOwns));
    // The preview's render start sets every channel's cycles to the density.
    EXPECT_TRUE(Within(Changed(dice, density), {"density", "red cycles", "green cycles", "blue cycles"}));
    EXPECT_LE(density.density, 25);
    // Undo returns to before the last change; Undo again to before the first Undo.
    EXPECT_TRUE(Changed(dice, ReadHere("undo1.q1r")).empty());
    EXPECT_TRUE(Changed(density, ReadHere("undo2.q1r")).empty());

    // The next run opens with the confirmed settings.
    RunDialog("click #47; click #49; " + SaveAs("colours") + "click #48; click #7; " + SaveAs("reset") +
                  "click #115; click #3",
              "out.png", "factory.q1r");
    const Settings colours = ReadHere("colours.q1r"), reset = ReadHere("reset.q1r");
    const std::set<std::string> byColourDice = Changed(density, colours);
    EXPECT_FALSE(byColourDice.empty());
    EXPECT_TRUE(Within(byColourDice, kColourDiceOwns));
    for (auto [shift, amplitude] : {std::pair{colours.redShift, colours.redAmplitude},
                                    {colours.greenShift, colours.greenAmplitude},
                                    {colours.blueShift, colours.blueAmplitude}})
        EXPECT_EQ(amplitude + std::abs(shift), 100);
    EXPECT_TRUE(Within(Changed(colours, reset), kColourDiceOwns));
    EXPECT_EQ(reset.redPhase | reset.greenPhase | reset.bluePhase | reset.redShift | reset.greenShift | reset.blueShift,
              0);
    EXPECT_EQ(reset.redAmplitude & reset.greenAmplitude & reset.blueAmplitude, 100);

    // Factory brings back every factory value (PresetsFile.FactorySettingsAreWritten...
    // checks those values against the numbers a factory presets file must hold).
    EXPECT_TRUE(Changed(FactorySettings(), ReadHere("factory.q1r")).empty());
}

TEST(DialogButtons, APinnedDotOutlivesTheProcessAndRendersLikeItsPreset) {
    // Run 0 leaves random settings R0 cached; run 1 opens with R0 (auto-stored in the
    // free dot 0), throws R1 into dot 4 (pinned) and ends on factory settings.
    RunDialog("click #69; click #3", "out.png", "r0.q1r");
    RunDialog("click #69; " + SaveAs("r1") + "click #125; click #115; click #3");
    EXPECT_TRUE(Changed(ReadHere("r0.q1r"), ReadHere("Tesselume memory dot 0.q1r")).empty());
    MemoryDotPins pins{};
    ASSERT_EQ(LoadMemoryDotMap(pins), noErr);
    EXPECT_EQ(pins.pinned[4], 1);
    EXPECT_EQ(pins.pinned[0], 0);

    // Run 2, a new process: dot 4 is there; recalling it and pressing OK renders what
    // --preset of its file renders.
    RunDialog("click #125; click #3", "recalled.png");
    const std::string dot4 = "Tesselume memory dot 4.q1r";
    EXPECT_TRUE(Changed(ReadHere("r1.q1r"), ReadHere(dot4)).empty());
    // The unpinned dot 0 was reused for the settings run 2 opened with (factory).
    EXPECT_TRUE(Changed(FactorySettings(), ReadHere("Tesselume memory dot 0.q1r")).empty());

    ASSERT_EQ(WaitProgram(Start({"render", "-o", Here("preset.png"), "--size", "48x32", "--preset", Here(dot4)}, "")), 0);
    const std::string recalled = FileContents(Here("recalled.png")), preset = FileContents(Here("preset.png"));
    EXPECT_FALSE(recalled.empty());
    EXPECT_TRUE(recalled == preset);
}

TEST(DialogButtons, TwentyPairsOfConcurrentRunsLeaveEveryStateFileReadable) {
    std::set<int> clicked;
    for (int pair = 0; pair < 20; ++pair) {
        pid_t runs[2];
        for (int side = 0; side < 2; ++side) {
            const int dot = 1 + (2 * pair + side) % 24;
            clicked.insert(dot);
            runs[side] = Start({"render", "-o", Here("pair" + std::to_string(side) + ".png"), "--size", "32x32",
                                "--dialog"},
                               "click #69; click #" + std::to_string(121 + dot) + "; click #49; click #3",
                               "run" + std::to_string(side));
        }
        for (pid_t run : runs) ASSERT_EQ(WaitProgram(run), 0) << "pair " << pair;

        MemoryDotPins pins{};
        ASSERT_EQ(LoadMemoryDotMap(pins), noErr) << "pair " << pair;
        // Each run kept the pins of the other, saved while it was open.
        for (int dot : clicked) {
            EXPECT_EQ(pins.pinned[dot], 1) << "pair " << pair << " dot " << dot;
            EXPECT_TRUE(fs::exists(Here("Tesselume memory dot " + std::to_string(dot) + ".q1r"))) << dot;
        }
        for (const auto& entry : fs::directory_iterator(Here(""))) {
            const std::string name = entry.path().filename().string();
            EXPECT_NE(name[0], '.') << "left behind: " << name;
            if (name.starts_with("Tesselume") && name.find("map") == std::string::npos) ReadHere(name);  // loads
        }
    }
}

}  // namespace
