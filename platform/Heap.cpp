// Zero-filled heap blocks with an optional failure budget for tests.
#include "platform/Heap.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace platform {
namespace {

// Counts allocations since the budget variable last changed (or was last seen unset).
bool BudgetExhausted() {
    static std::mutex lock;
    static std::string seen;
    static long counted = 0;
    const char* limit = std::getenv("TESSELUME_HEAP_FAIL_AFTER");
    std::lock_guard<std::mutex> guard(lock);
    const std::string value = limit ? limit : "";
    if (value != seen) {
        seen = value;
        counted = 0;
    }
    if (value.empty()) return false;
    const long budget = std::atol(value.c_str());
    // The first refusal says so, so that a sweep over budgets knows where a run's
    // allocations end.
    if (counted == budget)
        std::fprintf(stderr, "TESSELUME_HEAP_FAIL_AFTER=%ld: allocation %ld refused\n", budget, budget + 1);
    return counted++ >= budget;
}

}  // namespace

void* HeapAllocate(std::size_t size) {
    if (BudgetExhausted()) return nullptr;
    return std::calloc(1, size ? size : 1);
}

void HeapFree(void* block) { std::free(block); }

}  // namespace platform
