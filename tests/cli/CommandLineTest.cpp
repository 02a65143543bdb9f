// The tesselume program run for real, on files in the test's state folder. The
// checks hold whatever pattern the module paints: shapes, depths, profiles, the
// pixels outside the selection, and replays against recordings.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ImageFiles.h"
#include "TestImages.h"
#include "support/Environment.h"
#include "support/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace clitest;
using namespace testsupport;
using tesselume::ImageFile;

// Checks that every pixel outside inside(x, y) has the same samples in both files
// (the file's own 16-bit values where it has them).
template <class Inside>
void ExpectSameOutside(const ImageFile& a, const ImageFile& b, Inside inside) {
    const std::vector<uint16_t>& as = a.fileSamples.empty() ? a.image.samples : a.fileSamples;
    const std::vector<uint16_t>& bs = b.fileSamples.empty() ? b.image.samples : b.fileSamples;
    ASSERT_EQ(as.size(), bs.size());
    const int32_t planes = a.image.Planes(), width = a.image.width;
    for (std::size_t i = 0; i < as.size(); ++i) {
        const int32_t pixel = int32_t(i) / planes;
        ASSERT_TRUE(inside(pixel % width, pixel / width) || as[i] == bs[i])
            << "at " << pixel % width << "," << pixel / width << " plane " << i % planes;
    }
}

TEST(CommandLine, RenderMakesTheCanvasAskedFor) {
    const std::string standard = StatePath("pattern.png"), deep = StatePath("deep.tif");
    EXPECT_EQ(RunOk({"render", "-o", standard}).err, "");  // no progress bar when stderr is no terminal
    EXPECT_EQ(Shape(Load(standard).image), std::make_tuple(1024, 768, 3, false, 8));
    RunOk({"render", "--output=" + deep, "--size", "40x30", "--depth", "16", "--grey", "--set", "zoom=9"});
    EXPECT_EQ(Shape(Load(deep).image), std::make_tuple(40, 30, 1, false, 16));
}

TEST(CommandLine, MaskLeavesUnselectedPixelsByteIdentical) {
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        Save(StatePath("masked-in.png"), RampImage(40, 30, 3, depth));
        // A soft-edged blob off centre, as a 16-bit mask for the 16-bit case.
        filterhost::Image mask = filterhost::Image::Make(40, 30, 1, false, depth, 0);
        auto selected = [](int32_t x, int32_t y) { return (x - 25) * (x - 25) + (y - 11) * (y - 11) < 60; };
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 40; ++x)
                if (selected(x, y)) mask.At(x, y, 0) = uint16_t((depth == 16 ? 32768 : 255) * (x % 3 + 1) / 3);
        Save(StatePath("mask.png"), mask);
        RunOk({"apply", StatePath("masked-in.png"), "-o", StatePath("masked-out.png"), "--mask", StatePath("mask.png")});
        const ImageFile in = Load(StatePath("masked-in.png")), out = Load(StatePath("masked-out.png"));
        ExpectSameOutside(in, out, selected);
        // The filter did act where the mask selects: most selected pixels changed.
        int32_t inside = 0, changed = 0;
        for (int32_t i = 0; i < 40 * 30; ++i)
            if (selected(i % 40, i / 40)) {
                const auto pixel = in.image.samples.begin() + 3 * i;
                ++inside;
                changed += !std::equal(pixel, pixel + 3, out.image.samples.begin() + 3 * i);
            }
        EXPECT_GT(changed, inside / 2) << "of " << inside << " selected pixels";
    }
}

