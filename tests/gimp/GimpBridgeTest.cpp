// The bridge inside a real GIMP, run headless (gimp -i) with a private GIMP folder:
// Script-Fu calls of the registered procedure on PNG files must give what
// "tesselume apply" gives with the same parameters, and failures must come back as
// GIMP error messages while GIMP carries on. GIMP starts slowly, so the checks are
// grouped into two GIMP runs.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Modules.h"
#include "cli/TestImages.h"
#include "pages/PageChecks.h"
#include "support/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace clitest;

// Runs a program with extra environment, its output and errors going to log; never
// on a display or in a GIMP folder of the user's.
int Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& extraEnvironment,
          const std::string& log) {
    std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY -u GIMP2_DIRECTORY";
    for (const auto& [name, value] : extraEnvironment) line += " " + name + "=" + pagecheck::Quoted(value);
    for (const std::string& a : args) line += " " + pagecheck::Quoted(a);
    return pagecheck::Shell(line + " >" + pagecheck::Quoted(log) + " 2>&1");
}

// A copy of the module whose menu name ends in "letter..." instead of "e...", so it
// registers a procedure of its own.
std::string RenamedModule(const std::string& folder, char letter) {
    std::string bytes = FileContents(TESSELUME_MODULE_PATH);
    const std::string name = std::string("\x0c") + "Tesselume...";
    const std::size_t at = bytes.find(name);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) bytes[at + 9] = letter;
    const std::string path = folder + "/Tesselum" + letter + ".8bf";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Script-Fu: load IN, optionally select a rectangle, call the procedure with
// run-mode and values, save the drawable to OUT.
std::string FilterCall(const std::string& procedure, const std::string& in, const std::string& out,
                       const std::string& runMode, const std::vector<int32_t>& values, const std::string& select = "") {
    std::string args;
    for (int32_t v : values) args += " " + std::to_string(v);
    return "(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE " + Quoted(in) + " " + Quoted(in) +
           "))) (drawable (car (gimp-image-get-active-drawable image)))) " + select + "(" + procedure + " " +
           runMode + " image drawable" + args + ") (file-png-save-defaults RUN-NONINTERACTIVE image drawable " +
           Quoted(out) + " " + Quoted(out) + ") (gimp-image-delete image))";
}

std::vector<uint16_t> Samples(const std::string& path) { return clitest::ReadWithLibpng(path).samples; }

