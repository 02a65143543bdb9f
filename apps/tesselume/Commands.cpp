// The commands: parse the command line, load the module, build the image, the
// descriptor and the job, run, and write the results whole or not at all.
#include "Commands.h"

#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DescriptorText.h"
#include "FilterHost.h"
#include "ImageFiles.h"
#include "ParameterNames.h"
#include "PresetFiles.h"
#include "Progress.h"
#include "export/HtmlPages.h"
#include "platform/Files.h"
#include "store/FileLayer.h"

namespace tesselume {

namespace {

// ---- Failures ----

struct Failure {
    int code = kExitOk;
    std::string message;
    bool Failed() const { return code != kExitOk; }
};

Failure Usage(std::string message) { return {kExitUsage, std::move(message)}; }
Failure Fault(std::string message) { return {kExitFailure, std::move(message)}; }

int Report(const Failure& failure) {
    if (failure.Failed()) std::fprintf(stderr, "tesselume: %s\n", failure.message.c_str());
    return failure.code;
}

// ---- Help ----

constexpr const char* kMainHelp =
    "Usage: tesselume COMMAND [OPTIONS]\n"
    "\n"
    "Runs the Tesselume filter module on image files.\n"
    "\n"
    "Commands:\n"
    "  render   paint the pattern onto a new canvas\n"
    "  apply    run the filter on a PNG, JPEG or TIFF image\n"
    "  info     show what the module says about itself: menu, modes, parameters\n"
    "  about    show the module's about box\n"
    "  catalogue  write an HTML page of a folder's presets\n"
    "\n"
    "\"tesselume COMMAND --help\" lists a command's options.\n";

constexpr const char* kParameterHelp =
    "\n"
    "Parameters, applied in the order given (a later value wins):\n"
    "  --set NAME=VALUE        one parameter by the name \"tesselume info\" lists, e.g.\n"
    "                          --set zoom=40 --set \"mixer 1=12\" --set glue=screendim\n"
    "                          --set symmetry=5-fold --set mirror=on\n"
    "  --play FILE             every parameter from a file written by --record\n"
    "  --preset FILE.q1r       every parameter from a presets file the filter's dialog\n"
    "                          or --save-preset saved; values it lacks are the factory's\n"
    "Without any, the module runs with its factory settings.\n"
    "  --record FILE           write the parameters the module ran with, as text\n"
    "  --save-preset FILE.q1r  write them as a presets file (without a thumbnail)\n"
    "  --dialog                edit the parameters in the filter's dialog first: OK runs,\n"
    "                          Cancel writes nothing and exits with 3\n"
    "  --module PATH           the filter module (default: Tesselume.8bf beside this program,\n"
    "                          else the installed one)\n"
    "\n"
    "The output format follows OUT's extension: .png, .jpg/.jpeg or .tif/.tiff.\n"
    "Ctrl-C stops the run; no output file is written then.\n";

constexpr const char* kRenderHelp =
    "Usage: tesselume render -o OUT [--size WxH] [--depth 8|16] [--grey] [PARAMETERS]\n"
    "\n"
    "Paints the pattern onto a mid-grey canvas and writes it to OUT.\n"
    "  -o, --output OUT        the image file to write\n"
    "  --size WxH              the canvas size (default 1024x768)\n"
    "  --depth 8|16            bits per channel (default 8)\n"
    "  --grey                  a greyscale canvas instead of RGB\n";

constexpr const char* kApplyHelp =
    "Usage: tesselume apply IN -o OUT [--mask FILE | --select X,Y,W,H] [PARAMETERS]\n"
    "\n"
    "Runs the filter on the image IN (PNG, JPEG or TIFF; 8 or 16 bits; grey or RGB,\n"
    "with or without alpha) and writes the result to OUT; IN itself is never changed.\n"
    "An alpha channel is the layer's transparency; an ICC profile is kept.\n"
    "  -o, --output OUT        the image file to write (may be IN)\n"
    "  --mask FILE             a grey image of IN's size: its values select (255 fully,\n"
    "                          0 not at all); the filter runs over its non-zero box\n"
    "  --select X,Y,W,H        filter this rectangle only\n";

constexpr const char* kInfoHelp =
    "Usage: tesselume info [--module PATH]\n"
    "\n"
    "Prints the module's menu name, category, entry point, image modes, filter cases,\n"
    "its 36 parameters with their keys, types and ranges, and the two enumerations.\n";

constexpr const char* kCatalogueHelp =
    "Usage: tesselume catalogue PRESETS-FOLDER -o PAGE.html [--open]\n"
    "\n"
    "Writes an HTML page showing every .q1r presets file of the folder as a framed\n"
    "thumbnail with its name. The thumbnails (JPEG) and the frame pieces (GIF) go into\n"
    "a folder \"web_images\" beside the page. --open shows the page in the default\n"
    "program (xdg-open) when it is written.\n";

constexpr const char* kAboutHelp =
    "Usage: tesselume about [--module PATH]\n"
    "\n"
    "Shows the module's about box.\n";

// ---- The command line ----

struct CommandLine {
    std::string command;
    std::vector<std::string> inputs;
    std::map<std::string, std::string> values;                   // options that take one value
    std::set<std::string> flags;
    std::vector<std::pair<std::string, std::string>> sources;    // --set, --play and --preset in order
};

// The presets page of a folder, written by the module's own page code.
int Catalogue(const CommandLine& line) {
    if (line.inputs.size() != 1) return Report(Usage("catalogue takes one presets folder (see tesselume catalogue --help)"));
    const auto output = line.values.find("--output");
    const std::string page = output == line.values.end() ? "" : output->second;
    if (page.empty()) return Report(Usage("catalogue needs -o PAGE.html"));
    int presets = 0;
    const OSErr result = WritePresetsPage(line.inputs[0].c_str(), page.c_str(), presets);
    if (result == kOpenErr) return Report(Fault("cannot write " + page));
    if (result == readErr) return Report(Fault("cannot list the folder " + line.inputs[0]));
    if (result != noErr) return Report(Fault("writing " + page + " failed"));
    std::printf("%s: %d presets\n", page.c_str(), presets);
    if (line.flags.count("--open")) {
        // xdg-open runs on without us; the page is already complete.
        pid_t child = 0;
        char* const arguments[] = {const_cast<char*>("xdg-open"), const_cast<char*>(page.c_str()), nullptr};
        if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, arguments, environ) != 0)
            return Report(Fault("cannot start xdg-open"));
    }
    return kExitOk;
}

