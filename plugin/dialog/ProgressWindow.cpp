// The export progress window and the dialog's PSD export.
#include "dialog/ProgressWindow.h"

#include <cstdio>
#include <string>

#include "dialog/ModuleDialog.h"
#include "export/PsdExport.h"
#include "platform/ui/FileDialogs.h"
#include "settings/Settings.h"

namespace {

constexpr int kPercentText = 2;
constexpr int kCancelButton = 4;
constexpr int kJobTimer = 993;
constexpr std::uint32_t kJobDelayMs = 1000;

// The window's state for one export; only one window is open at a time.
struct ProgressState {
    const PsdExportJob* exportJob;
    ui::Window* window = nullptr;
    bool cancel = false;
    bool ran = false;
    int32_t shown = -1;  // the percentage on show
    OSErr result = kExportCancelled;
};

ProgressState* openWindow = nullptr;

void ShowProgress(void* context, int32_t done, int32_t total) {
    auto& job = *static_cast<ProgressState*>(context);
    // One pass: ((pass x total + done) x 100) / (passes x total) with pass 0.
    const int32_t percent = total > 0 ? int32_t(int64_t(done) * 100 / total) : 0;
    if (percent == job.shown || job.cancel) return;
    job.shown = percent;
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", int(percent));
    ui::SetControlText(job.window, kPercentText, text);
    ui::InvalidateControl(job.window, kPercentText);
    ui::UpdateWindow(job.window);
}

// Lets the window take the user's input; a Cancel sets the flag for good.
bool Cancelled(void* context) {
    auto& job = *static_cast<ProgressState*>(context);
    if (!job.cancel) ui::ProcessInput(job.window);
    return job.cancel;
}

void ShowCancelling(void* context) {
    auto& job = *static_cast<ProgressState*>(context);
    ui::SetControlText(job.window, kPercentText, "Cancelling...");
    ui::InvalidateControl(job.window, kPercentText);
    ui::UpdateWindow(job.window);
}

intptr_t ProgressProc(ui::Window* window, const ui::Message& message) {
    auto& job = *reinterpret_cast<ProgressState*>(ui::UserData(window));
    switch (message.kind) {
        case ui::MessageKind::Initialise:
            CenterDialog(window);
            ui::SetCursor(ui::WaitCursor());
            job.cancel = false;
            ui::SetTimer(window, kJobTimer, kJobDelayMs);
            return 0;
        case ui::MessageKind::Timer: {
            if (message.id != kJobTimer) return 0;
            ui::KillTimer(window, kJobTimer);
            job.ran = true;
            const ExportWatch watch{&job, ShowProgress, Cancelled, ShowCancelling};
            job.result = ExportPsd(*job.exportJob, watch);
            ui::SetCursor(ui::ArrowCursor());
            ui::EndDialog(window, 1);
            return 0;
        }
        case ui::MessageKind::Command:
            // While the job runs this comes from ProcessInput: the job stops at its next look.
            if (message.id != kCancelButton && message.id != ui::kIdCancel) return 0;
            job.cancel = true;
            if (!job.ran) {
                ui::SetCursor(ui::ArrowCursor());
                ui::EndDialog(window, 1);
            }
            return 0;
        case ui::MessageKind::Close:
            job.cancel = true;
            if (!job.ran) {
                ui::SetCursor(ui::ArrowCursor());
                ui::EndDialog(window, 1);
            }
            return 1;
        default:
            return 0;
    }
}

// The progress window keeps its job in its user data from the first message on.
intptr_t ProgressEntry(ui::Window* window, const ui::Message& message) {
    if (message.kind == ui::MessageKind::Initialise) {
        ui::SetUserData(window, message.param);
        reinterpret_cast<ProgressState*>(message.param)->window = window;
    }
    return ProgressProc(window, message);
}

}  // namespace

OSErr RunExportWithProgress(const PsdExportJob& exportJob) {
    if (openWindow) return kExportCancelled;
    ProgressState job{&exportJob};
    openWindow = &job;
    RunModuleDialog("MONDO_PROGRESS", ProgressEntry, reinterpret_cast<intptr_t>(&job));
    openWindow = nullptr;
    return job.ran ? job.result : kExportCancelled;
}

OSErr ExportPsdFromDialog(PsdExportJob job, Settings& settings, ui::Window* dialog) {
    ui::FileDialogOptions options;
    options.title = "Save a PSD file";
    options.types = {{"Photoshop files (*.psd)", "*.psd"}};
    options.folder = settings.psdFolder;
    options.name = "Tesselume result.psd";
    // The file dialog centres over the main dialog.
    PIWindowGeometry over{};
    if (dialog) {
        over = ui::ParentGeometry(dialog);
        const ui::Position at = ui::WindowPosition(dialog);
        const ui::Size outer = ui::OuterSize(dialog);
        over.parent = VRect{at.y, at.x, at.y + outer.height, at.x + outer.width};
        options.parent = &over;
    }
    const std::string path = ui::ChooseFileToSave(options);
    if (path.empty() || path.size() >= std::size_t(kPathCapacity)) return kExportCancelled;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    std::snprintf(settings.psdFolder, sizeof settings.psdFolder, "%s", folder.c_str());

    const int32_t kind = settings.exportKind;
    settings.exportKind = 6;
    job.settings = &settings;
    job.path = path.c_str();
    const OSErr result = RunExportWithProgress(job);
    settings.exportKind = kind;
    // A cancel has its document in place; any other failure left none, and says so.
    if (result != noErr && result != kExportCancelled) RunModuleDialog("PSDFAILED", NoticeProc, 0);
    return result;
}
