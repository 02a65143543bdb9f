// System clock in UTC and a monotonic millisecond tick.
#include "platform/Clock.h"

#include <ctime>

namespace platform {

UtcTime UtcNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::uint32_t TickMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

}  // namespace platform