// What a command accepts: options with a value, flags, and whether it takes parameters.
struct CommandShape {
    const char* name;
    const char* help;
    std::set<std::string> valued, flags;
    bool parameters;
    int (*run)(const CommandLine& line) = nullptr;  // a command that needs no module
};

const std::vector<CommandShape>& Commands() {
    static const std::vector<CommandShape> commands = {
        {"render", kRenderHelp, {"--output", "--size", "--depth", "--module", "--record", "--save-preset"},
         {"--grey", "--dialog"}, true},
        {"apply", kApplyHelp, {"--output", "--mask", "--select", "--module", "--record", "--save-preset"},
         {"--dialog"}, true},
        {"info", kInfoHelp, {"--module"}, {}, false},
        {"about", kAboutHelp, {"--module"}, {}, false},
        {"catalogue", kCatalogueHelp, {"--output"}, {"--open"}, false, Catalogue},
    };
    return commands;
}

Failure ParseCommandLine(const CommandShape& shape, int argc, char** argv, CommandLine& line) {
    line.command = shape.name;
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.size() < 2 || argument[0] != '-') {
            line.inputs.push_back(argument);
            continue;
        }
        std::string name = argument == "-o" ? "--output" : argument == "-h" ? "--help" : argument;
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool source = shape.parameters && (name == "--set" || name == "--play" || name == "--preset");
        if (name == "--help" || shape.flags.count(name)) {
            if (value) return Usage(name + " takes no value");
            line.flags.insert(name);
            continue;
        }
        if (!source && !shape.valued.count(name))
            return Usage("unknown option " + name + " for " + shape.name + " (see tesselume " + shape.name +
                         " --help)");
        if (!value) {
            if (i + 1 >= argc) return Usage(name + " needs a value");
            value = argv[++i];
        }
        if (source)
            line.sources.emplace_back(name, *value);
        else if (!line.values.emplace(name, *value).second)
            return Usage(name + " is given twice");
    }
    return {};
}

