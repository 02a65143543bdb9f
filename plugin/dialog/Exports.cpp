// The exports started from the main dialog: the PSD export (117) runs under its own
// progress window; the presets page (150) asks for the source folder and the page's
// name, writes the page and shows it.
#include "dialog/Exports.h"

#include <cstring>
#include <string>

#include "PIFilter.h"
#include "dialog/MainDialog.h"
#include "dialog/ProgressWindow.h"
#include "export/PsdExport.h"
#include "export/HtmlPages.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FileDialogs.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"

namespace {

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
    if (dialog.exportBusy || !dialog.settings) return false;
    if (id == controlid::kPsd && dialog.host.filterRecord) {
        // The export renders the settings as they stand over the whole filter rectangle;
        // it changes neither them nor the preview, whatever its outcome.
        const FilterRecord& record = *dialog.host.filterRecord;
        const PsdExportJob job{dialog.settings, record.filterRect, &record,
                               dialog.host.thumbnail ? dialog.host.thumbnail->weightTable : nullptr, nullptr};
        ExportPsdFromDialog(job, *dialog.settings, dialog.window);
        return false;
    }
    if (id != controlid::kPresetsPage) return false;
    dialog.exportBusy = true;
    WritePresetsPageFromDialog(dialog);
    dialog.exportBusy = false;
    return false;
}
