// export-psd: the module's own PSD export, asked for through the descriptor with
// the file as an alias, so that no one needs to be at the dialog.
#include <cctype>
#include <filesystem>
#include <string>

#include "CommandParts.h"
#include "Progress.h"

namespace tesselume {

const char* const kExportPsdHelp =
    "Usage: tesselume export-psd [IN] -o OUT.psd [--size WxH] [--depth 8|16]\n"
    "                            [--mask FILE | --select X,Y,W,H] [PARAMETERS]\n"
    "\n"
    "Writes the pattern as a layered PSD document, as the dialog's PSD button does:\n"
    "one transparent layer \"layer 1\" and the merged image over a checkerboard, the\n"
    "size of the filtered area (the selection's box), 8 or 16 bits as the image is.\n"
    "Without IN, the canvas of \"render\" (--size, --depth). The image is not changed.\n"
    "  -o, --output OUT.psd    the document to write\n"
    "  --mask FILE, --select X,Y,W,H   the area, as for apply\n"
    "(--record, --save-preset and --dialog do not apply here.)\n";

namespace {

// The module's key for an export step's file.
constexpr OSType kExportPsdKey = PIFourCC("PSDf");

bool EndsWithPsd(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".psd";
}

}  // namespace

int RunExportPsd(const CommandLine& line) {
    const std::string output = Value(line, "--output");
    if (output.empty()) return Report(Usage("-o OUT.psd is required (see tesselume export-psd --help)"));
    if (!EndsWithPsd(output)) return Report(Usage("export-psd writes a .psd file, not " + output));
    if (line.inputs.size() > 1) return Report(Usage("export-psd takes at most one input file"));
    const bool canvas = line.inputs.empty();
    if (!canvas && (line.values.count("--size") || line.values.count("--depth")))
        return Report(Usage("--size and --depth shape the canvas; they do not apply to " + line.inputs[0]));

    PreparedRun run;
    if (const Failure failure = PrepareRun(line, canvas, run); failure.Failed()) return Report(failure);
    filterhost::Job& job = run.job;
    // Always a descriptor: no parameters means the factory settings, as for render.
    job.play = run.descriptor;
    std::error_code ignored;
    job.playAliases = {{kExportPsdKey, std::filesystem::absolute(output, ignored).string()}};
    job.playInfo = plugInDialogDontDisplay;

    CatchInterrupt();
    std::string error;
    const filterhost::RunReport report = run.host->Run(run.file.image, job, error);
    switch (report.result) {
    case noErr: return kExitOk;
    case userCanceledErr:
        if (Interrupted()) return Report({kExitInterrupted, "interrupted; " + output + " not written"});
        return Report(Fault("cancelled; " + output + " not written"));
    case 99: return Report(Fault("cannot write " + output));
    case -99: return Report(Fault("not enough memory for the export; " + output + " not written"));
    default:
        return Report(Fault("the export failed (result " + std::to_string(report.result) + ")" +
                            (error.empty() ? "" : ": " + error) + "; " + output + " not written"));
    }
}

}  // namespace tesselume