std::string Value(const CommandLine& line, const std::string& name) {
    const auto found = line.values.find(name);
    return found == line.values.end() ? std::string() : found->second;
}

// Splits "a<separator>b..." into integers; false unless exactly count of them.
bool ParseIntegers(const std::string& text, char separator, std::size_t count, std::vector<int32_t>& numbers) {
    numbers.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        const std::optional<int32_t> number =
            ParseInteger(std::string_view(text).substr(start, end == std::string::npos ? end : end - start));
        if (!number) return false;
        numbers.push_back(*number);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return numbers.size() == count;
}

// ---- The module ----

// The module beside this program (the build folder), else the installed one: the
// program in PREFIX/bin finds it under PREFIX.
std::string DefaultModulePath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "Tesselume.8bf";
    const std::filesystem::path beside = self.parent_path() / "Tesselume.8bf";
    const std::filesystem::path installed = self.parent_path().parent_path() / TESSELUME_INSTALLED_MODULE;
    if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)) return installed.string();
    return beside.string();
}

Failure LoadModule(const CommandLine& line, std::unique_ptr<filterhost::Host>& host) {
    std::string path = Value(line, "--module");
    if (path.empty()) path = DefaultModulePath();
    std::string error;
    host = filterhost::Host::Load(path, filterhost::HostOptions{}, error);
    if (!host) return Fault("cannot load the module " + path + ": " + error);
    return {};
}

// ---- Parameters ----

Failure ReadTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fault("cannot read " + path + ": " + std::strerror(errno));
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    return {};
}

// The descriptor the module gets, from --set, --play and --preset in their order.
Failure BuildDescriptor(const CommandLine& line, const filterhost::Terminology& terms,
                        filterhost::Descriptor& descriptor) {
    for (const auto& [option, value] : line.sources) {
        std::string error;
        if (option == "--set") {
            filterhost::DescriptorItem item;
            if (!ParseSetting(terms, value, item, error)) return Usage(error);
            MergeItem(descriptor, item);
        } else if (option == "--play") {
            std::string text;
            if (const Failure failure = ReadTextFile(value, text); failure.Failed()) return failure;
            filterhost::Descriptor played;
            if (!ParseDescriptor(text, played, error)) return Fault(value + ", " + error);
            for (const filterhost::DescriptorItem& item : played) MergeItem(descriptor, item);
        } else if (option == "--preset") {
            filterhost::Descriptor preset;
            if (!ReadPresetFile(value, preset, error)) return Fault(error);
            for (const filterhost::DescriptorItem& item : preset) MergeItem(descriptor, item);
        }
    }
    return {};
}

// ---- Images ----

Failure MakeCanvas(const CommandLine& line, ImageFile& file) {
    std::vector<int32_t> size = {1024, 768};
    if (line.values.count("--size") && !ParseIntegers(Value(line, "--size"), 'x', 2, size))
        return Usage("--size takes WIDTHxHEIGHT, e.g. 1024x768");
    if (size[0] < 1 || size[1] < 1) return Usage("--size must be at least 1x1");
    // Refused before the canvas is allocated: a mistyped size would otherwise ask for
    // more memory than the machine has before the size check in RunFilter is reached.
    if (size[0] > kMaxImageSide || size[1] > kMaxImageSide) return Fault(kTooLarge);
    const std::string depth = line.values.count("--depth") ? Value(line, "--depth") : "8";
    if (depth != "8" && depth != "16") return Usage("--depth is 8 or 16");
    const bool deep = depth == "16";
    file.image = filterhost::Image::Make(size[0], size[1], line.flags.count("--grey") ? 1 : 3, false, deep ? 16 : 8,
                                         deep ? 16384 : 128);
    return {};
}