// The program streams rows from the input through the filter into the output; the
// same bytes must come out as from the whole image read, filtered in memory and
// written, with the depth, channels and profile kept and the pixels outside the
// selection as they were. An interlaced PNG (made by ImageMagick where it is
// installed) is read whole by its reader, then streamed the same way.
TEST(CommandLine, ApplyStreamsTheWholeImagePathsBytesKeepingShapeProfileAndUnselectedPixels) {
    std::vector<std::tuple<std::string, std::string, filterhost::Image>> cases = {
        {"rgba8.png", "rgba8-out.png", RampImage(37, 23, 3, 8, true)},
        {"grey16.png", "grey16-out.png", RampImage(29, 31, 1, 16)},
        {"rgb16.tif", "rgb16-out.png", RampImage(21, 19, 3, 16)},
        {"greyalpha8.tif", "greyalpha8-out.tif", RampImage(18, 12, 1, 8, true)},
        {"photo.jpg", "photo-out.png", RampImage(24, 16, 3, 8)},
        {"photo.jpg", "photo-out.jpg", RampImage(24, 16, 3, 8)},
    };
    for (const auto& [inName, outName, image] : cases) Save(StatePath(inName), image, TestProfile(image.colourPlanes == 3));
    if (std::system(("convert " + StatePath("rgba8.png") + " -interlace PNG -define png:exclude-chunks=date,time " +
                     StatePath("laced.png") + " 2>/dev/null").c_str()) == 0)
        cases.emplace_back("laced.png", "laced-out.png", std::get<2>(cases[0]));
    else
        std::fprintf(stderr, "ImageMagick's convert is missing: no interlaced PNG case\n");
    for (const auto& [inName, outName, image] : cases) {
        SCOPED_TRACE(outName);
        const std::string in = StatePath(inName), out = StatePath(outName), whole = StatePath("whole-" + outName);
        RunOk({"apply", in, "-o", out, "--select", "3,4,10,5"});
        ImageFile file = Load(in);
        const ImageFile result = Load(out);
        EXPECT_EQ(Shape(result.image), Shape(image));
        // (ImageMagick leaves the profile out of the interlaced copy.)
        EXPECT_EQ(result.iccProfile, inName == "laced.png" ? file.iccProfile : TestProfile(image.colourPlanes == 3));
        if (!outName.ends_with(".jpg"))
            ExpectSameOutside(file, result, [](int32_t x, int32_t y) { return x >= 3 && x < 13 && y >= 4 && y < 9; });

        filterhost::Job job;
        job.play = filterhost::Descriptor{};
        job.filterRect = Rect{4, 3, 9, 13};
        job.iccProfile = file.iccProfile;
        job.protectTransparency = file.image.transparency;
        std::string error;
        ASSERT_EQ(LoadModule()->Run(file.image, job, error).result, noErr) << error;
        ASSERT_TRUE(tesselume::WriteImageFile(whole, *tesselume::FormatForPath(whole), file, error)) << error;
        EXPECT_EQ(FileContents(out), FileContents(whole));
    }
}

