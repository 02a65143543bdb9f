// Pattern rows computed ahead on worker threads.
//
// A row's pattern depends only on the settings and the geometry, never on the image,
// so while the host's thread composites row r and talks to the host, workers compute
// the pattern values and colours of rows r+1, r+2, ... into a ring of row buffers.
// Smooth compares each value with the one above and to the left, so a worker
// colouring row r reads row r-1's values from the ring (the first row of a run reads
// the row buffer as the host's thread left it). The host's thread asks for rows in
// order; a row no worker has taken yet it computes itself, and while a worker
// finishes the row it needs, it computes rows further ahead, so one worker and the
// caller together keep two cores busy. Without a fold the sines of each column's x
// are the same in every row: the ring takes them once when it starts
// (ColumnXSines) and every row reads them. Every value comes from the same kernels
// as the inline path, so the bytes do not depend on the thread count.
//
// Nothing here calls the host; workers touch only the ring and read the plan.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "pattern/RenderPlan.h"

class PatternRowsAhead {
public:
    // Starts threads - 1 workers computing rows of `plan`, which must stay unchanged
    // while they run; null when threads is below 2 or none could start.
    static std::unique_ptr<PatternRowsAhead> Start(int32_t threads, const RenderPlan& plan);
    ~PatternRowsAhead();

    // The pattern of `row` (rowLength pixels) of a render of rowCount rows, smooth
    // following `history`. The pointers stay valid until the next call. Asking for a
    // row other than the one after the last, or with another length, starts the ring
    // afresh from that row, from the history as it is then.
    PatternOfRow Row(int32_t row, int32_t rowLength, int32_t rowCount, const SmoothState& history);

private:
    struct Slot {
        int32_t row = -1;
        bool valuesReady = false, ready = false;
        std::vector<float> values, above;
        std::vector<PatternColour> colours;
    };
    explicit PatternRowsAhead(const RenderPlan& plan);
    void Work();
    bool CanClaim() const;
    Slot& Claim();
    void Compute(Slot& slot, std::unique_lock<std::mutex>& lock);

    const RenderPlan& plan;
    std::mutex mutex;
    std::condition_variable claimable, finished;
    std::vector<std::thread> workers;
    std::vector<Slot> slots;
    std::vector<float> firstHistory;  // the row buffer when the ring started
    std::vector<float> xSines;        // ColumnXSines of the rows' length: the same for every row
    int32_t rowLength = 0, rowCount = 0, historyLength = 0;
    int32_t first = 0;    // the row the ring started at
    int32_t current = 0;  // the row the host's thread holds
    int32_t next = 0;     // the next row to compute
    int32_t busy = 0;     // rows being computed
    bool started = false, restarting = false, stopping = false;
};

// TESSELUME_THREADS when it is 1..64, else the machine's cores: the threads a render
// computes pattern rows on, the caller's own included.
int32_t ThreadCountFromEnvironment();

// RenderPlanRow for `row` of a render of rowCount rows, its pattern from the workers'
// ring where there are workers (ahead not null), else computed inline.
void RenderRowAhead(const RenderPlan& plan, PatternRowsAhead* ahead, int32_t row, int32_t rowCount,
                    const RowEnds& ends, SmoothState& state);
