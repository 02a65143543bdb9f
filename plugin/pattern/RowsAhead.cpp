// Pattern rows computed ahead on worker threads: the ring of rows and its workers.
#include "pattern/RowsAhead.h"

#include <algorithm>
#include <exception>

namespace {

// Row buffers in the ring per thread: enough that the workers never wait for the
// host's thread while it composites a row.
constexpr int32_t kSlotsPerThread = 4;

}  // namespace

PatternRowsAhead::PatternRowsAhead(const RenderPlan& plan) : plan(plan) {}

std::unique_ptr<PatternRowsAhead> PatternRowsAhead::Start(int32_t threads, const RenderPlan& plan) {
    if (threads < 2) return nullptr;
    try {
        std::unique_ptr<PatternRowsAhead> ahead(new PatternRowsAhead(plan));
        ahead->slots.resize(std::size_t(threads * kSlotsPerThread));
        for (int32_t i = 1; i < threads; ++i) ahead->workers.emplace_back([raw = ahead.get()] { raw->Work(); });
        return ahead;
    } catch (const std::exception&) {
        // Out of memory or threads: the caller computes its rows inline.
        return nullptr;
    }
}

PatternRowsAhead::~PatternRowsAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    claimable.notify_all();
    for (std::thread& worker : workers) worker.join();
}

bool PatternRowsAhead::CanClaim() const {
    return started && !restarting && next < rowCount && next < current + int32_t(slots.size());
}

PatternRowsAhead::Slot& PatternRowsAhead::Claim(std::unique_lock<std::mutex>&) {
    Slot& slot = slots[std::size_t(next) % slots.size()];
    slot.row = next++;
    slot.ready = false;
    ++busy;
    return slot;
}

void PatternRowsAhead::Compute(Slot& slot, std::unique_lock<std::mutex>& lock) {
    const int32_t row = slot.row, length = rowLength;
    lock.unlock();
    for (int32_t first = 0; first < length; first += kRowChunk)
        PatternValues(plan, row, first, std::min(kRowChunk, length - first), slot.values.data() + first);
    lock.lock();
    slot.ready = true;
    --busy;
    finished.notify_all();
}

void PatternRowsAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        claimable.wait(lock, [this] { return stopping || CanClaim(); });
        if (stopping) return;
        Compute(Claim(lock), lock);
    }
}

const float* PatternRowsAhead::Row(int32_t row, int32_t length, int32_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    const bool same = started && length == rowLength && count == rowCount;
    if (!same || row < current || row > next) {
        // The first row, or rows out of order: let the rows in flight finish, then
        // start the ring at this row.
        restarting = true;
        finished.wait(lock, [this] { return busy == 0; });
        rowLength = length;
        rowCount = count;
        for (Slot& slot : slots) {
            slot.row = -1;
            slot.ready = false;
            slot.values.resize(std::size_t(length));
        }
        next = row;
        started = true;
        restarting = false;
    }
    current = row;
    claimable.notify_all();
    Slot& slot = slots[std::size_t(row) % slots.size()];
    if (row == next) {
        Compute(Claim(lock), lock);
        return slot.values.data();
    }
    // A worker has the row: rather than wait idle, compute rows further ahead.
    while (!(slot.row == row && slot.ready)) {
        if (CanClaim()) {
            Compute(Claim(lock), lock);
        } else {
            finished.wait(lock);
        }
    }
    return slot.values.data();
}
