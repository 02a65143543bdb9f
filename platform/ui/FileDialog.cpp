// The file dialogs, built from a template of the toolkit's own.
#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Internal.h"

namespace ui {

namespace {

namespace fs = std::filesystem;

enum : int { kFolderText = 11, kEntries = 12, kName = 14, kTypes = 16 };

struct FileDialogRun {
    const FileDialogOptions* options;
    bool saving;
    fs::path folder;
    std::vector<std::string> entries;  // as listed: "..", folders ending in '/', files
    std::string chosen;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string TemplateText(const FileDialogRun& run) {
    return "dialog 0 0 280 172\n"
           "caption " + Quoted(run.options->title) + "\n"
           "font \"MS Sans Serif\" 8\n"
           "style sysmenu\n"
           "static 10 7 7 40 10 \"Look in:\"\n"
           "static 11 50 7 223 10 \"\"\n"
           "listbox 12 7 20 266 108 \"\"\n"
           "static 13 7 136 50 10 \"File &name:\"\n"
           "edit 14 60 134 150 12 \"\" border\n"
           "static 15 7 153 50 10 \"Files of &type:\"\n"
           "combobox 16 60 151 150 12 \"\"\n"
           "button 1 218 133 55 14 " + std::string(run.saving ? "\"&Save\"" : "\"&Open\"") + " default\n"
           "button 2 218 151 55 14 \"Cancel\"\n";
}

bool Matches(const std::string& patterns, const std::string& name) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = patterns.find(';', start);
        const std::string pattern = patterns.substr(start, end - start);
        if (!pattern.empty() && fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

void List(Window* window, FileDialogRun& run) {
    std::error_code error;
    run.folder = fs::absolute(run.folder, error).lexically_normal();
    std::vector<std::string> folders, files;
    const int type = Selection(window, kTypes);
    const std::string patterns = type >= 0 ? run.options->types[std::size_t(type)].pattern : "*";
    for (fs::directory_iterator it(run.folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code statError;
        if (it->is_directory(statError)) folders.push_back(name + "/");
        else if (Matches(patterns, name)) files.push_back(name);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    run.entries.clear();
    if (run.folder.has_relative_path()) run.entries.push_back("..");
    run.entries.insert(run.entries.end(), folders.begin(), folders.end());
    run.entries.insert(run.entries.end(), files.begin(), files.end());
    ClearItems(window, kEntries);
    for (const std::string& entry : run.entries) AddItem(window, kEntries, entry);
    SetControlText(window, kFolderText, run.folder.string());
}

void EnterFolder(Window* window, FileDialogRun& run, const fs::path& folder) {
    run.folder = folder;
    List(window, run);
    SetControlText(window, kName, "");
    SetFocus(window, kName);
}

// Acts on a name typed or picked: a folder is entered, an acceptable file ends the
// dialog. True when something happened.
bool Accept(Window* window, FileDialogRun& run, std::string name) {
    if (name.empty()) return false;
    std::error_code error;
    const fs::path path = (run.folder / name).lexically_normal();
    if (fs::is_directory(path, error)) {
        EnterFolder(window, run, path);
        return true;
    }
    if (run.saving) {
        if (!fs::is_directory(path.parent_path(), error)) return false;
        fs::path named = path;
        const int type = Selection(window, kTypes);
        const std::string pattern = type >= 0 ? run.options->types[std::size_t(type)].pattern : "";
        if (!named.has_extension() && pattern.rfind("*.", 0) == 0 && pattern.find(';') == std::string::npos)
            named += pattern.substr(1);
        run.chosen = named.string();
    } else {
        if (!fs::is_regular_file(path, error)) return false;
        run.chosen = path.string();
    }
    EndDialog(window, kIdOk);
    return true;
}

std::string Picked(const FileDialogRun& run, Window* window) {
    const int item = Selection(window, kEntries);
    return item >= 0 ? run.entries[std::size_t(item)] : std::string();
}

intptr_t FileDialogProc(Window* window, const Message& message) {
    auto& run = *reinterpret_cast<FileDialogRun*>(message.kind == MessageKind::Initialise ? message.param
                                                                                          : UserData(window));
    switch (message.kind) {
        case MessageKind::Initialise: {
            SetUserData(window, message.param);
            const PIWindowGeometry parent = ParentGeometry(window);
            const Size outer = OuterSize(window);
            MoveWindow(window, parent.parent.left + (parent.parent.right - parent.parent.left - outer.width) / 2,
                       parent.parent.top + (parent.parent.bottom - parent.parent.top - outer.height) / 3);
            for (const FileType& type : run.options->types) AddItem(window, kTypes, type.label);
            SetSelection(window, kTypes, run.options->types.empty() ? -1 : 0);
            List(window, run);
            SetControlText(window, kName, run.options->name);
            SetFocus(window, kName);
            return 0;
        }
        case MessageKind::Command:
            if (message.id == kEntries && message.code == kSelectionChanged) {
                const std::string entry = Picked(run, window);
                if (!entry.empty() && entry != ".." && entry.back() != '/') SetControlText(window, kName, entry);
            } else if (message.id == kEntries && message.code == kDoubleClicked) {
                Accept(window, run, Picked(run, window));
            } else if (message.id == kTypes && message.code == kSelectionChanged) {
                List(window, run);
            } else if (message.id == kIdOk && message.code == kClicked) {
                // Enter in the listing opens the folder picked there; otherwise the name counts.
                const std::string entry = Picked(run, window);
                if (FocusedControl(window) == kEntries && (entry == ".." || (!entry.empty() && entry.back() == '/')))
                    Accept(window, run, entry);
                else
                    Accept(window, run, ControlText(window, kName));
            } else if (message.id == kIdCancel) {
                EndDialog(window, kIdCancel);
            }
            return 0;
        default:
            return 0;
    }
}

std::string Choose(const FileDialogOptions& options, bool saving) {
    FileDialogRun run{&options, saving, {}, {}, {}};
    std::error_code error;
    run.folder = !options.folder.empty() && fs::is_directory(options.folder, error) ? fs::path(options.folder)
                                                                                    : fs::current_path(error);
    const std::string text = TemplateText(run);
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return RunDialog(bytes, options.parent, FileDialogProc, reinterpret_cast<intptr_t>(&run)) == kIdOk ? run.chosen
                                                                                                      : std::string();
}

}  // namespace

std::string ChooseFileToOpen(const FileDialogOptions& options) { return Choose(options, false); }

std::string ChooseFileToSave(const FileDialogOptions& options) { return Choose(options, true); }

bool OpenWithDefaultProgram(const std::string& path) { return TheBackend().OpenWithDefaultProgram(path); }

}  // namespace ui
