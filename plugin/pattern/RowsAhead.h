// Pattern rows computed ahead on worker threads.
//
// A row's pattern values depend only on the settings and the geometry, never on the
// image, so while the host's thread composites row r and talks to the host, workers
// compute rows r+1, r+2, ... into a ring of row buffers. The host's thread asks for
// rows in order; a row no worker has taken yet it computes itself, and while a
// worker finishes the row it needs, it computes rows further ahead, so one worker
// and the caller together keep two cores busy. Every value comes from the same row
// kernels as the inline path, so the bytes do not depend on the thread count.
//
// Nothing here calls the host; workers touch only their row buffers and read the
// constants they were given.
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

    // The rowLength pattern values of `row` of a render of rowCount rows. The pointer
    // stays valid until the next call. Asking for a row other than the next one, or
    // with another length, starts the look-ahead afresh from that row.
    const float* Row(int32_t row, int32_t rowLength, int32_t rowCount);

private:
    struct Slot {
        int32_t row = -1;
        bool ready = false;
        std::vector<float> values;
    };
    explicit PatternRowsAhead(const RenderPlan& plan);
    void Work();
    bool CanClaim() const;
    Slot& Claim(std::unique_lock<std::mutex>& lock);
    void Compute(Slot& slot, std::unique_lock<std::mutex>& lock);

    const RenderPlan& plan;
    std::mutex mutex;
    std::condition_variable claimable, finished;
    std::vector<std::thread> workers;
    std::vector<Slot> slots;
    int32_t rowLength = 0, rowCount = 0;
    int32_t current = 0;  // the row the host's thread holds: its slot is not reused
    int32_t next = 0;     // the next row to compute
    int32_t busy = 0;     // rows being computed
    bool started = false, restarting = false, stopping = false;
};