TEST(CommandLine, PresetsCarryParametersBetweenRuns) {
    // The factory settings as a run without --set records them (their values in a
    // saved file: the presets file tests).
    const std::string factoryRecord = StatePath("factory.txt");
    RunOk({"render", "-o", StatePath("factory.png"), "--size", "8x8", "--record", factoryRecord});

    // Saved after --set, the preset holds those values; the preset and the recording
    // each reproduce the run exactly, and record the same steps again.
    const std::string first = StatePath("first.png"), again = StatePath("again.png"), preset = StatePath("mine.q1r");
    const std::string recording = StatePath("first.txt"), rerecorded = StatePath("again.txt");
    RunOk({"render", "-o", first, "--size", "64x48", "--set", "zoom=40", "--set", "glue=screendim", "--set",
           "mixer 2=12", "--set", "symmetry=5-fold", "--set", "mirror=on", "--save-preset", preset, "--record",
           recording});
    const std::string text = FileContents(recording);
    for (const char* line : {"0033 long 40", "0002 long 12", "GLUE enum GLty GL62", "SYky enum SYty SY04",
                             "0016 bool true"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    for (const auto& [option, file] : {std::pair<std::string, std::string>{"--preset", preset}, {"--play", recording}}) {
        SCOPED_TRACE(option);
        RunOk({"render", "-o", again, "--size", "64x48", option, file, "--record", rerecorded});
        EXPECT_EQ(FileContents(again), FileContents(first));
        EXPECT_EQ(FileContents(rerecorded), text);
    }

    // Command-line order decides: a later --set wins over the preset, an earlier one loses.
    RunOk({"render", "-o", again, "--size", "8x8", "--preset", preset, "--set", "zoom=70", "--record", rerecorded});
    EXPECT_NE(FileContents(rerecorded).find("0033 long 70"), std::string::npos);
    EXPECT_NE(FileContents(rerecorded).find("GLUE enum GLty GL62"), std::string::npos);
    RunOk({"apply", StatePath("factory.png"), "-o", again, "--set", "zoom=70", "--preset", preset, "--record",
           rerecorded});
    EXPECT_NE(FileContents(rerecorded).find("0033 long 40"), std::string::npos);

    // Cut after mixer 3, the file still loads; every later parameter has its factory value.
    const std::string cut = StatePath("cut.q1r");
    std::ofstream(cut, std::ios::binary) << FileContents(preset).substr(0, 16);
    RunOk({"render", "-o", again, "--size", "8x8", "--preset", cut, "--record", rerecorded});
    std::string expected = FileContents(factoryRecord);
    expected.replace(expected.find("0002 long 71 "), 12, "0002 long 12");
    EXPECT_EQ(FileContents(rerecorded), expected);
}

TEST(CommandLine, CtrlCOrAWriteFailingMidwayLeavesNoOutputFile) {
    const std::string output = StatePath("interrupted.png");
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(TESSELUME_PROGRAM, TESSELUME_PROGRAM, "render", "-o", output.c_str(), "--size", "4000x4000",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait for the progress bar, which shows the run is under way, then press Ctrl-C.
    std::string seen;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    char buffer[256];
    while (seen.find('%') == std::string::npos && std::chrono::steady_clock::now() < giveUp) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        seen.append(buffer, std::size_t(got));
    }
    EXPECT_NE(seen.find('%'), std::string::npos) << seen;
    kill(pid, SIGINT);
    std::thread drain([master] {
        char rest[256];
        while (read(master, rest, sizeof rest) > 0) {
        }
    });
    EXPECT_EQ(testsupport::WaitProgram(pid), 130);
    drain.join();
    close(master);
    ExpectNoFileStartingWith({"interrupted.png", ".interrupted.png"});

    // The encoder thread failing part-way (a file size limit: writes fail as on a full
    // disk) fails the run with the encoder's error and leaves no file behind.
    for (const std::string name : {"full.png", "full.tif"}) {
        SCOPED_TRACE(name);
        const std::string output = StatePath(name), err = StatePath("full-err.txt");
        // 64 blocks of 512 bytes; the encoded image is about 25 times that.
        const std::string command = "sh -c \"trap '' XFSZ; ulimit -f 64; exec " + std::string(TESSELUME_PROGRAM) +
                                    " render --size 1024x1024 -o " + output + " 2>" + err + "\"";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_EQ(FileContents(err).rfind("tesselume: cannot write " + output + ": ", 0), 0u) << FileContents(err);
    }
    ExpectNoFileStartingWith({"full.", ".full."});
}

// export-psd writes the document the module exports; the progress window's Cancel,
// before the job starts or once it runs, leaves no file and no temporary behind.
// Ctrl-C once while it runs: the module completes its document, the program removes
// it. Twice: the second ends the program at once, and the private folder the module
// writes in goes with its contents. Either way nothing is left.
TEST(CommandLine, ExportPsdWritesTheDocumentOrNothing) {
    const std::string psd = StatePath("pattern.psd");
    RunOk({"export-psd", "-o", psd, "--size", "40x30", "--depth", "16", "--set", "glue=screen"});
    const std::string bytes = FileContents(psd);
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(22, 4), std::string("8BPS\x00\x10\x00\x03", 8));  // 16 bits, RGB

    for (const char* script : {"click #4", "wait 1000; click #4"}) {
        SCOPED_TRACE(script);
        const testsupport::Script steps(script);
        const Outcome outcome = RunProgram({"export-psd", "-o", StatePath("cancelled.psd")});
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_EQ(outcome.err, "tesselume: cancelled; " + StatePath("cancelled.psd") + " not written\n");
    }
    ExpectNoFileStartingWith({"cancelled.psd", ".cancelled.psd"});

    for (const int signals : {1, 2}) {
        SCOPED_TRACE(signals);
        const pid_t pid =
            testsupport::StartProgram({"export-psd", "-o", StatePath("stopped.psd"), "--size", "2000x2000"});
        ASSERT_GT(pid, 0);
        // The module's own temporary in the program's folder shows that the export runs.
        bool running = false;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!running && std::chrono::steady_clock::now() < giveUp) {
            std::error_code ignored;
            for (const fs::directory_entry& folder : fs::directory_iterator(StatePath(""), ignored))
                if (folder.path().filename().string().starts_with(".stopped.psd."))
                    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path(), ignored))
                        running |= entry.path().filename().string().starts_with(".stopped.psd.");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(running);
        for (int i = 0; i < signals; ++i) {
            kill(pid, SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(testsupport::WaitProgram(pid), 130);
        ExpectNoFileStartingWith({"stopped.psd", ".stopped.psd"});
    }
}

// The dialog's PSD button (117): the save dialog, then the export under the progress
// window; cancelled there while it runs, the document is completed from the rows
// rendered; a name that cannot be written (a pipe) brings the alert. Every way the
// dialog goes on to its OK (3).
TEST(CommandLine, ThePsdButtonExportsAndTheDialogGoesOn) {
    const std::string pipe = StatePath("button-pipe.psd"), alert = StatePath("button-alert.png");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& psd : {StatePath("button.psd"), StatePath("button-cancelled.psd"), pipe}) {
        SCOPED_TRACE(psd);
        // The job starts at the window's one-second timer and takes no time on the
        // headless clock: a click due then lands in the progress window while the job
        // runs, a click after a further wait in the main dialog once it is over. The
        // alert comes at once when the file cannot be opened.
        const std::string then = psd == pipe ? "screenshot " + alert + "; click #1; "
                                 : psd.ends_with("cancelled.psd") ? "click #4; "
                                                                   : "";
        const std::string script = "click #117; type " + psd + "; key Enter; wait 1000; " + then + "wait 10; click #3";
        const testsupport::Script steps(script);
        RunOk({"render", "--dialog", "-o", StatePath("button.png"), "--size", "48x32"});
        EXPECT_TRUE(fs::exists(StatePath("button.png")));
        if (psd != pipe) {
            EXPECT_EQ(FileContents(psd).substr(0, 4), "8BPS");
        }
    }
    // The window on top was the alert, far smaller than the main dialog.
    EXPECT_LT(clitest::ReadWithLibpng(alert).width, 500u);
    EXPECT_TRUE(fs::is_fifo(pipe));
    ExpectNoFileStartingWith({".button-cancelled.psd", ".button.psd", ".button-pipe.psd"});
}

