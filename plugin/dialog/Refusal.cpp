// The refusal alerts.
#include "dialog/Refusal.h"

#include "dialog/ModuleDialog.h"

void ShowRefusal(const char* templateName) { RunModuleDialog(templateName, NoticeProc, 0); }
