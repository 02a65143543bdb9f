// Module templates over the host's window, and dialog placement.
#include "dialog/ModuleDialog.h"

#include <algorithm>

#include "dialog/ModuleResources.h"
#include "store/HostUtil.h"

WindowPlacement CenterDialogRect(const PIWindowGeometry* parent, int32_t width, int32_t height, bool hasSystemMenu) {
    // The caption-button width of the home platform's default metrics.
    constexpr int32_t kCaptionButtonWidth = 36;
    const int32_t screenWidth = parent ? parent->screenWidth : 0;
    const int32_t screenHeight = parent ? parent->screenHeight : 0;
    const VRect frame = parent ? parent->parent : VRect{0, 0, screenHeight, screenWidth};
    int32_t offset = kCaptionButtonWidth;
    if (!hasSystemMenu) offset -= offset / 3;
    const int32_t parentWidth = frame.right - frame.left, parentHeight = frame.bottom - frame.top;
    int32_t x = frame.left + std::max(0, parentWidth - width) / 2 - offset;
    if (x + width > screenWidth) x = std::max(0, screenWidth - width);
    int32_t y = frame.top + std::max(0, parentHeight - height) / 3;
    if (y + height > screenHeight) y = std::max(0, screenHeight - height);
    return {x, y};
}

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
