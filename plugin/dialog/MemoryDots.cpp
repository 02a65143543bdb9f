// The memory dots. They are drawn empty by the main dialog; storing and recalling
// settings in them is not built yet.
#include "dialog/MemoryDots.h"

#include "dialog/MainDialog.h"

namespace {

constexpr int kEmptyDot = 203, kEmptyDotPressed = 210;

}  // namespace

void SetUpMemoryDots(MainDialog& dialog) { dialog.dots = MemoryDotsState{}; }

bool MemoryDotClick(MainDialog&, int) { return false; }

bool MemoryDotWantsSnapshot(const MainDialog&, int) { return false; }

void HoverMemoryDots(MainDialog&, int, int) {}

int MemoryDotImage(const MainDialog& dialog, int id) {
    return dialog.values[id] & 2 ? kEmptyDotPressed : kEmptyDot;
}

void PaintExtraDotPicture(MainDialog&, const ui::Canvas&) {}
