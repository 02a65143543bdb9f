// The memory dots in the main dialog: the dialog's calls into the dot table
// (MemoryDotTable.h), which holds what the dots do.
#pragma once

#include "dialog/MemoryDotTable.h"
#include "platform/ui/Canvas.h"

struct MainDialog;

// When the dialog opens: the table from the run's pinned flags, and the settings
// the dialog opens with stored into the first free dot.
void SetUpMemoryDots(MainDialog& dialog);
// When the dialog has ended: the extra dot's picture is released.
void ReleaseMemoryDots(MainDialog& dialog);
// A click (on release) on a dot (121..145) or the extra dot (119); other ids do
// nothing. True when the preview must be refreshed.
bool MemoryDotClick(MainDialog& dialog, int id);
// True when the click just handled asks for an undo snapshot with its file: a dot
// that now holds settings, clicked without Ctrl, or a plain click on the extra dot while it shows one.
bool MemoryDotWantsSnapshot(const MainDialog& dialog, int id);
// Mouse moves without capture.
void HoverMemoryDots(MainDialog& dialog, int x, int y);
// The bitmap resource a dot shows now.
int MemoryDotImage(const MainDialog& dialog, int id);
// Paints the extra dot's picture inside its frame.
void PaintExtraDotPicture(MainDialog& dialog, const ui::Canvas& canvas);
// Undo leaves no dot current.
void ClearCurrentMemoryDot(MainDialog& dialog);
