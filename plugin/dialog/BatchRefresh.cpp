// The batch refresh of preset thumbnails.
#include "dialog/BatchRefresh.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "dialog/Exports.h"
#include "dialog/MainDialog.h"
#include "dialog/PresetDialogs.h"
#include "platform/Files.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"
#include "settings/StoredState.h"

namespace {

namespace fs = std::filesystem;

bool Marked(const std::string& name) {
    return name.find("q9q") != std::string::npos || name.find("q5q") != std::string::npos;
}

// Read-only files are left alone: no write permission bit (which binds even the
// superuser here), or none for us.
bool Writable(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && (status.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// The marked files that are neither folders nor read-only, listed before any is
// renamed, so a renamed file is not met twice.
std::vector<fs::path> MarkedFiles(const std::string& folder) {
    std::vector<fs::path> files;
    std::error_code fault;
    for (fs::directory_iterator entries(folder, fault), end; !fault && entries != end; entries.increment(fault)) {
        std::error_code unreadable;
        if (entries->is_directory(unreadable) || !Marked(entries->path().filename().string())) continue;
        if (Writable(entries->path())) files.push_back(entries->path());
    }
    return files;
}

// Factory settings, then the file's; when it loaded whole: the preview, a new
// thumbnail, the file saved back (whole or not at all) and a "q9q" name marked done.
void RefreshFile(MainDialog& dialog, const fs::path& path) {
    Settings& settings = *dialog.settings;
    FactoryReset(settings);
    bool thumbnailRead = false;
    const OSErr loaded = LoadSettingsFile(settings, dialog.host.thumbnail, path.c_str(), PresetsRead::everything,
                                          thumbnailRead);
    const std::string name = path.filename().string();
    if (name.size() < kPathCapacity) std::memcpy(settings.settingsFileName, name.c_str(), name.size() + 1);
    SettingsToControls(dialog);
    ShowPresetName(dialog);
    if (loaded != noErr) return;
    RefreshPreview(dialog);
    RenewThumbnail(dialog.host.thumbnail, settings);
    if (SaveSettingsFile(settings, dialog.host.thumbnail, path.c_str()) != noErr) return;
    if (name.find("q9q") != std::string::npos) {
        fs::path done = path;
        done.replace_extension(".q5q");
        // A file already under that name is kept: this one stays refreshed under its own.
        if (done != path) platform::MoveWithoutReplacing(path.c_str(), done.c_str());
    }
}

}  // namespace

bool RefreshPresetThumbnails(MainDialog& dialog) {
    const std::string anyFile = ChooseFileInSourceFolder(dialog);
    if (anyFile.empty()) return false;
    Settings& settings = *dialog.settings;
    // The presets pass through the dialog's settings and thumbnail; without the
    // scratch dot to bring the thumbnail back the batch does not start.
    if (SaveMemoryDot(settings, dialog.host.thumbnail, kScratchDot) != noErr) return false;
    const Settings before = settings;

    ui::SetCursor(ui::WaitCursor());
    for (const fs::path& path : MarkedFiles(fs::path(anyFile).parent_path().string())) RefreshFile(dialog, path);
    // The settings and the name on show come back from memory, the thumbnail with
    // the settings from the scratch dot.
    settings = before;
    LoadMemoryDot(settings, dialog.host.thumbnail, kScratchDot);
    SettingsToControls(dialog);
    ShowPresetName(dialog);
    ui::SetCursor(ui::ArrowCursor());
    return true;
}
