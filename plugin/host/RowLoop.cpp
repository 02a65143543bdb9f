// The row loop and the buffers around it.
#include "host/RowLoop.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "dialog/Preview.h"
#include "host/Globals.h"
#include "host/Scripting.h"
#include "pattern/Compositing.h"
#include "pattern/RenderPlan.h"
#include "pattern/RowsAhead.h"
#include "store/Resample.h"
#include "settings/Settings.h"
#include "settings/StoredState.h"

BufferPlan PlanBuffers(int32_t width, int32_t height) {
    const int32_t longRow = std::max(2 * (std::max(width, height) + 4), 3 * width + 2184);
    return {4 * longRow, 4 * longRow + 1112};
}

void ComputeGeometry(RunGlobals& globals) {
    const Rect& rect = globals.filterRecord->filterRect;
    RowLoopState& loop = globals.loop;
    loop.width = rect.right - rect.left;
    loop.height = rect.bottom - rect.top;
    loop.lastColumn = loop.width - 1;
    loop.lastRow = loop.height - 1;
}

void EmptyRectangles(FilterRecord& record) { record.inRect = record.outRect = record.maskRect = Rect{0, 0, 0, 0}; }

void ClearWorkBuffers(RunGlobals& globals) {
    globals.rowBuffer = globals.workBlock = Buffer{};
}

bool AllocateWorkBuffers(RunGlobals& globals) {
    ClearWorkBuffers(globals);
    ComputeGeometry(globals);
    const BufferPlan plan = PlanBuffers(globals.loop.width, globals.loop.height);

    bool ok = AllocateBuffer(plan.rowBufferBytes, globals.rowBuffer) == noErr;
    globals.rowBufferBytes = ok ? plan.rowBufferBytes : 0;
    ok = ok && AllocateBuffer(kWorkBlockBytes, globals.workBlock) == noErr;
    if (!ok) {
        ReleaseWorkBuffers(globals);
        EmptyRectangles(*globals.filterRecord);
        return false;
    }
    // Host buffers need not come zeroed; the work block's parts expect it.
    std::memset(globals.workBlock.data, 0, std::size_t(kWorkBlockBytes));
    BuildWeightTable(Work(globals).weights);
    return true;
}

void ReleaseWorkBuffers(RunGlobals& globals) {
    if (globals.workBlock.data) {
        RenderFinish(globals);  // no worker outlives the work block
        // The pinned memory dots outlive the run; the thumbnail does not.
        SaveMemoryDotMap(Work(globals).memoryDots);
        if (globals.thumbnail) ReleaseImage(globals.thumbnail);
    }
    globals.thumbnail = nullptr;
    ReleaseBuffer(globals.rowBuffer);
    globals.rowBufferBytes = 0;
    ReleaseBuffer(globals.workBlock);
}

void StartSetup(RunGlobals& globals) {
    Settings& settings = *CurrentSettings();
    WorkBlock& work = Work(globals);
    InitialiseImage(&work.thumbnail, &work.weights);
    globals.thumbnail = CreateImageChannels(&work.thumbnail, 128, 128, 3, 0) ? &work.thumbnail : nullptr;
    if (!HasScriptValues(*globals.filterRecord)) LoadCachedSettings(settings, globals.thumbnail);
    if (globals.firstParameters) {
        globals.firstParameters = 0;
        const int32_t view[5] = {0, 0, 1, 100, 100};
        std::copy(std::begin(view), std::end(view), settings.viewState);
    }
    settings.settingsFolder[0] = settings.psdFolder[0] = settings.pagesFolder[0] = '\0';
    work.memoryDots = MemoryDotPins{};
    ClearUndo(work.undo);
    LoadMemoryDotMap(work.memoryDots);
    settings.exportKind = 3;
}

namespace {

// The preview's selection as the row loop holds it.
PreviewSelection SelectionOf(const RowLoopState& loop) {
    return {loop.lastColumn, loop.lastRow, loop.maskRows[0], loop.maskRows[1]};
}

void StopWorkers(RenderState& render) {
    delete render.ahead;
    render.ahead = nullptr;
}

// Reports progress on the first row and then about every 32nd.
void ReportProgress(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    WorkBlock& work = Work(globals);
    const int32_t done = globals.loop.progressDone;
    work.progressCounter &= 31;
    if (done - work.progressLast >= 5) work.progressCounter = 0;
    if ((work.progressCounter == 0 || done == 0) && record.progressProc)
        record.progressProc(done, globals.loop.progressTotal);
    ++work.progressCounter;
    work.progressLast = done;
}

// Polls abortProc on every 32nd row.
void PollAbort(RunGlobals& globals) {
    WorkBlock& work = Work(globals);
    work.abortCounter = (work.abortCounter + 1) & 31;
    if (work.abortCounter == 0 && globals.filterRecord->abortProc && globals.filterRecord->abortProc())
        SetResult(userCanceledErr);
}

}  // namespace

