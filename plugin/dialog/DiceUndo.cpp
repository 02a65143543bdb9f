// Dice, the colour-row dice and resets, Factory and Undo in the main dialog.
#include "dialog/DiceUndo.h"

#include "dialog/Dice.h"
#include "dialog/MainDialog.h"
#include "host/Globals.h"

bool DiceUndoClick(MainDialog& dialog, int id) {
    Settings& settings = *dialog.settings;
    if (id == controlid::kUndo) {
        RunGlobals& globals = *dialog.globals;
        const std::int32_t before = globals.undoIndex;
        if (globals.workBlock.data) RestoreUndoSnapshot(globals, settings);
        ClearCurrentMemoryDot(dialog);
        SettingsToControls(dialog);
        ShowPresetName(dialog);
        return globals.undoIndex != before;
    }
    if (!PressSettingsButton(id, settings, dialog.random)) return false;
    SettingsToControls(dialog);
    ShowPresetName(dialog);
    return true;
}
