// export-psd: the module's own PSD export, asked for through the descriptor with
// the file as an alias, so that no one needs to be at the dialog.
#include <cctype>
#include <filesystem>
#include <string>

#include "CommandParts.h"
#include "OutputFile.h"

namespace tesselume {

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

    std::string error;
    filterhost::RunReport report;
    {
        DeferSignals defer;  // the module stops through abortProc and removes its file
        report = run.host->Run(run.file.image, job, error);
    }
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