// Render start's set-up shared by the final run and the preview: a row buffer for
// rows of width pixels, the render plan, the smooth history and the row counters.
// False when the row buffer cannot grow (the result is then set).
bool StartRows(RunGlobals& globals, int32_t width) {
    Settings& settings = *CurrentSettings();
    WorkBlock& work = Work(globals);
    work.progressCounter = work.progressLast = work.abortCounter = 0;

    const int32_t needed = 4 * (width + 4);
    if (needed > globals.rowBufferBytes) {
        ReleaseBuffer(globals.rowBuffer);
        globals.rowBufferBytes = 0;
        if (AllocateBuffer(needed, globals.rowBuffer) != noErr) {
            SetResult(userCanceledErr);
            return false;
        }
        globals.rowBufferBytes = needed;
    }

    settings.redCycles = settings.greenCycles = settings.blueCycles = settings.density;
    RenderStart(globals);
    float* history = static_cast<float*>(globals.rowBuffer.data);
    std::fill(history, history + std::min(globals.loop.width + 2, globals.rowBufferBytes / 4), -1.0f);

    RowLoopState& loop = globals.loop;
    loop.progressDone = 0;
    loop.moreRows = 1;
    loop.currentRow = 0;
    loop.progressTotal = loop.height + 1;
    return true;
}

void RenderBegin(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    CurrentSettings()->previewPanX = CurrentSettings()->previewPanY = 0;
    record.filterRect = globals.savedFilterRect;
    ComputeGeometry(globals);
    if (!StartRows(globals, record.inRect.right - record.inRect.left)) return;
    if (CurrentResult() != noErr) return;
    RequestRow(globals, 0);
    if (HostHasProc(record.advanceState)) SetResult(CallAdvanceState(&record));
}

void RequestRow(RunGlobals& globals, int32_t row) {
    FilterRecord& record = *globals.filterRecord;
    ComputeGeometry(globals);
    CurrentSettings()->previewScale = 1;
    const Rect filter = record.filterRect;
    record.inRect = record.outRect = filter;
    record.maskRect = Rect{filter.top, filter.left, filter.top, filter.left};

    const int16_t y = int16_t(filter.top + std::min(globals.loop.height - 1, std::max(0, row)));
    record.inRect.top = record.outRect.top = y;
    record.inRect.bottom = record.outRect.bottom = int16_t(y + 1);

    if (record.haveMask) {
        Rect mask = filter;
        mask.top = int16_t(std::max<int32_t>(y - 2, filter.top));
        mask.bottom = int16_t(std::min<int32_t>(y + 2, filter.bottom));
        mask.bottom = std::max<int16_t>(mask.bottom, int16_t(mask.top + 1));
        record.maskRect = mask;
    }

    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16_t(record.planes - 1);
    record.inputRate = record.maskRate = 0x10000;
    record.inputPadding = record.outputPadding = record.maskPadding = plugInWantsEdgeReplication;

    globals.loop.maskRows[0] = record.maskRect.top - filter.top;
    globals.loop.maskRows[1] = record.maskRect.bottom - filter.top - 1;
    globals.loop.inputRows[0] = record.inRect.top - filter.top;
    globals.loop.inputRows[1] = record.inRect.bottom - filter.top - 1;

    if (CurrentSettings()->runMode == RunMode::store) {
        const Rect& origin = globals.savedFilterRect;
        record.maskRect.top = int16_t(record.maskRect.top + origin.top);
        record.maskRect.bottom = int16_t(record.maskRect.bottom + origin.top);
        record.maskRect.left = int16_t(record.maskRect.left + origin.left);
        record.maskRect.right = int16_t(record.maskRect.right + origin.left);
    }
}

void RenderOneRow(RunGlobals& globals) {
    RowLoopState& loop = globals.loop;
    const RunMode runMode = CurrentSettings()->runMode;
    if (runMode == RunMode::final) ReportProgress(globals);
    loop.progressDone += 1;
    loop.renderedRow = loop.currentRow;
    RenderRow(globals);
    if (loop.currentRow == loop.height - 1) {
        loop.moreRows = 0;
        loop.currentRow = 0;
    } else {
        loop.currentRow += 1;
    }
    if (runMode != RunMode::preview) PollAbort(globals);
}

void DoContinue(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    const bool hasAdvanceState = HostHasProc(record.advanceState);
    for (;;) {
        RenderOneRow(globals);
        if (CurrentResult() != noErr) globals.loop.moreRows = 0;
        if (CurrentResult() == noErr) RequestRow(globals, globals.loop.currentRow);
        if (!globals.loop.moreRows) break;
        if (!hasAdvanceState) return;
        SetResult(CallAdvanceState(&record));
        // An error ends the run: the host calls neither Continue nor Finish again and
        // may unload the module next, so the workers stop and the buffers go back now.
        if (CurrentResult() != noErr) {
            ReleaseWorkBuffers(globals);
            EmptyRectangles(record);
            return;
        }
    }
    RenderFinish(globals);
    ReleaseWorkBuffers(globals);
    EmptyRectangles(record);
}

void RenderAllRows(RunGlobals& globals) {
    while (globals.loop.moreRows) {
        if (CurrentResult() != noErr) {
            globals.loop.moreRows = 0;
            break;
        }
        RenderOneRow(globals);
    }
}