// The selection from --mask: grey values 0..255, 16-bit masks scaled down.
Failure ReadMask(const std::string& path, const filterhost::Image& image, std::vector<uint8_t>& mask) {
    ImageFile maskFile;
    std::string error;
    if (!ReadImageFile(path, maskFile, error)) return Fault("cannot read the mask " + path + ": " + error);
    const filterhost::Image& m = maskFile.image;
    if (m.colourPlanes != 1) return Fault("the mask " + path + " is not a grey image");
    if (m.width != image.width || m.height != image.height)
        return Fault("the mask " + path + " is " + std::to_string(m.width) + "x" + std::to_string(m.height) +
                     " but the image is " + std::to_string(image.width) + "x" + std::to_string(image.height));
    mask.resize(std::size_t(m.width) * std::size_t(m.height));
    for (int32_t y = 0; y < m.height; ++y)
        for (int32_t x = 0; x < m.width; ++x) {
            const uint32_t v = m.At(x, y, 0);
            mask[std::size_t(y) * std::size_t(m.width) + std::size_t(x)] =
                uint8_t(m.depth == 16 ? (v * 255 + 16384) / 32768 : v);
        }
    if (std::all_of(mask.begin(), mask.end(), [](uint8_t v) { return v == 0; }))
        return Fault("the mask " + path + " selects nothing");
    return {};
}

Failure ReadSelection(const CommandLine& line, const filterhost::Image& image, filterhost::Job& job) {
    if (line.values.count("--mask") && line.values.count("--select"))
        return Usage("give --mask or --select, not both");
    if (line.values.count("--mask")) return ReadMask(Value(line, "--mask"), image, job.mask);
    if (!line.values.count("--select")) return {};
    std::vector<int32_t> r;
    if (!ParseIntegers(Value(line, "--select"), ',', 4, r)) return Usage("--select takes X,Y,W,H");
    if (r[0] < 0 || r[1] < 0 || r[2] < 1 || r[3] < 1 || r[2] > image.width - r[0] || r[3] > image.height - r[1])
        return Usage("--select " + Value(line, "--select") + " does not lie inside the " +
                     std::to_string(image.width) + "x" + std::to_string(image.height) + " image");
    job.filterRect = Rect{int16_t(r[1]), int16_t(r[0]), int16_t(r[1] + r[3]), int16_t(r[0] + r[2])};
    return {};
}

// ---- Writing ----

Failure WriteWhole(const std::string& path, const std::function<bool(const std::string&, std::string&)>& write) {
    platform::PendingFile pending;
    std::string error;
    if (!pending.Open(path, error) || !write(pending.TempPath(), error))
        return Fault("cannot write " + path + ": " + error);
    if (Interrupted()) return {kExitInterrupted, "interrupted; " + path + " not written"};
    if (!pending.Commit(error)) return Fault("cannot write " + path + ": " + error);
    return {};
}

// --record and --save-preset: the descriptor the module recorded at Finish, as text
// and as a presets file.
Failure WriteRecorded(const CommandLine& line, const filterhost::RunReport& report,
                      const filterhost::Terminology& terms) {
    const bool record = line.values.count("--record") > 0, preset = line.values.count("--save-preset") > 0;
    if (!record && !preset) return {};
    if (!report.recorded) return Fault("the module returned no parameters to record");
    const filterhost::Descriptor& recorded = *report.recorded;
    if (record) {
        const std::string text = FormatDescriptor(recorded, terms);
        const Failure failure = WriteWhole(Value(line, "--record"), [&](const std::string& temp, std::string& error) {
            std::ofstream out(temp, std::ios::binary);
            out << text;
            out.close();
            if (!out) error = std::strerror(errno);
            return bool(out);
        });
        if (failure.Failed()) return failure;
    }
    if (!preset) return {};
    return WriteWhole(Value(line, "--save-preset"), [&](const std::string& temp, std::string& error) {
        return WritePresetFile(temp, recorded, error);
    });
}

// ---- render and apply ----