TEST(CommandLine, BadInputGetsOneLineAndAnExitCode) {
    const std::string image = StatePath("good.png"), o = StatePath("o.png");
    Save(image, RampImage(16, 12, 3, 8, true));
    const std::string original = FileContents(image);
    std::ofstream(StatePath("notes.txt")) << "no image here";
    for (const auto& [name, text] : {std::pair<const char*, const char*>{"bad-play.txt", "0033 long 12\n0034 bool perhaps\n"},
                                     {"far.txt", "0033 long 1000\n"},
                                     {"typed.txt", "0016 long 1\n"},
                                     {"unknown.txt", "ZZZZ long 1\n"}})
        std::ofstream(StatePath(name)) << text;
    std::string noise(1000, 0);
    std::mt19937 random(7);
    for (char& c : noise) c = char(random());
    std::ofstream(StatePath("noise.q1r"), std::ios::binary) << noise;
    auto play = [&](const char* name) { return std::vector<std::string>{"render", "-o", o, "--play", StatePath(name)}; };
    Save(StatePath("rgb-mask.png"), RampImage(16, 12, 3, 8));
    Save(StatePath("small-mask.png"), RampImage(8, 12, 1, 8));
    Save(StatePath("empty-mask.png"), filterhost::Image::Make(16, 12, 1, false, 8, 0));
    auto mask = [&](const char* name) { return std::vector<std::string>{"apply", image, "-o", o, "--mask", StatePath(name)}; };

    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"apply", StatePath("missing.png"), "-o", o}, 1,
         "cannot read " + StatePath("missing.png") + ": No such file or directory"},
        {{"apply", StatePath("notes.txt"), "-o", o}, 1,
         "cannot read " + StatePath("notes.txt") + ": not a PNG, JPEG, TIFF or WebP image"},
        {{"apply", image, "-o", image, "--set", "zoom=500"}, 2, "zoom takes an integer from 0 to 100, not \"500\""},
        {{"apply", image, "-o", image, "--set", "glue=sparkle"}, 2, "unknown glue \"sparkle\"; the values are: normal, "},
        {{"render", "-o", o, "--set", "bogus=1"}, 2, "unknown parameter \"bogus\"; the parameters are: mixer 1, mixer 2, "},
        {play("bad-play.txt"), 1,
         StatePath("bad-play.txt") + ", line 2: a bool is true or false"},
        {play("far.txt"), 1, StatePath("far.txt") + ": zoom takes an integer from 0 to 100, not 1000"},
        {play("typed.txt"), 1, StatePath("typed.txt") + ": mirror is on or off, not a long"},
        {play("unknown.txt"), 1, StatePath("unknown.txt") + ": unknown parameter key ZZZZ"},
        {{"render", "-o", o, "--preset", StatePath("noise.q1r")}, 1, StatePath("noise.q1r") + ": "},
        {{"render", "-o", o, "--preset", StatePath("missing.q1r")}, 1,
         "cannot read the preset " + StatePath("missing.q1r") + ": No such file or directory"},
        {{"render", "-o", o, "--module", StatePath("nowhere.8bf")}, 1,
         "cannot load the module " + StatePath("nowhere.8bf") + ": "},
        {{"info", "--module", StatePath("notes.txt")}, 1, "cannot load the module " + StatePath("notes.txt") + ": "},
        {mask("rgb-mask.png"), 1, "the mask " + StatePath("rgb-mask.png") + " is not a grey image"},
        {mask("small-mask.png"), 1, "the mask " + StatePath("small-mask.png") + " is 8x12 but the image is 16x12"},
        {mask("empty-mask.png"), 1, "the mask " + StatePath("empty-mask.png") + " selects nothing"},
        {{"apply", image, "-o", o, "--select", "10,10,7,2"}, 2, "--select 10,10,7,2 does not lie inside the 16x12 image"},
        {{"apply", image, "-o", StatePath("o.gif")}, 2, "cannot tell the format of " + StatePath("o.gif")},
        {{"apply", image, "-o", StatePath("o.jpg")}, 1,
         "cannot write " + StatePath("o.jpg") + ": JPEG holds no transparency; write PNG, TIFF or WebP"},
        {{"render", "--size", "9x9"}, 2, "-o OUT is required (see tesselume render --help)"},
        {{"render", "-o", o, "--size", "big"}, 2, "--size takes WIDTHxHEIGHT, e.g. 1024x768"},
        {{"render", "-o", o, "--depth", "12"}, 2, "--depth is 8 or 16"},
        {{"render", "-o", StatePath("o.jpg"), "--depth", "16", "--size", "30000x30000"}, 2,
         "JPEG holds 8 bits per channel only"},
        {{"render", "-o", "-", "--size", "8x8"}, 2, "-o - needs --format"},
        // Refused before any canvas is allocated (this one would need 60 GB).
        {{"render", "-o", o, "--size", "100000x100000"}, 1,
         "the image is larger than the 32767 pixels the filter protocol can address"},
        {{"render", "-o", o, "--colour"}, 2, "unknown option --colour for render (see tesselume render --help)"},
        {{"export-psd", "-o", o}, 2, "export-psd writes a .psd file, not " + o},
        {{"export-psd", image, "-o", StatePath("o.psd"), "--size", "9x9"}, 2,
         "--size and --depth shape the canvas; they do not apply to " + image},
        {{"paint"}, 2, "unknown command \"paint\"; the commands are render, apply, export-psd, catalogue, info, about"},
    };
    for (const auto& [args, exitCode, message] : cases) {
        SCOPED_TRACE(args[0] + " " + args.back());
        const Outcome outcome = RunProgram(args);
        EXPECT_EQ(outcome.exitCode, exitCode);
        EXPECT_EQ(outcome.err.rfind("tesselume: " + message, 0), 0u) << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    }
    // Nothing was written: no outputs, no temporary files, the input as it was.
    EXPECT_EQ(FileContents(image), original);
    ExpectNoFileStartingWith({"o.", ".o."});
}

TEST(CommandLine, CatalogueWritesAPresetsPage) {
    const std::string folder = StatePath("presets"), page = StatePath("out/page.html");
    for (const std::string& made : {folder, StatePath("out")}) fs::create_directories(made);
    RunOk({"render", "--size", "8x8", "-o", StatePath("x.png"), "--save-preset", folder + "/<i>x&y.q1r"});
    EXPECT_EQ(RunOk({"catalogue", folder, "-o", page}).out, page + ": 1 presets\n");
    EXPECT_NE(FileContents(page).find("<title>Tesselume presets</title>"), std::string::npos);
    EXPECT_TRUE(fs::exists(StatePath("out/web_images/bottom.gif")));
    EXPECT_EQ(RunProgram({"catalogue", folder}).exitCode, 2);
    EXPECT_EQ(RunProgram({"catalogue", StatePath("absent"), "-o", page}).exitCode, 1);
    EXPECT_EQ(RunProgram({"catalogue", folder, "-o", StatePath("absent/page.html")}).exitCode, 1);
}

}  // namespace
