// The globals record kept in the host's data slot across the calls of one filter
// run, and the work block shared by the renderer, the image store and the dialog.
//
// RunGlobals lives in a handle from the host's handle suite, locked for the length
// of each call; the dispatcher rewrites `result` and `filterRecord` on every call.
// The work block is one buffer of kWorkBlockBytes taken at Start and released when
// the run ends; subsystems own the parts of it declared here.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "store/HostUtil.h"
#include "store/Resample.h"
#include "pattern/RenderPlan.h"
#include "settings/Settings.h"
#include "store/ImageStore.h"
#include "settings/StoredState.h"

struct Settings;

// Row-loop state (the row loop owns it).
struct RowLoopState {
    int32_t width, height;
    int32_t lastColumn, lastRow;
    int32_t currentRow;     // the row just delivered, from the top of the filter rectangle
    int32_t renderedRow;    // the row handed to RenderRow
    int32_t progressDone, progressTotal;
    int32_t moreRows;
    int32_t maskRows[2];    // first and last row of the current mask rectangle
    int32_t inputRows[2];   // first and last row of the current input rectangle
};

constexpr int32_t kWorkBlockBytes = 81928;

struct RunGlobals {
    int16_t* result;
    FilterRecord* filterRecord;
    int32_t firstParameters;
    Rect savedFilterRect;
    RowLoopState loop;

    // Work buffers, taken at Start and released when the run ends.
    Buffer rowBuffer;        // 32-bit floats
    int32_t rowBufferBytes;
    Buffer workBlock;        // kWorkBlockBytes, see WorkBlock

    ImageStore* thumbnail;   // the 128 x 128 settings thumbnail
    char exportPath[kPathCapacity];  // a PSD file the descriptor asks for instead of filtering
};

// The current render: its plan, the colour ramp the plan reads, in run mode 2 the
// export's image the rows go to, and the workers computing pattern rows ahead (null
// for one thread).
struct RenderState {
    RenderPlan plan;
    ImageStore ramp;
    ImageStore* destination;
    class PatternRowsAhead* ahead;
};

// The work block's layout.
struct WorkBlock {
    int32_t progressCounter; // progress pacing: 5-bit counter
    int32_t progressLast;    //   and the last value reported
    int32_t abortCounter;    // abort pacing: 5-bit counter
    UndoSlots undo;          // the two undo snapshots
    MemoryDotPins memoryDots; // the memory dots' pinned flags
    RenderState render;      // the render's plan, ramp image and destination
    WeightTable weights;     // the windowed-sinc weights every store image samples with
    ImageStore thumbnail;    // the settings thumbnail's record; RunGlobals::thumbnail points here
};
static_assert(sizeof(WorkBlock) <= kWorkBlockBytes, "the work block overflows its buffer");

// The current call's globals and settings; null outside a call.
RunGlobals* CurrentGlobals();
Settings* CurrentSettings();
inline WorkBlock& Work(RunGlobals& globals) { return *static_cast<WorkBlock*>(globals.workBlock.data); }
