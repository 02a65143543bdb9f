// Dice, the colour-row dice and resets, Factory and Undo: the buttons that change
// many settings at once.
#pragma once

struct MainDialog;

// A click on Dice (69), Dice1 (47), Reset1 (48), Dice2 (49), Reset2 (7), Dice3 (50),
// Factory (115) or Undo (70); other ids do nothing. True when the preview must be
// refreshed.
bool DiceUndoClick(MainDialog& dialog, int id);
