// Clock: UTC wall time for dates written into files. (Ticks for timing come from the
// dialog toolkit, whose clock is virtual when it runs headless.)
#pragma once

#include <cstdint>

namespace platform {

struct UtcTime {
    int year, month, day;        // month 1..12, day 1..31
    int hour, minute, second;
};

UtcTime UtcNow();

}  // namespace platform