int RunFilter(const CommandLine& line) {
    const bool render = line.command == "render";
    const std::string output = Value(line, "--output");
    if (output.empty()) return Report(Usage("-o OUT is required (see tesselume " + line.command + " --help)"));
    const std::optional<FileFormat> format = FormatForPath(output);
    if (!format) return Report(Usage("cannot tell the format of " + output + ": use .png, .jpg, .jpeg, .tif or .tiff"));
    if (render && !line.inputs.empty()) return Report(Usage("render takes no input file: " + line.inputs[0]));
    if (!render && line.inputs.size() != 1) return Report(Usage("apply takes one input file"));

    ImageFile file;
    if (render) {
        if (const Failure failure = MakeCanvas(line, file); failure.Failed()) return Report(failure);
    } else {
        std::string error;
        if (!ReadImageFile(line.inputs[0], file, error))
            return Report(Fault("cannot read " + line.inputs[0] + ": " + error));
    }

    filterhost::Job job;
    if (const Failure failure = ReadSelection(line, file.image, job); failure.Failed()) return Report(failure);

    std::unique_ptr<filterhost::Host> host;
    if (const Failure failure = LoadModule(line, host); failure.Failed()) return Report(failure);
    filterhost::Descriptor descriptor;
    if (const Failure failure = BuildDescriptor(line, host->Terms(), descriptor); failure.Failed())
        return Report(failure);

    // Without the dialog the module always gets a descriptor, so an empty one runs the
    // factory settings rather than whatever the last dialog left behind.
    const bool dialog = line.flags.count("--dialog") > 0;
    job.showDialog = dialog;
    if (!dialog || !descriptor.empty()) job.play = descriptor;
    job.playInfo = dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
    job.iccProfile = file.iccProfile;
    job.shouldAbort = Interrupted;

    CatchInterrupt();
    std::string error;
    filterhost::RunReport report;
    {
        ProgressBar bar;
        job.onProgress = [&bar](int32_t done, int32_t total) { bar.Show(done, total); };
        report = host->Run(file.image, job, error);
        job.onProgress = nullptr;
    }
    if (Interrupted()) return Report({kExitInterrupted, "interrupted; " + output + " not written"});
    if (report.result == userCanceledErr)
        return Report({kExitCancelled, "cancelled in the dialog; " + output + " not written"});
    if (report.result != noErr)
        return Report(Fault("the module failed (result " + std::to_string(report.result) + ")" +
                            (error.empty() ? "" : ": " + error)));

    Failure failure = WriteWhole(output, [&](const std::string& temp, std::string& writeError) {
        return WriteImageFile(temp, *format, file, writeError);
    });
    if (!failure.Failed()) failure = WriteRecorded(line, report, host->Terms());
    return Report(failure);
}

// ---- info and about ----

const char* ImageModeName(int16_t mode) {
    static const char* const names[] = {"bitmap", "greyscale", "indexed colour", "RGB", "CMYK", "HSL",
                                        "HSB", "multichannel", "duotone", "Lab", "16-bit greyscale", "48-bit RGB",
                                        "48-bit Lab", "64-bit CMYK", "deep multichannel", "16-bit duotone",
                                        "96-bit RGB", "32-bit greyscale"};
    return names[mode];
}

std::string AcceptedModes(const filterhost::PropertyList& list, bool readEnableExpression) {
    std::string modes;
    for (int16_t mode = plugInModeBitmap; mode <= plugInModeGray32; ++mode)
        if (filterhost::AcceptsImageMode(list, mode, readEnableExpression))
            modes += (modes.empty() ? "" : ", ") + std::string(ImageModeName(mode));
    return modes.empty() ? "none" : modes;
}

