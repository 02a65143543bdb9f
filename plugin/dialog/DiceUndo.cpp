// Dice, the colour-row dice and resets, Factory and Undo. Their buttons are placed
// and drawn by the main dialog; their actions are not built yet.
#include "dialog/DiceUndo.h"

bool DiceUndoClick(MainDialog&, int) { return false; }
