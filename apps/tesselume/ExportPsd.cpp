// export-psd: the module's own PSD export, asked for through the descriptor with
// the file as an alias, so that no one needs to be at the dialog.
//
// The module completes a cancelled document from what it had rendered; the program
// gives all or nothing. So the module writes into a temporary of the program's, in a
// private folder that goes, with any temporary of the module's inside it, when the
// export does not succeed or a signal ends the program.
#include <cctype>
#include <filesystem>
#include <string>

#include "CommandParts.h"
#include "OutputFile.h"
#include "settings/Settings.h"

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
    job.playInfo = plugInDialogDontDisplay;

    platform::PendingFileOptions options = kOutputFile;
    options.inOwnFolder = true;
    platform::PendingFile pending(options);
    std::string error;
    if (!pending.Open(output, error)) return Report(Fault("cannot write " + output + ": " + error));
    std::error_code ignored;
    const std::string temp = std::filesystem::absolute(pending.TempPath(), ignored).string();
    // The module takes a path of fewer than kPathCapacity bytes and ignores a longer one.
    if (temp.size() >= std::size_t(kPathCapacity))
        return Report(Fault("the path " + output + " is too long for the module; not written"));
    job.playAliases = {{kExportPsdKey, temp}};

    filterhost::RunReport report;
    {
        DeferSignals defer;  // the module stops through abortProc
        report = run.host->Run(run.file.image, job, error);
    }
    if (Interrupted()) return Report({InterruptedExitCode(), "interrupted; " + output + " not written"});
    switch (report.result) {
    case noErr:
        if (!pending.Commit(error)) return Report(Fault("cannot write " + output + ": " + error));
        return kExitOk;
    case userCanceledErr: return Report(Fault("cancelled; " + output + " not written"));
    case 99: return Report(Fault("cannot write " + output));
    case writErr: return Report(Fault("cannot write " + output + ": a write failed (is the disk full?)"));
    case -99: return Report(Fault("not enough memory for the export; " + output + " not written"));
    default:
        return Report(Fault("the export failed (result " + std::to_string(report.result) + ")" +
                            (error.empty() ? "" : ": " + error) + "; " + output + " not written"));
    }
}

}  // namespace tesselume
