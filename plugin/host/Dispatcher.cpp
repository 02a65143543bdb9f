// Selector dispatch and the selectors' handlers.
#include "host/Dispatcher.h"

#include "dialog/AboutBox.h"
#include "dialog/MainDialog.h"
#include "dialog/ProgressWindow.h"
#include "dialog/Refusal.h"
#include "export/PsdExport.h"
#include "host/Globals.h"
#include "host/RowLoop.h"
#include "host/Scripting.h"
#include "platform/StateFolder.h"
#include "settings/Settings.h"

namespace {

RunGlobals* currentGlobals = nullptr;
Settings* currentSettings = nullptr;
int16_t previousSelector = -1;

// A run begins with Parameters, or with Prepare when the host asks for no dialog.
void NoteSelector(int16_t selector) {
    if (selector == filterSelectorParameters ||
        (selector == filterSelectorPrepare && previousSelector != filterSelectorParameters))
        platform::NewStateFolderRun();
    previousSelector = selector;
}

// Locks the settings record for the rest of the call.
void LockSettings(FilterRecord& record) {
    currentSettings = record.parameters ? reinterpret_cast<Settings*>(LockHandle(record.parameters, false)) : nullptr;
    if (currentSettings) currentSettings->owner = currentGlobals;
}

void EnsureSettings(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    if (record.parameters) {
        if (!currentSettings) LockSettings(record);
        // A record the host will not lock cannot be read: the call ends here.
        if (!currentSettings) SetResult(memFullErr);
        return;
    }
    record.parameters = NewHandle(int32_t(sizeof(Settings)));
    if (!record.parameters) {
        SetResult(memFullErr);
        return;
    }
    ClearWorkBuffers(globals);
    LockSettings(record);
    if (!currentSettings) {
        DisposeHandle(record.parameters);
        record.parameters = nullptr;
        SetResult(memFullErr);
        return;
    }
    InitialiseSettings(*currentSettings, &globals);
}

void DoParameters(RunGlobals& globals) {
    EnsureSettings(globals);
    if (currentSettings) currentSettings->showDialog = 1;
}

void DoPrepare(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    record.bufferSpace = 0;
    EnsureSettings(globals);
    record.bufferSpace = 0;
    globals.savedFilterRect = record.filterRect;
    globals.loop = RowLoopState{};
    ComputeGeometry(globals);
    record.bufferSpace = PlanBuffers(globals.loop.width, globals.loop.height).bufferSpace;
    currentSettings->previewScale = 1;
}

// Ends a Start that will not render: nothing held, nothing more asked of the host.
void AbandonStart(RunGlobals& globals) {
    ReleaseWorkBuffers(globals);
    EmptyRectangles(*globals.filterRecord);
}

void DoStart(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    EnsureSettings(globals);
    Settings& settings = *currentSettings;
    settings.hostCanPreview = HostHasProc(record.advanceState) && HostHasProc(record.displayPixels);
    if (!AllocateWorkBuffers(globals)) {
        SetResult(1);
        return;
    }
    StartSetup(globals);
    if (!HostHasProc(record.advanceState)) {
        ShowRefusal("REFUSAL2");
        SetResult(1);
    }
    if (record.imageMode == plugInModeMultichannel) SetResult(1);
    if (CurrentResult() != noErr) {
        AbandonStart(globals);
        return;
    }
    ReadScriptParameters(globals, settings);
    if (CurrentResult() != noErr) {
        AbandonStart(globals);
        return;
    }
    if (globals.exportPath[0]) {
        // An export step writes its file under the progress window and leaves the
        // image as it was.
        const PsdExportJob job{&settings, globals.savedFilterRect, &record, &Work(globals).weights,
                               globals.exportPath};
        const OSErr exported = RunExportWithProgress(job);
        SetResult(exported == kExportCancelled ? OSErr(userCanceledErr) : exported);
        AbandonStart(globals);
        return;
    }
    if (settings.showDialog) {
        WorkBlock& work = Work(globals);
        TakeUndoSnapshot(work.undo, settings, globals.thumbnail, true);
        const bool confirmed = RunMainDialog(
            DialogHost{globals.filterRecord, &work.undo, globals.thumbnail, &work.memoryDots, &work.weights,
                       &PreviewRowsOfRowLoop()}, settings);
        settings.showDialog = 0;
        if (!confirmed || CurrentResult() != noErr) {
            AbandonStart(globals);
            return;
        }
        SaveCachedSettings(settings, globals.thumbnail);
    }
    settings.runMode = RunMode::final;
    RenderBegin(globals);
    if (CurrentResult() != noErr) {
        RenderFinish(globals);
        AbandonStart(globals);
    }
}

void DoFinish(RunGlobals& globals) { WriteScriptParameters(globals); }

}  // namespace

RunGlobals* CurrentGlobals() { return currentGlobals; }
Settings* CurrentSettings() { return currentSettings; }

void RunSelector(int16_t selector, FilterRecord* filterRecord, intptr_t* data, int16_t* result) {
    Current() = {filterRecord, data, result};
    NoteSelector(selector);
    currentGlobals = nullptr;
    currentSettings = nullptr;
    if (selector == filterSelectorAbout) {
        ClearAboutBoxOpen();
        ShowAboutBox();
        return;
    }

    const bool slotWasEmpty = *data == 0;
    RunGlobals* globals = nullptr;
    if (!slotWasEmpty) {
        globals = reinterpret_cast<RunGlobals*>(LockHandle(reinterpret_cast<Handle>(*data), false));
    } else if (Handle handle = NewHandle(int32_t(sizeof(RunGlobals)))) {
        globals = reinterpret_cast<RunGlobals*>(LockHandle(handle, false));
        if (globals) {
            *globals = RunGlobals{};
            *data = reinterpret_cast<intptr_t>(handle);
        } else {
            DisposeHandle(handle);
        }
    }
    if (!globals) {
        SetResult(memFullErr);
        return;
    }
    globals->result = result;
    globals->filterRecord = filterRecord;
    currentGlobals = globals;
    SetResult(noErr);

    if (selector == filterSelectorParameters) globals->firstParameters = slotWasEmpty;
    EnsureSettings(*globals);
    if (CurrentResult() == noErr) {
        switch (selector) {
            case filterSelectorParameters: DoParameters(*globals); break;
            case filterSelectorPrepare: DoPrepare(*globals); break;
            case filterSelectorStart: DoStart(*globals); break;
            case filterSelectorContinue: DoContinue(*globals); break;
            case filterSelectorFinish: DoFinish(*globals); break;
            default: SetResult(filterBadParameters); break;
        }
    }
    if (filterRecord->parameters && currentSettings) UnlockHandle(filterRecord->parameters);
    if (*data) UnlockHandle(reinterpret_cast<Handle>(*data));
    currentGlobals = nullptr;
    currentSettings = nullptr;
}
