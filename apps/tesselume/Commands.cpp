// The commands: parse the command line, load the module, build the image, the
// descriptor and the job, run, and write the results whole or not at all.
#include "Commands.h"

#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CommandParts.h"
#include "DescriptorText.h"
#include "FilterHost.h"
#include "ImageFiles.h"
#include "ParameterNames.h"
#include "PresetFiles.h"
#include "OutputFile.h"
#include "Options.h"
#include "Progress.h"
#include "export/HtmlPages.h"
#include "store/FileLayer.h"

namespace tesselume {

Failure Usage(std::string message) { return {kExitUsage, std::move(message)}; }
Failure Fault(std::string message) { return {kExitFailure, std::move(message)}; }

int Report(const Failure& failure) {
    if (failure.Failed()) std::fprintf(stderr, "tesselume: %s\n", failure.message.c_str());
    return failure.code;
}

namespace {

// ---- The command line ----

bool IsSource(const std::string& name) { return name == "--set" || name == "--play" || name == "--preset"; }

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

Failure ParseCommandLine(const CommandInfo& command, int argc, char** argv, CommandLine& line) {
    line.command = command.name;
    const std::vector<OptionInfo>& options = OptionTable();
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.size() < 2 || argument[0] != '-') {
            line.inputs.push_back(argument);  // "-" is standard input
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto option = std::find_if(options.begin(), options.end(), [&](const OptionInfo& o) {
            return (name == o.name || name == o.shortName) && TakesOption(o, line.command);
        });
        if (option == options.end())
            return Usage("unknown option " + name + " for " + line.command + " (see tesselume " + line.command +
                         " --help)");
        name = option->name;
        if (!*option->value) {
            if (value) return Usage(name + " takes no value");
            line.flags.insert(name);
            continue;
        }
        if (!value) {
            if (i + 1 >= argc) return Usage(name + " needs a value");
            value = argv[++i];
        }
        if (IsSource(name))
            line.sources.emplace_back(name, *value);
        else if (!line.values.emplace(name, *value).second)
            return Usage(name + " is given twice");
    }
    return {};
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

// $TESSELUME_MODULE, else the module beside this program (the build folder), else the
// installed one: the program in PREFIX/bin finds it under PREFIX.
std::string DefaultModulePath() {
    if (const char* chosen = std::getenv("TESSELUME_MODULE"); chosen && *chosen) return chosen;
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

// A recording is a few dozen lines; anything much larger is not one.
constexpr std::uintmax_t kMaxRecordingBytes = 1 << 20;

Failure ReadTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fault("cannot read " + path + ": " + std::strerror(errno));
    text.resize(kMaxRecordingBytes + 1);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    if (text.size() > kMaxRecordingBytes) return Fault(path + " is larger than a recording can be (1 MB)");
    return {};
}

// The descriptor the module gets, from --set, --play and --preset in their order.
// Recorded and preset values pass the same checks as --set's.
Failure BuildDescriptor(const CommandLine& line, const filterhost::Terminology& terms,
                        filterhost::Descriptor& descriptor) {
    for (const auto& [option, value] : line.sources) {
        std::string error;
        if (option == "--set") {
            filterhost::DescriptorItem item;
            if (!ParseSetting(terms, value, item, error)) return Usage(error);
            MergeItem(descriptor, item);
            continue;
        }
        filterhost::Descriptor read;
        if (option == "--play") {
            std::string text;
            if (const Failure failure = ReadTextFile(value, text); failure.Failed()) return failure;
            if (!ParseDescriptor(text, read, error)) return Fault(value + ", " + error);
        } else if (!ReadPresetFile(value, read, error)) {
            return Fault(error);
        }
        for (const filterhost::DescriptorItem& item : read) {
            if (!CheckItem(terms, item, error)) return Fault(value + ": " + error);
            MergeItem(descriptor, item);
        }
    }
    return {};
}

// ---- Images ----

// The canvas of --size, --depth and --grey: its shape and its mid-grey value.
Failure CanvasShape(const CommandLine& line, filterhost::ImageShape& shape, uint16_t& fill) {
    std::vector<int32_t> size = {1024, 768};
    if (line.values.count("--size") && !ParseIntegers(Value(line, "--size"), 'x', 2, size))
        return Usage("--size takes WIDTHxHEIGHT, e.g. 1024x768");
    if (size[0] < 1 || size[1] < 1) return Usage("--size must be at least 1x1");
    // Refused before the canvas is made: a mistyped size would otherwise ask for
    // more memory than the machine has before the size check in the host is reached.
    if (size[0] > kMaxImageSide || size[1] > kMaxImageSide) return Fault(kTooLarge);
    if (uint64_t(size[0]) * uint64_t(size[1]) > kMaxPixels) return Fault(kTooManyPixels);
    const bool deep = Value(line, "--depth") == "16";
    shape = filterhost::ImageShape{size[0], size[1], line.flags.count("--grey") ? 1 : 3, false, deep ? 16 : 8};
    fill = deep ? 16384 : 128;
    return {};
}

Failure MakeCanvas(const CommandLine& line, ImageFile& file) {
    filterhost::ImageShape shape;
    uint16_t fill = 0;
    if (const Failure failure = CanvasShape(line, shape, fill); failure.Failed()) return failure;
    file.image = filterhost::Image::Make(shape.width, shape.height, shape.colourPlanes, false, shape.depth, fill);
    return {};
}

// The selection from --mask: grey values 0..255, 16-bit masks scaled down.
// Read row by row into the mask itself: a mask the size of a large image is held
// once, at one byte a pixel.
Failure ReadMask(const std::string& path, const filterhost::Image& image, std::vector<uint8_t>& mask) {
    ImageFile maskFile;
    InputBytes bytes;
    std::unique_ptr<ImageReader> reader;
    std::string error;
    if (!bytes.Open(path, error) || !(reader = OpenImage(bytes.Data(), bytes.Size(), maskFile, error)))
        return Fault("cannot read the mask " + path + ": " + error);
    const filterhost::Image& m = maskFile.image;
    if (m.colourPlanes != 1) return Fault("the mask " + path + " is not a grey image");
    if (m.width != image.width || m.height != image.height)
        return Fault("the mask " + path + " is " + std::to_string(m.width) + "x" + std::to_string(m.height) +
                     " but the image is " + std::to_string(image.width) + "x" + std::to_string(image.height));
    const std::size_t planes = std::size_t(m.Planes()), width = std::size_t(m.width);
    mask.resize(width * std::size_t(m.height));
    std::vector<uint8_t> row(m.Shape().RowBytes());
    const auto* deep = reinterpret_cast<const uint16_t*>(row.data());
    for (int32_t y = 0; y < m.height; ++y) {
        if (!reader->ReadRow(row.data(), error)) return Fault("cannot read the mask " + path + ": " + error);
        uint8_t* out = mask.data() + std::size_t(y) * width;
        for (std::size_t x = 0; x < width; ++x)
            out[x] = m.depth == 16 ? uint8_t((uint32_t(ToHostScale(deep[x * planes])) * 255 + 16384) / 32768)
                                   : row[x * planes];
    }
    if (!reader->Finish(maskFile, error)) return Fault("cannot read the mask " + path + ": " + error);
    if (std::all_of(mask.begin(), mask.end(), [](uint8_t v) { return v == 0; }))
        return Fault("the mask " + path + " selects nothing");
    return {};
}

Failure ReadSelection(const CommandLine& line, const filterhost::Image& image, filterhost::Job& job) {
    if (line.values.count("--mask")) return ReadMask(Value(line, "--mask"), image, job.mask);
    if (!line.values.count("--select")) return {};
    std::vector<int32_t> r;
    ParseIntegers(Value(line, "--select"), ',', 4, r);
    if (r[0] < 0 || r[1] < 0 || r[2] < 1 || r[3] < 1 || r[2] > image.width - r[0] || r[3] > image.height - r[1])
        return Usage("--select " + Value(line, "--select") + " does not lie inside the " +
                     std::to_string(image.width) + "x" + std::to_string(image.height) + " image");
    job.filterRect = Rect{int16_t(r[1]), int16_t(r[0]), int16_t(r[1] + r[3]), int16_t(r[0] + r[2])};
    return {};
}

// ---- Writing ----

Failure Stopped(const std::string& path) {
    return {InterruptedExitCode(), "interrupted; " + path + " not written"};
}

Failure WriteWhole(const std::string& path, const std::function<bool(const std::string&, std::string&)>& write) {
    platform::PendingFile pending(kOutputFile);
    std::string error;
    if (!pending.Open(path, error) || !write(pending.TempPath(), error)) {
        if (Interrupted()) return Stopped(path);
        return Fault("cannot write " + path + ": " + error);
    }
    if (Interrupted()) return Stopped(path);
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

// What holds for every image of one call, checked before any work.
struct Plan {
    bool render = false;
    std::vector<std::string> inputs;        // apply: the files; render: none
    std::optional<FileFormat> format;       // --format
    int32_t quality = 0, depth = 0;         // 0: not given
    bool batch = false;                     // OUT is a folder or a %s pattern
};

Failure CheckCommandLine(const CommandLine& line, Plan& plan) {
    plan.render = line.command == "render";
    plan.inputs = line.inputs;
    const std::string output = Value(line, "--output");
    if (output.empty()) return Usage("-o OUT is required (see tesselume " + line.command + " --help)");
    if (plan.render && !line.inputs.empty()) return Usage("render takes no input file: " + line.inputs[0]);
    if (!plan.render && line.inputs.empty()) return Usage("apply takes at least one input file");
    if (line.values.count("--format") && !(plan.format = FormatForName(Value(line, "--format"))))
        return Usage("--format is png, jpg, tif or webp");
    if (line.values.count("--quality")) {
        const std::optional<int32_t> quality = ParseInteger(Value(line, "--quality"));
        if (!quality || *quality < 1 || *quality > 100) return Usage("--quality takes an integer from 1 to 100");
        plan.quality = *quality;
    }
    if (line.values.count("--depth")) {
        const std::string depth = Value(line, "--depth");
        if (depth != "8" && depth != "16") return Usage("--depth is 8 or 16");
        plan.depth = depth == "16" ? 16 : 8;
    }
    if (line.values.count("--mask") && line.values.count("--select")) return Usage("give --mask or --select, not both");
    std::vector<int32_t> numbers;
    if (line.values.count("--select") && !ParseIntegers(Value(line, "--select"), ',', 4, numbers))
        return Usage("--select takes X,Y,W,H");
    std::error_code ignored;
    plan.batch = output.find("%s") != std::string::npos || std::filesystem::is_directory(output, ignored);
    if (line.inputs.size() > 1 && !plan.batch)
        return Usage("with several inputs, -o is a folder or a name with %s, e.g. -o out/%s.png");
    if (std::count(line.inputs.begin(), line.inputs.end(), "-") > (line.inputs.size() > 1 ? 0 : 1))
        return Usage("standard input \"-\" can be the only input");
    if (output == "-" && !plan.format) return Usage("-o - needs --format png, jpg, tif or webp");
    if (plan.batch && plan.render) return Usage("render writes one file: -o is neither a folder nor a %s pattern");
    // What no input can change is refused now rather than after the work.
    if (plan.render) {
        const std::optional<FileFormat> format = plan.format ? plan.format : FormatForPath(output);
        if (!format) return Usage("cannot tell the format of " + output + ": use .png, .jpg, .tif or .webp, or --format");
        if (const std::string refusal = FormatRefusal(*format, plan.depth ? plan.depth : 8, false); !refusal.empty())
            return Usage(refusal);
    } else if (!plan.batch && !plan.format && !FormatForPath(output)) {
        return Usage("cannot tell the format of " + output + ": use .png, .jpg, .tif or .webp, or --format");
    } else if (plan.depth && (plan.format || FormatForPath(output))) {
        const FileFormat format = plan.format ? *plan.format : *FormatForPath(output);
        if (const std::string refusal = FormatRefusal(format, plan.depth, false); !refusal.empty()) return Usage(refusal);
    }
    return {};
}

// Where one input's result goes: OUT itself, OUT/NAME for a folder, or OUT with %s
// replaced by the input's name without its extension.
std::string OutputFor(const CommandLine& line, const Plan& plan, const std::string& input) {
    const std::string output = Value(line, "--output");
    if (!plan.batch) return output;
    const std::filesystem::path in(input == "-" ? "stdin" : input);
    if (const std::size_t at = output.find("%s"); at != std::string::npos)
        return output.substr(0, at) + in.stem().string() + output.substr(at + 2);
    std::filesystem::path name = in.filename();
    if (plan.format) name.replace_extension(FormatExtension(*plan.format));
    return (std::filesystem::path(output) / name).string();
}

void Warn(const std::string& what, const std::string& message) {
    std::fprintf(stderr, "tesselume: warning: %s: %s\n", what.c_str(), message.c_str());
}

// One image: read or made, filtered, written whole.
Failure FilterOne(const CommandLine& line, const Plan& plan, const std::string& input, filterhost::Host& host,
                  const filterhost::Descriptor& descriptor) {
    const std::string output = OutputFor(line, plan, input);
    const std::optional<FileFormat> format = plan.format ? plan.format : FormatForPath(output);
    if (!format) return Usage("cannot tell the format of " + output + ": use .png, .jpg, .tif or .webp, or --format");

    // The image streams from its file through the filter into the output: only the
    // rows the module works on are held (all of them while a dialog is open).
    ImageFile file;
    InputBytes bytes;
    std::unique_ptr<ImageReader> reader;
    int32_t fileDepth = 8;
    uint16_t fill = 0;
    std::string error;
    if (plan.render) {
        filterhost::ImageShape shape;
        if (const Failure failure = CanvasShape(line, shape, fill); failure.Failed()) return failure;
        file.image.width = shape.width;
        file.image.height = shape.height;
        file.image.colourPlanes = shape.colourPlanes;
        file.image.depth = fileDepth = shape.depth;
    } else {
        if (!bytes.Open(input, error) || !(reader = OpenImage(bytes.Data(), bytes.Size(), file, error)))
            return Fault("cannot read " + input + ": " + error);
        for (const std::string& warning : file.warnings) Warn(input, warning);
        file.warnings.clear();
        fileDepth = file.image.depth;
        if (plan.depth) file.image.depth = plan.depth;
    }
    // An input's quality carries over to its own format only: a lossless WebP's 100
    // would make a needlessly large JPEG.
    if (plan.quality) file.quality = plan.quality;
    else if (file.format != format) file.quality = 0;
    if (const std::string refusal = FormatRefusal(*format, file.image.depth, file.image.transparency); !refusal.empty())
        return Fault("cannot write " + output + ": " + refusal);

    filterhost::Job job;
    if (const Failure failure = ReadSelection(line, file.image, job); failure.Failed()) return failure;
    // Without the dialog the module always gets a descriptor, so an empty one runs the
    // factory settings rather than whatever the last dialog left behind.
    const bool dialog = line.flags.count("--dialog") > 0;
    job.showDialog = dialog;
    if (!dialog || !descriptor.empty()) job.play = descriptor;
    job.playInfo = dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
    job.iccProfile = file.iccProfile;
    job.protectTransparency = file.image.transparency && !line.flags.count("--edit-transparency");
    job.shouldAbort = Interrupted;

    platform::PendingFile pending(kOutputFile);
    if (!pending.Open(output, error)) return Fault("cannot write " + output + ": " + error);
    std::unique_ptr<ImageWriter> writer = CreateImage(pending.TempPath(), *format, file, error);
    if (!writer) return Fault("cannot write " + output + ": " + error);
    FileRows rows(reader.get(), fileDepth, fill, file.image.Shape(), *writer);
    filterhost::RunReport report;
    {
        DeferSignals defer;  // the module stops through abortProc and cleans up
        ProgressBar bar;
        job.onProgress = [&bar](int32_t done, int32_t total) { bar.Show(done, total); };
        report = host.Run(file.image.Shape(), rows, rows, std::move(job), error);
    }
    if (Interrupted()) return Stopped(output);
    if (report.result == userCanceledErr) return {kExitCancelled, "cancelled in the dialog; " + output + " not written"};
    if (!rows.ReadFault().empty()) return Fault("cannot read " + input + ": " + rows.ReadFault());
    if (!rows.WriteFault().empty()) return Fault("cannot write " + output + ": " + rows.WriteFault());
    if (report.result != noErr)
        return Fault("the module failed (result " + std::to_string(report.result) + ")" +
                     (error.empty() ? "" : ": " + error));
    if (reader && !reader->Finish(file, error)) return Fault("cannot read " + input + ": " + error);
    for (const std::string& warning : file.warnings) Warn(input, warning);
    if (!writer->Finish(file, error)) return Fault("cannot write " + output + ": " + error);
    writer.reset();
    if (Interrupted()) return Stopped(output);
    if (!pending.Commit(error)) return Fault("cannot write " + output + ": " + error);
    return WriteRecorded(line, report, host.Terms());
}

}  // namespace

std::string Value(const CommandLine& line, const std::string& name) {
    const auto found = line.values.find(name);
    return found == line.values.end() ? std::string() : found->second;
}

Failure PrepareRun(const CommandLine& line, bool canvas, PreparedRun& run) {
    if (canvas) {
        if (const Failure failure = MakeCanvas(line, run.file); failure.Failed()) return failure;
    } else {
        std::string error;
        if (!ReadImageFile(line.inputs[0], run.file, error))
            return Fault("cannot read " + line.inputs[0] + ": " + error);
        for (const std::string& warning : run.file.warnings) Warn(line.inputs[0], warning);
    }
    if (const Failure failure = ReadSelection(line, run.file.image, run.job); failure.Failed()) return failure;
    if (const Failure failure = LoadModule(line, run.host); failure.Failed()) return failure;
    run.job.iccProfile = run.file.iccProfile;
    run.job.shouldAbort = Interrupted;
    return BuildDescriptor(line, run.host->Terms(), run.descriptor);
}

namespace {

int RunFilter(const CommandLine& line) {
    Plan plan;
    if (const Failure failure = CheckCommandLine(line, plan); failure.Failed()) return Report(failure);
    std::unique_ptr<filterhost::Host> host;
    if (const Failure failure = LoadModule(line, host); failure.Failed()) return Report(failure);
    filterhost::Descriptor descriptor;
    if (const Failure failure = BuildDescriptor(line, host->Terms(), descriptor); failure.Failed())
        return Report(failure);

    if (plan.render) return Report(FilterOne(line, plan, "", *host, descriptor));
    int code = kExitOk;
    for (const std::string& input : plan.inputs) {
        Failure failure;
        // Images near the size limit need gigabytes; running out fails this image
        // only, and unwinding removes its pending output file.
        try {
            failure = FilterOne(line, plan, input, *host, descriptor);
        } catch (const std::bad_alloc&) {
            failure = Fault(input + ": out of memory");
        }
        if (!failure.Failed()) continue;
        if (plan.inputs.size() > 1 && failure.message.find(input) == std::string::npos)
            failure.message = input + ": " + failure.message;
        Report(failure);
        if (failure.code == kExitUsage || failure.code == kExitCancelled || Interrupted()) return failure.code;
        code = kExitFailure;
    }
    return code;
}

// ---- info ----

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
    std::printf("\nParameters (%zu)\n  %-18s %-5s %-5s %-14s %s\n", terms.parameters.size(), "name", "key", "type",
                "range", "factory");
    for (const filterhost::TermParameter& parameter : terms.parameters) {
        std::string range = "values below";
        const ParameterInfo* entry = ParameterEntry(parameter.key);
        if (parameter.type == typeInteger || parameter.type == typeBoolean)
            range = !entry                                  ? "any integer"
                    : entry->kind == ParamKind::boolean ? "on or off"
                                                        : std::to_string(entry->minimum) + " to " +
                                                              std::to_string(entry->maximum);
        std::printf("  %-18s %-5s %-5s %-14s %s\n", parameter.name.c_str(), CodeText(parameter.key).c_str(),
                    CodeText(parameter.type).c_str(), range.c_str(), entry ? FactoryText(terms, *entry).c_str() : "");
    }
    for (const filterhost::TermEnumeration& enumeration : terms.enumerations) {
        std::printf("\nEnumeration %s (%zu values)\n", CodeText(enumeration.type).c_str(), enumeration.values.size());
        for (const filterhost::TermEnumValue& value : enumeration.values)
            std::printf("  %-5s %s\n", CodeText(value.key).c_str(), value.name.c_str());
    }
    return kExitOk;
}

// ---- about ----

// The texts of the module's about box, from its dialog resource: the lines
// 'static ID X Y W H "TEXT"' that are neither pictures nor hidden.
std::vector<std::string> AboutTexts(const filterhost::Host& host) {
    std::vector<std::string> texts;
    for (const filterhost::Resource& resource : host.Resources()) {
        if (resource.name != "ABOUTBOX") continue;
        std::istringstream in(std::string(resource.bytes.begin(), resource.bytes.end()));
        for (std::string line; std::getline(in, line);) {
            const std::size_t open = line.find('"'), close = line.rfind('"');
            if (!line.starts_with("static ") || open == close || close == std::string::npos) continue;
            const std::string rest = line.substr(close + 1);
            if (rest.find("bitmap") != std::string::npos || rest.find("hidden") != std::string::npos) continue;
            texts.push_back(line.substr(open + 1, close - open - 1));
        }
    }
    return texts;
}

// Whether the X display named by DISPLAY answers within a second: a dead server, or
// an address that takes connections but never answers, would otherwise leave the
// dialog toolkit waiting. Sends the X connection setup and waits for the first byte
// of any reply. Empty when the server answers, else why not.
std::string ProbeDisplay(const std::string& display) {
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos) return "no display number";
    const std::string host = display.substr(0, colon);
    const int number = std::atoi(display.c_str() + colon + 1);
    int fd = -1;
    if (host.empty() || host == "unix") {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%d", number);
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            const std::string reason = std::strerror(errno);
            if (fd >= 0) ::close(fd);
            return reason;
        }
    } else {
        addrinfo hints{}, *found = nullptr;
        hints.ai_socktype = SOCK_STREAM;
        if (::getaddrinfo(host.c_str(), std::to_string(6000 + number).c_str(), &hints, &found) != 0 || !found)
            return "unknown host " + host;
        fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        int result = fd < 0 ? -1 : ::connect(fd, found->ai_addr, found->ai_addrlen);
        int failure = result == 0 ? 0 : errno;
        ::freeaddrinfo(found);
        if (result != 0 && failure == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            failure = ETIMEDOUT;
            socklen_t length = sizeof failure;
            if (::poll(&wait, 1, 1000) == 1) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length);
        }
        if (failure != 0) {
            if (fd >= 0) ::close(fd);
            return std::strerror(failure);
        }
    }
    // Byte order, protocol 11.0, no authorisation: an X server answers, if only to
    // refuse, with 0 (failed), 1 (success) or 2 (authenticate) and, for the first two,
    // its major version 11 in our byte order.
    static const uint8_t setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    pollfd wait{fd, POLLIN, 0};
    uint8_t answer[4] = {};
    const bool answered = ::send(fd, setup, sizeof setup, MSG_NOSIGNAL) == ssize_t(sizeof setup) &&
                          ::poll(&wait, 1, 1000) == 1 && ::recv(fd, answer, sizeof answer, MSG_WAITALL) == 4;
    ::close(fd);
    const bool x = answered && (answer[0] == 2 || (answer[0] <= 1 && answer[2] == 11 && answer[3] == 0));
    return x ? std::string() : "no X server answers";
}

