// Dice, the colour-row dice and resets, Factory and Undo in the main dialog.
#include "dialog/DiceUndo.h"

#include "dialog/Dice.h"
#include "dialog/MainDialog.h"

bool DiceUndoClick(MainDialog& dialog, int id) {
    Settings& settings = *dialog.settings;
    if (id == controlid::kUndo) {
        UndoSlots* undo = dialog.host.undo;
        const std::int32_t before = undo ? undo->last : 0;
        if (undo) RestoreUndoSnapshot(*undo, settings, dialog.host.thumbnail);
        ClearCurrentMemoryDot(dialog);
        SettingsToControls(dialog);
        ShowPresetName(dialog);
        return undo && undo->last != before;
    }
    if (!PressSettingsButton(id, settings, dialog.random)) return false;
    SettingsToControls(dialog);
    ShowPresetName(dialog);
    return true;
}
