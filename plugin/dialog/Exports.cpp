// The exports started from the main dialog. The presets page (150) asks for the
// source folder and the page's name, writes the page and shows it; the PSD
// export (117) is not built here.
#include "dialog/Exports.h"

#include <cstring>
#include <string>

#include "PIFilter.h"
#include "dialog/MainDialog.h"
#include "export/HtmlPages.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialogs.h"
#include "settings/Settings.h"

namespace {

constexpr int kPresetsPageButton = 150;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void Remember(char (&to)[kPathCapacity], const std::string& text) {
    if (text.size() < kPathCapacity) std::memcpy(to, text.c_str(), text.size() + 1);
}

ui::FileDialogOptions PageOptions(MainDialog& dialog, const char* title) {
    ui::FileDialogOptions options;
    options.title = title;
    const FilterRecord* record = dialog.host.filterRecord;
    options.parent = record && record->platformData ? record->platformData->hwnd : nullptr;
    return options;
}

void WritePresetsPageFromDialog(MainDialog& dialog) {
    Settings& settings = *dialog.settings;
    ui::FileDialogOptions source = PageOptions(dialog, "Choose any file in the source folder");
    source.folder = settings.settingsFolder;
    const std::string anyFile = ui::ChooseFileToOpen(source);
    if (anyFile.empty()) return;
    ui::FileDialogOptions target = PageOptions(dialog, "Save an HTML page");
    target.types = {{"HTML files (*.html)", "*.html"}};
    target.folder = settings.pagesFolder;
    target.name = "Tesselume presets.html";
    const std::string page = ui::ChooseFileToSave(target);
    if (page.empty()) return;
    Remember(settings.pagesFolder, FolderOf(page));

    ui::SetCursor(ui::WaitCursor());
    int presets = 0;
    if (WritePresetsPage(FolderOf(anyFile).c_str(), page.c_str(), presets) == noErr)
        ui::OpenWithDefaultProgram(page);
    ui::SetCursor(ui::ArrowCursor());
}

}  // namespace

bool ExportClick(MainDialog& dialog, int id) {
    if (id != kPresetsPageButton || dialog.exportBusy) return false;
    dialog.exportBusy = true;
    WritePresetsPageFromDialog(dialog);
    dialog.exportBusy = false;
    return false;
}