// The about box as a dialog where one can be shown, else as text.
Failure About(filterhost::Host& host) {
    const char* choice = std::getenv("TESSELUME_UI");
    const char* display = std::getenv("DISPLAY");
    const bool haveDisplay = display && *display;
    const bool dialog = choice ? std::string(choice) == "sdl" && haveDisplay : haveDisplay;
    if (dialog) {
        if (const std::string fault = ProbeDisplay(display); !fault.empty())
            return Fault(std::string("cannot open the display ") + display + ": " + fault);
        const OSErr result = host.About();
        if (result != noErr) return Fault("the about box failed (result " + std::to_string(result) + ")");
        return {};
    }
    std::string name = host.Properties().name;
    while (name.ends_with(".")) name.pop_back();  // the menu name ends in "..."
    std::printf("%s %s\n", name.c_str(), TESSELUME_VERSION);
    for (const std::string& text : AboutTexts(host)) std::printf("%s\n", text.c_str());
    std::printf("\nThe command line reads and writes images with libpng, libjpeg, libtiff, libwebp,\n"
                "libdeflate and Exiv2.\n");
    return {};
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    CatchSignals();
    const std::string first = argc > 1 ? argv[1] : "";
    if (first.empty() || first == "--help" || first == "-h" || first == "help") {
        std::fputs(MainHelp().c_str(), first.empty() ? stderr : stdout);
        return first.empty() ? kExitUsage : kExitOk;
    }
    if (first == "--version") {
        std::printf("tesselume %s\n", TESSELUME_VERSION);
        return kExitOk;
    }
    // For scripts/make-docs: the manual page and completion come from the option table.
    if (first == "--man-page" || first == "--bash-completion") {
        std::fputs((first == "--man-page" ? ManualPage() : BashCompletion()).c_str(), stdout);
        return kExitOk;
    }
    const CommandInfo* command = FindCommand(first);
    if (!command) {
        std::string names;
        for (const CommandInfo& c : CommandTable()) names += (names.empty() ? "" : ", ") + std::string(c.name);
        return Report(Usage("unknown command \"" + first + "\"; the commands are " + names));
    }

    CommandLine line;
    if (const Failure failure = ParseCommandLine(*command, argc, argv, line); failure.Failed()) return Report(failure);
    if (line.flags.count("--help")) {
        std::fputs(CommandHelp(*command).c_str(), stdout);
        return kExitOk;
    }
    if (first == "export-psd") return RunExportPsd(line);
    if (first == "catalogue") return Catalogue(line);
    if (first == "render" || first == "apply") {
        try {
            return RunFilter(line);
        } catch (const std::bad_alloc&) {
            return Report(Fault("out of memory"));
        }
    }
    if (!line.inputs.empty()) return Report(Usage(first + " takes no file: " + line.inputs[0]));

    std::unique_ptr<filterhost::Host> host;
    if (const Failure failure = LoadModule(line, host); failure.Failed()) return Report(failure);
    if (first == "info") return Info(*host);
    return Report(About(*host));
}

}  // namespace tesselume
