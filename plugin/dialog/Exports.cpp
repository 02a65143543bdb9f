// The exports started from the main dialog. Their buttons are placed and drawn by
// the dialog; the PSD export runs under its own progress window, the presets page
// is not built yet.
#include "dialog/Exports.h"

#include "dialog/MainDialog.h"
#include "dialog/ProgressWindow.h"
#include "export/PsdExport.h"
#include "store/ImageStore.h"

bool ExportClick(MainDialog& dialog, int id) {
    if (id != controlid::kPsd || !dialog.host.filterRecord || !dialog.settings) return false;
    // The export renders the settings as they stand over the whole filter rectangle;
    // it changes neither them nor the preview, whatever its outcome.
    const FilterRecord& record = *dialog.host.filterRecord;
    const PsdExportJob job{dialog.settings, record.filterRect, &record,
                           dialog.host.thumbnail ? dialog.host.thumbnail->weightTable : nullptr, nullptr};
    ExportPsdFromDialog(job, *dialog.settings, dialog.window);
    return false;
}