void RenderDeliveredArea(RunGlobals& globals) {
    const FilterRecord& record = *globals.filterRecord;
    if (!StartRows(globals, globals.loop.width)) return;
    if (CurrentResult() == noErr && HostHasProc(record.advanceState) && HostHasProc(record.displayPixels) &&
        record.inData)
        RenderAllRows(globals);
    RenderFinish(globals);
}

// Asks the host for the visible window at the current scale and pan: input, output
// and mask at rate s, all planes, in reduced coordinates. The row loop's bounds
// become the window's, so that the row renderer and the selection weight address it.
OSErr RequestPreviewWindow(RunGlobals& globals, int32_t areaWidth, int32_t areaHeight, int32_t& width,
                           int32_t& height) {
    FilterRecord& record = *globals.filterRecord;
    const Settings& settings = *CurrentSettings();
    const Rect& filter = globals.savedFilterRect;
    const int32_t s = std::max(1, settings.previewScale);
    const int32_t left = settings.previewPanX / s, top = settings.previewPanY / s;
    width = std::max(0, std::min(areaWidth, ReducedExtent(filter.right - filter.left, s) - left));
    height = std::max(0, std::min(areaHeight, ReducedExtent(filter.bottom - filter.top, s) - top));

    Rect window;
    window.left = int16_t(filter.left / s + left);
    window.top = int16_t(filter.top / s + top);
    window.right = int16_t(window.left + width);
    window.bottom = int16_t(window.top + height);
    record.inRect = record.outRect = window;
    record.maskRect = record.haveMask ? window : Rect{window.top, window.left, window.top, window.left};
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16_t(record.planes - 1);
    record.inputRate = record.maskRate = Fixed(s << 16);
    record.inputPadding = record.outputPadding = record.maskPadding = plugInWantsEdgeReplication;

    RowLoopState& loop = globals.loop;
    loop.width = width;
    loop.height = height;
    loop.lastColumn = width - 1;
    loop.lastRow = height - 1;
    loop.maskRows[0] = loop.inputRows[0] = 0;
    loop.maskRows[1] = loop.inputRows[1] = height - 1;
    if (width == 0 || height == 0) return noErr;
    return CallAdvanceState(&record);
}

void RenderPreviewSource(RunGlobals& globals) {
    const RenderPlan& plan = Work(globals).render.plan;
    const PreviewSelection selection = SelectionOf(globals.loop);
    for (int32_t row = 0; row < globals.loop.height; ++row)
        CompositeSourceRow(plan, PreviewRowEnds(*globals.filterRecord, row, selection));
}

void RenderStart(RunGlobals& globals) {
    if (!globals.workBlock.data) return;
    RenderState& render = Work(globals).render;
    StopWorkers(render);
    ReleaseImage(&render.ramp);
    InitialiseImage(&render.ramp, &Work(globals).weights);
    // Without its ramp the render would come out black: out of memory is an error.
    if (!CreateImage(&render.ramp, 256, 1, kKindRGBA8, 0)) {
        SetResult(memFullErr);
        return;
    }
    BuildRenderPlan(*CurrentSettings(), globals.savedFilterRect, ImageFormatOf(*globals.filterRecord),
                    SimdLevelFromEnvironment(), render.ramp, render.plan);
    render.ahead = PatternRowsAhead::Start(ThreadCountFromEnvironment(), render.plan).release();
}

void RenderRow(RunGlobals& globals) {
    const FilterRecord& record = *globals.filterRecord;
    if (!record.inData || !record.outData) {
        SetResult(memFullErr);
        return;
    }
    RenderState& render = Work(globals).render;
    const int32_t row = globals.loop.renderedRow;
    RowEnds ends;
    switch (CurrentSettings()->runMode) {
    case RunMode::final: ends = HostRowEnds(record, row); break;
    case RunMode::preview: ends = PreviewRowEnds(record, row, SelectionOf(globals.loop)); break;
    case RunMode::store:
        if (!render.destination) return;
        ends = StoreRowEnds(*render.destination, row);
        break;
    }
    float* history = static_cast<float*>(globals.rowBuffer.data);
    SmoothState smooth{history, history ? globals.rowBufferBytes / 4 : 0, -1.0f};
    RenderRowAhead(render.plan, render.ahead, row, globals.loop.height, ends, smooth);
}

void RenderFinish(RunGlobals& globals) {
    if (!globals.workBlock.data) return;
    RenderState& render = Work(globals).render;
    StopWorkers(render);
    ReleaseImage(&render.ramp);
}

const PreviewRows& PreviewRowsOfRowLoop() {
    static const PreviewRows rows{
        [](int32_t areaWidth, int32_t areaHeight, int32_t& width, int32_t& height) {
            return RequestPreviewWindow(*CurrentGlobals(), areaWidth, areaHeight, width, height);
        },
        [] { RenderDeliveredArea(*CurrentGlobals()); }, [] { RenderPreviewSource(*CurrentGlobals()); }};
    return rows;
}
