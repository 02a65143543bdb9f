// The platform heap: zero-filled blocks, the fallback of the host's memory suites.
//
// For tests, TESSELUME_HEAP_FAIL_AFTER=N makes every allocation fail after the first N
// that see that value, so that the module's exhaustion paths can be driven from a host;
// the first allocation refused says so on standard error.
#pragma once

#include <cstddef>

namespace platform {

// A zero-filled block of size bytes, or null.
void* HeapAllocate(std::size_t size);
void HeapFree(void* block);

}  // namespace platform
