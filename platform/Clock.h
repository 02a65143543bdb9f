// Clock and ticks: UTC wall time for dates written into files, a monotonic
// millisecond count for timing.
#pragma once

#include <cstdint>

namespace platform {

struct UtcTime {
    int year, month, day;        // month 1..12, day 1..31
    int hour, minute, second;
};

UtcTime UtcNow();
// Milliseconds since an arbitrary start; never goes backwards.
std::uint32_t TickMilliseconds();

}  // namespace platform
