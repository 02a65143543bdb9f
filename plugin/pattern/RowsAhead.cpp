// Pattern rows computed ahead on worker threads: the ring of rows and its workers.
#include "pattern/RowsAhead.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "pattern/Compositing.h"

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

// The slot before the host's row stays put: the row after it may still be reading
// its values for smooth.
bool PatternRowsAhead::CanClaim() const {
    return started && !restarting && next < rowCount && next < current + int32_t(slots.size()) - 1;
}

PatternRowsAhead::Slot& PatternRowsAhead::Claim() {
    Slot& slot = slots[std::size_t(next) % slots.size()];
    slot.row = next++;
    slot.valuesReady = slot.ready = false;
    ++busy;
    return slot;
}

void PatternRowsAhead::Compute(Slot& slot, std::unique_lock<std::mutex>& lock) {
    const int32_t row = slot.row, length = rowLength;
    lock.unlock();
    for (int32_t column = 0; column < length; column += kRowChunk) {
        const XSines columnSines{xSines.data() + column, length};
        PatternValues(plan, row, column, std::min(kRowChunk, length - column), slot.values.data() + column,
                      xSines.empty() ? nullptr : &columnSines);
    }
    lock.lock();
    slot.valuesReady = true;
    finished.notify_all();
    // What the row buffer holds when this row is coloured: the row buffer itself for
    // the first row, else each value of the row before moved one column right.
    const Slot& before = slots[std::size_t(row + int32_t(slots.size()) - 1) % slots.size()];
    if (plan.smooth && row != first)
        finished.wait(lock, [&] { return before.row == row - 1 && before.valuesReady; });
    lock.unlock();
    const int32_t held = std::min(historyLength, length);
    if (plan.smooth) {
        if (row == first) {
            std::copy(firstHistory.begin(), firstHistory.begin() + held, slot.above.begin());
        } else if (held > 0) {
            slot.above[0] = -1.0f;
            std::copy(before.values.begin(), before.values.begin() + (held - 1), slot.above.begin() + 1);
        }
    }
    SmoothState state{slot.above.data(), held, -1.0f};
    for (int32_t column = 0; column < length; column += kRowChunk)
        PatternColours(plan, slot.values.data() + column, column, std::min(kRowChunk, length - column), state,
                       slot.colours.data() + column);
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
        Compute(Claim(), lock);
    }
}

PatternOfRow PatternRowsAhead::Row(int32_t row, int32_t length, int32_t count, const SmoothState& history) {
    std::unique_lock<std::mutex> lock(mutex);
    const bool same = started && length == rowLength && count == rowCount && history.historyLength == historyLength;
    if (!same || row != current + 1) {
        // The first row, or rows out of order (the ring's rows follow each other):
        // let the rows in flight finish, then start the ring at this row from the
        // row buffer as it is now.
        restarting = true;
        finished.wait(lock, [this] { return busy == 0; });
        if (!started || length != rowLength) xSines = ColumnXSines(plan, length);
        rowLength = length;
        rowCount = count;
        historyLength = history.history ? history.historyLength : 0;
        firstHistory.assign(history.history, history.history + historyLength);
        for (Slot& slot : slots) {
            slot.row = -1;
            slot.valuesReady = slot.ready = false;
            slot.values.resize(std::size_t(length));
            slot.above.resize(std::size_t(length));
            slot.colours.resize(std::size_t(length));
        }
        first = next = row;
        started = true;
        restarting = false;
    }
    current = row;
    claimable.notify_all();
    Slot& slot = slots[std::size_t(row) % slots.size()];
    if (row == next) Compute(Claim(), lock);
    // A worker has the row: rather than wait idle, compute rows further ahead.
    while (!(slot.row == row && slot.ready)) {
        if (CanClaim()) {
            Compute(Claim(), lock);
        } else {
            finished.wait(lock);
        }
    }
    return {slot.values.data(), slot.colours.data()};
}

int32_t ThreadCountFromEnvironment() {
    if (const char* text = std::getenv("TESSELUME_THREADS")) {
        const int32_t wanted = std::atoi(text);
        if (wanted >= 1 && wanted <= 64) return wanted;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int32_t(std::min(cores, 64u));
}

void RenderRowAhead(const RenderPlan& plan, PatternRowsAhead* ahead, int32_t row, int32_t rowCount,
                    const RowEnds& ends, SmoothState& state) {
    if (!ahead) {
        RenderPlanRow(plan, row, ends, state, nullptr);
        return;
    }
    const PatternOfRow pattern = ahead->Row(row, ends.rowLength, rowCount, state);
    RenderPlanRow(plan, row, ends, state, &pattern);
}
