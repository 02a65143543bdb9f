// Zero-filled heap blocks with an optional failure budget for tests.
#include "platform/Heap.h"

#include <atomic>
#include <cstdlib>

namespace platform {
namespace {

std::atomic<long> allocations{0};

bool BudgetExhausted() {
    const char* limit = std::getenv("TESSELUME_HEAP_FAIL_AFTER");
    if (!limit || !*limit) return false;
    return allocations.fetch_add(1) >= std::atol(limit);
}

}  // namespace

void* HeapAllocate(std::size_t size) {
    if (BudgetExhausted()) return nullptr;
    return std::calloc(1, size ? size : 1);
}

void HeapFree(void* block) { std::free(block); }

}  // namespace platform
