// The exports started from the main dialog. Their buttons are placed and drawn by
// the dialog; the exports themselves are not built yet.
#include "dialog/Exports.h"

bool ExportClick(MainDialog&, int) { return false; }
