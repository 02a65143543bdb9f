// The 25 memory dots around the extra dot: their run state and the dialog's calls.
#pragma once

#include <cstdint>

#include "platform/ui/Canvas.h"
#include "settings/StoredState.h"

struct MainDialog;

// The dots' part of the dialog's run state.
struct MemoryDotsState {
    std::int16_t state[kMemoryDotCount] = {};  // 0 empty, 1 filled, 2 filled and current
    int shown = -1;                            // the dot the extra dot shows
    int hovered = -1;                          // the dot under the pointer
};

// When the dialog opens.
void SetUpMemoryDots(MainDialog& dialog);
// A click (on release) on a dot (121..145) or the extra dot (119); other ids do
// nothing. True when the preview must be refreshed.
bool MemoryDotClick(MainDialog& dialog, int id);
// True when the click just handled asks for an undo snapshot with its file.
bool MemoryDotWantsSnapshot(const MainDialog& dialog, int id);
// Mouse moves without capture.
void HoverMemoryDots(MainDialog& dialog, int x, int y);
// The bitmap resource a dot shows now.
int MemoryDotImage(const MainDialog& dialog, int id);
// Paints the extra dot's picture inside its frame.
void PaintExtraDotPicture(MainDialog& dialog, const ui::Canvas& canvas);