TEST(GimpBridge, ScriptFuRunsMatchTheCommandLineAndFailuresLeaveGimpUp) {
    // Procedure names join runs of other characters into one dash.
    EXPECT_EQ(tesselume::gimp::ProcedureName(" Two  Words!", "a.b--C 9"), "plug-in-8bf-two-words-a-b-c-9");
    if (!pagecheck::HaveTool("gimp")) GTEST_SKIP() << "gimp is not installed (Debian package gimp)";
    const std::string root = StatePath("gimp"), extra = root + "/extra-modules";
    fs::create_directories(extra);
    const std::map<std::string, std::string> environment = {
        {"HOME", root + "/home"},           {"XDG_CONFIG_HOME", root + "/config"},
        {"XDG_CACHE_HOME", root + "/cache"}, {"XDG_DATA_HOME", root + "/data"},
        {"TESSELUME_GIMP_MODULES", extra},  {"TESSELUME_UI", "headless"}};

    // --install puts the bridge and the module where GIMP looks for this user's plug-ins.
    ASSERT_EQ(Spawn({BRIDGE_PROGRAM, "--install"}, environment, root + "/install.log"), 0)
        << FileContents(root + "/install.log");
    const fs::path installed = root + "/config/GIMP/2.10/plug-ins/tesselume-gimp";
    EXPECT_TRUE(fs::exists(installed / "tesselume-gimp") && fs::exists(installed / "Tesselume.8bf"));
    EXPECT_NE(FileContents(root + "/install.log").find(installed.string()), std::string::npos);
    const std::string missing = RenamedModule(extra, 'x'), damaged = RenamedModule(extra, 'y');

    // Inputs written by libpng: 8-bit RGB, 16-bit RGB, grey with alpha, and a palette image.
    const filterhost::Image rgb = RampImage(61, 37, 3, 8);
    // No fully transparent pixels: GIMP's PNG export clears their colour by default.
    filterhost::Image grey = RampImage(40, 30, 1, 8, true);
    for (std::size_t i = 1; i < grey.samples.size(); i += 2) grey.samples[i] = uint16_t(1 + grey.samples[i] % 255);
    std::vector<uint16_t> deep(std::size_t(50) * 20 * 3);
    for (std::size_t i = 0; i < deep.size(); ++i) deep[i] = uint16_t(i * 2654435761u >> 16);
    ASSERT_TRUE(clitest::WriteWithLibpng(root + "/rgb8.png", 61, 37, PNG_COLOR_TYPE_RGB, 8, rgb.samples));
    ASSERT_TRUE(clitest::WriteWithLibpng(root + "/grey8a.png", 40, 30, PNG_COLOR_TYPE_GRAY_ALPHA, 8, grey.samples));
    ASSERT_TRUE(clitest::WriteWithLibpng(root + "/rgb16.png", 50, 20, PNG_COLOR_TYPE_RGB, 16, deep));
    ASSERT_TRUE(clitest::WriteWithLibpng(root + "/indexed.png", 8, 8, PNG_COLOR_TYPE_PALETTE, 8,
                                         std::vector<uint16_t>(64, 1), {{0, 0, 0}, {200, 100, 50}}));

    // Factory values except glue (the 5th mode, "lighten"), zoom and symmetry (4-fold).
    const std::vector<int32_t> values = {33, 71, 97, 83, 6,  46, 192, 90, 120, 146, 109, 25, 1, 0, 1, 0, 0, 0,
                                         1,  -58, 0, 100, 1, -7, 0,  100, 1,  -90, 0,  100, 1, 5, 40, 1, 3, 1};
    const std::vector<std::string> cliSets = {"--set", "glue=lighten", "--set", "zoom=40", "--set", "symmetry=4-fold"};
    const std::string procedure = "plug-in-8bf-quillborne-tesselume";
    const std::string listing =
        "(let* ((n (list-ref (gimp-procedural-db-proc-info " + Quoted(procedure) + ") 6))) "
        "(gimp-message (string-append \"ARGS \" (number->string n))) "
        "(let loop ((i 0)) (if (< i n) (let ((arg (gimp-procedural-db-proc-arg " + Quoted(procedure) +
        " i))) (gimp-message (string-append \"ARG \" (number->string (car arg)) \" \" (cadr arg))) (loop (+ i 1))))))";
    const std::vector<int32_t> zeros(36, 0);
    std::vector<int32_t> tooLarge = values;
    tooLarge[32] = 300;

    const auto gimp = [&](const std::vector<std::string>& commands, const std::string& log) {
        std::vector<std::string> args = {"gimp", "-i", "-d", "-f"};
        for (const std::string& command : commands) args.insert(args.end(), {"-b", command});
        args.insert(args.end(), {"-b", "(gimp-quit 0)"});
        return Spawn(args, environment, log);
    };
    const std::string log1 = root + "/gimp1.log";
    EXPECT_EQ(gimp({listing,
                    FilterCall(procedure, root + "/rgb8.png", root + "/gimp-rgb8.png", "RUN-NONINTERACTIVE", values),
                    FilterCall(procedure, root + "/rgb16.png", root + "/gimp-rgb16.png", "RUN-NONINTERACTIVE", values),
                    FilterCall(procedure, root + "/grey8a.png", root + "/gimp-grey8a.png", "RUN-NONINTERACTIVE", values),
                    FilterCall(procedure, root + "/rgb8.png", root + "/gimp-select.png", "RUN-NONINTERACTIVE", values,
                               "(gimp-image-select-rectangle image CHANNEL-OP-REPLACE 10 5 30 20) "),
                    // The last values are the call's: zeros here would be refused (glue 0).
                    FilterCall(procedure, root + "/rgb8.png", root + "/gimp-last.png", "RUN-WITH-LAST-VALS", zeros),
                    FilterCall(procedure, root + "/rgb8.png", root + "/never1.png", "RUN-NONINTERACTIVE", tooLarge),
                    FilterCall(procedure, root + "/indexed.png", root + "/never2.png", "RUN-NONINTERACTIVE", values)},
                   log1),
              0)
        << FileContents(log1);
    const std::string out1 = FileContents(log1);

    // All 36 parameters after run-mode, image and drawable, all INT32 (type 0).
    EXPECT_NE(out1.find("ARGS 39"), std::string::npos) << out1;
    filterhost::ModuleInfo info;
    std::string error;
    ASSERT_TRUE(filterhost::ReadModuleInfo(TESSELUME_MODULE_PATH, info, error)) << error;
    EXPECT_NE(out1.find("ARG 0 run-mode"), std::string::npos);
    for (std::size_t i = 0; i < info.terms.parameters.size(); ++i) {
        std::string name = info.terms.parameters[i].name;
        std::replace(name.begin(), name.end(), ' ', '-');
        EXPECT_NE(out1.find("ARG 0 " + name + "\n"), std::string::npos) << name;
    }

    // The same pixels as the command line. GIMP keeps a 16-bit PNG's samples as
    // they are (16-bit perceptual precision), so 16 bits match exactly too.
    const auto apply = [&](const std::string& in, const std::string& out, std::vector<std::string> more) {
        more.insert(more.begin(), {"apply", in, "-o", out});
        more.insert(more.end(), cliSets.begin(), cliSets.end());
        testsupport::RunOk(more);
    };
    apply(root + "/rgb8.png", root + "/cli-rgb8.png", {});
    apply(root + "/rgb16.png", root + "/cli-rgb16.png", {});
    // GIMP's layer without locked alpha is the protocol's editable transparency; the
    // command line protects it unless told.
    apply(root + "/grey8a.png", root + "/cli-grey8a.png", {"--edit-transparency"});
    apply(root + "/rgb8.png", root + "/cli-select.png", {"--select", "10,5,30,20"});
    const std::vector<uint16_t> gimpRgb8 = Samples(root + "/gimp-rgb8.png");
    EXPECT_NE(gimpRgb8, rgb.samples);
    EXPECT_EQ(gimpRgb8, Samples(root + "/cli-rgb8.png"));
    EXPECT_EQ(Samples(root + "/gimp-rgb16.png"), Samples(root + "/cli-rgb16.png"));
    EXPECT_EQ(Samples(root + "/gimp-grey8a.png"), Samples(root + "/cli-grey8a.png"));
    EXPECT_EQ(Samples(root + "/gimp-last.png"), gimpRgb8);

    // With a selection: the command line's rectangle, whose outside it leaves as it was.
    const std::vector<uint16_t> selected = Samples(root + "/gimp-select.png");
    EXPECT_EQ(selected, Samples(root + "/cli-select.png"));
    EXPECT_NE(selected, rgb.samples);

    // Refusals come back as GIMP error messages and write nothing.
    EXPECT_NE(out1.find("zoom takes 0 to 100, not 300"), std::string::npos) << out1;
    EXPECT_NE(out1.find("does not take indexed images"), std::string::npos) << out1;
    EXPECT_FALSE(fs::exists(root + "/never1.png") || fs::exists(root + "/never2.png"));

    // Modules that went missing or were damaged after GIMP registered them: errors,
    // and GIMP goes on to run the next call.
    fs::remove(missing);
    std::ofstream(damaged, std::ios::trunc) << "not a module";
    const std::string log2 = root + "/gimp2.log";
    EXPECT_EQ(gimp({FilterCall("plug-in-8bf-quillborne-tesselumx", root + "/rgb8.png", root + "/never3.png",
                               "RUN-NONINTERACTIVE", values),
                    FilterCall("plug-in-8bf-quillborne-tesselumy", root + "/rgb8.png", root + "/never4.png",
                               "RUN-NONINTERACTIVE", values),
                    FilterCall(procedure, root + "/rgb8.png", root + "/gimp-after.png", "RUN-NONINTERACTIVE", values)},
                   log2),
              0)
        << FileContents(log2);
    const std::string out2 = FileContents(log2);
    EXPECT_NE(out2.find("No filter module for plug-in-8bf-quillborne-tesselumx"), std::string::npos) << out2;
    EXPECT_NE(out2.find(damaged + " is not a filter module"), std::string::npos) << out2;
    EXPECT_FALSE(fs::exists(root + "/never3.png") || fs::exists(root + "/never4.png"));
    EXPECT_EQ(Samples(root + "/gimp-after.png"), gimpRgb8);
}

}  // namespace
