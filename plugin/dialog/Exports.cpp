// The exports started from the main dialog: the PSD export (117) runs under its own
// progress window; the presets page (150) asks for the source folder and the page's
// name, the memory-dots page (right-click on the extra dot 119) for the page's name;
// each writes its page and shows it. A Ctrl-click on the extra dot starts the batch
// refresh of preset thumbnails. While a page or the batch runs, the export-busy flag
// keeps OK, Cancel and a second export away.
#include "dialog/Exports.h"

#include <cstring>
#include <string>

#include "PIFilter.h"
#include "dialog/BatchRefresh.h"
#include "dialog/MainDialog.h"
#include "dialog/ProgressWindow.h"
#include "export/DotsPage.h"
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

// The page's name, offered as offeredName in the pages' folder; empty when cancelled.
std::string ChoosePagePath(MainDialog& dialog, const char* offeredName) {
    Settings& settings = *dialog.settings;
    ui::FileDialogOptions target = FileDialogOver(dialog, "Save an HTML page");
    target.types = {{"HTML files (*.html)", "*.html"}};
    target.folder = settings.pagesFolder;
    target.name = offeredName;
    const std::string page = ui::ChooseFileToSave(target);
    if (!page.empty()) Remember(settings.pagesFolder, FolderOf(page));
    return page;
}

// Writes a page under the wait cursor and shows it when it is complete.
template <typename Write>
void WritePageAndShow(const std::string& page, Write write) {
    ui::SetCursor(ui::WaitCursor());
    if (write(page.c_str()) == noErr) ui::OpenWithDefaultProgram(page);
    ui::SetCursor(ui::ArrowCursor());
}

void WritePresetsPageFromDialog(MainDialog& dialog) {
    const std::string anyFile = ChooseFileInSourceFolder(dialog);
    if (anyFile.empty()) return;
    const std::string page = ChoosePagePath(dialog, "Tesselume presets.html");
    if (page.empty()) return;
    WritePageAndShow(page, [&](const char* path) {
        int presets = 0;
        return WritePresetsPage(FolderOf(anyFile).c_str(), path, presets);
    });
}

void WriteDotsPageFromDialog(MainDialog& dialog) {
    const FilterRecord& record = *dialog.host.filterRecord;
    DotsPageJob job{dialog.settings, {}, record.filterRect, ImageFormatOf(record), dialog.host.weights};
    for (int n = 0; n < kMemoryDotCount; ++n) job.filled[n] = dialog.dots.state[n] != DotState::empty;
    const std::string page = ChoosePagePath(dialog, "Tesselume memory dots.html");
    if (page.empty()) return;
    WritePageAndShow(page, [&](const char* path) {
        int dots = 0;
        return WriteMemoryDotsPage(job, path, dots);
    });
}

}  // namespace

ui::FileDialogOptions FileDialogOver(MainDialog& dialog, const char* title) {
    ui::FileDialogOptions options;
    options.title = title;
    const FilterRecord* record = dialog.host.filterRecord;
    options.parent = record && record->platformData ? record->platformData->hwnd : nullptr;
    return options;
}

std::string ChooseFileInSourceFolder(MainDialog& dialog) {
    ui::FileDialogOptions source = FileDialogOver(dialog, "Choose any file in the source folder");
    source.folder = dialog.settings->settingsFolder;
    return ui::ChooseFileToOpen(source);
}

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
    const bool extraDot = id == controlid::kExtraDot && dialog.dots.pins;
    const bool dotsPage = extraDot && dialog.rightButton && dialog.host.filterRecord;
    // The batch saves each preset with a new thumbnail: without a thumbnail image it
    // would strip them.
    const ImageStore* thumbnail = dialog.host.thumbnail;
    const bool batch = extraDot && dialog.ctrl && thumbnail && thumbnail->tileCount > 0;
    if (id != controlid::kPresetsPage && !dotsPage && !batch) return false;
    dialog.exportBusy = true;
    bool refresh = false;
    if (id == controlid::kPresetsPage) WritePresetsPageFromDialog(dialog);
    if (dotsPage) WriteDotsPageFromDialog(dialog);
    if (batch) refresh = RefreshPresetThumbnails(dialog);
    dialog.exportBusy = false;
    return refresh;
}
