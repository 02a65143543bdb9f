// Module templates over the host's window, and dialog placement.
#include "dialog/ModuleDialog.h"

#include "host/HostUtil.h"
#include "host/ModuleResources.h"

void CenterDialog(ui::Window* window) {
    const PIWindowGeometry parent = ui::ParentGeometry(window);
    const ui::Size outer = ui::OuterSize(window);
    const WindowPlacement at = CenterDialogRect(&parent, outer.width, outer.height, ui::HasSystemMenu(window));
    ui::MoveWindow(window, at.x, at.y);
}

intptr_t NoticeProc(ui::Window* window, const ui::Message& message) {
    if (message.kind == ui::MessageKind::Initialise) CenterDialog(window);
    if (message.kind == ui::MessageKind::Command) ui::EndDialog(window, message.id);
    return 0;
}

intptr_t RunModuleDialog(const char* templateName, ui::DialogProc proc, intptr_t param) {
    ui::SetResourceLookup([](std::uint32_t type, std::int32_t id) { return FindResource(type, id); });
    const FilterRecord* record = Current().filterRecord;
    const PIWindowGeometry* parent = record && record->platformData ? record->platformData->hwnd : nullptr;
    return ui::RunDialog(FindResource(ui::kDialogResource, templateName), parent, proc, param);
}