int Info(const filterhost::Host& host) {
    const filterhost::PropertyList& list = host.Properties();
    const filterhost::Terminology& terms = host.Terms();
    static const char* const caseNames[7] = {
        "flat image, no selection",           "flat image, with selection",
        "floating selection",                 "editable transparency, no selection",
        "editable transparency, with selection", "protected transparency, no selection",
        "protected transparency, with selection"};

    std::printf("%s\n", list.name.c_str());
    std::printf("  category        %s\n", list.category.c_str());
    std::printf("  kind            %s, interface version %u.%u\n", CodeText(list.kind).c_str(), list.version >> 16,
                list.version & 0xFFFF);
    std::printf("  entry point     %s (x86-64)\n", list.entryPoint.c_str());
    std::printf("  image modes     %s\n", AcceptedModes(list, true).c_str());
    std::printf("                  (%s for hosts that read only the mode flags)\n", AcceptedModes(list, false).c_str());
    if (!list.enableExpression.empty())
        std::printf("  enable          %s\n", list.enableExpression.c_str());
    if (list.hasTerminology)
        std::printf("  terminology     %s, event %s %s, resource %d\n", list.terminologyScope.c_str(),
                    CodeText(list.terminologyClass).c_str(), CodeText(list.terminologyEvent).c_str(),
                    list.terminologyId);
    if (list.hasFilterCases) {
        std::printf("  filter cases    input, output, flags\n");
        for (int i = 0; i < 7; ++i) {
            const filterhost::FilterCaseInfo& c = list.filterCases[i];
            std::printf("    %-40s %u %u %u %u\n", caseNames[i], c.inputHandling, c.outputHandling, c.flags1,
                        c.flags2);
        }
    }
    std::printf("\n%s: %s (suite %s, event \"%s\")\n", terms.suiteName.c_str(), terms.suiteDescription.c_str(),
                CodeText(terms.suiteId).c_str(), terms.eventDescription.c_str());
    std::printf("\nParameters (%zu)\n  %-18s %-5s %-5s %s\n", terms.parameters.size(), "name", "key", "type", "range");
    for (const filterhost::TermParameter& parameter : terms.parameters) {
        std::string range = "values below";
        if (parameter.type == typeInteger || parameter.type == typeBoolean) {
            const ParameterInfo* entry = ParameterEntry(parameter.key);
            range = !entry                                  ? "any integer"
                    : entry->kind == ParamKind::boolean ? "on or off"
                                                        : std::to_string(entry->minimum) + " to " +
                                                              std::to_string(entry->maximum);
        }
        std::printf("  %-18s %-5s %-5s %s\n", parameter.name.c_str(), CodeText(parameter.key).c_str(),
                    CodeText(parameter.type).c_str(), range.c_str());
    }
    for (const filterhost::TermEnumeration& enumeration : terms.enumerations) {
        std::printf("\nEnumeration %s (%zu values)\n", CodeText(enumeration.type).c_str(), enumeration.values.size());
        for (const filterhost::TermEnumValue& value : enumeration.values)
            std::printf("  %-5s %s\n", CodeText(value.key).c_str(), value.name.c_str());
    }
    return kExitOk;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command.empty() || command == "--help" || command == "-h" || command == "help") {
        std::fputs(kMainHelp, command.empty() ? stderr : stdout);
        return command.empty() ? kExitUsage : kExitOk;
    }
    const auto& commands = Commands();
    const auto shape =
        std::find_if(commands.begin(), commands.end(), [&](const CommandShape& s) { return command == s.name; });
    if (shape == commands.end())
        return Report(Usage("unknown command \"" + command + "\"; the commands are render, apply, info, about and catalogue"));

    CommandLine line;
    if (const Failure failure = ParseCommandLine(*shape, argc, argv, line); failure.Failed()) return Report(failure);
    if (line.flags.count("--help")) {
        std::fputs(shape->help, stdout);
        if (shape->parameters) std::fputs(kParameterHelp, stdout);
        return kExitOk;
    }
    if (shape->parameters) {
        // Images near the size limit need gigabytes; running out is a failure like any
        // other, and unwinding removes the pending output file.
        try {
            return RunFilter(line);
        } catch (const std::bad_alloc&) {
            return Report(Fault("out of memory"));
        }
    }
    if (shape->run) return shape->run(line);
    if (!line.inputs.empty()) return Report(Usage(command + " takes no file: " + line.inputs[0]));

    std::unique_ptr<filterhost::Host> host;
    if (const Failure failure = LoadModule(line, host); failure.Failed()) return Report(failure);
    if (command == "info") return Info(*host);
    const OSErr result = host->About();
    if (result != noErr) return Report(Fault("the about box failed (result " + std::to_string(result) + ")"));
    return kExitOk;
}

}  // namespace tesselume
