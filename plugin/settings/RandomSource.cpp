// The dice's random source.
#include "settings/RandomSource.h"

#include <chrono>
#include <utility>

std::uint64_t ClockSeed() {
    const auto wall = std::chrono::system_clock::now().time_since_epoch();
    const auto steady = std::chrono::steady_clock::now().time_since_epoch();
    return std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()) ^
           (std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(steady).count()) << 21);
}

void SeedRandom(RandomSource& source, std::uint64_t seed) { source.state = seed; }

std::int16_t RandomValue(RandomSource& source) {
    // splitmix64: every seed, zero included, gives a full-period, well-mixed stream.
    std::uint64_t z = (source.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(z >> 48));
}

std::int32_t RandomInt(RandomSource& source, std::int32_t lo, std::int32_t hi) {
    if (lo > hi) std::swap(lo, hi);
    const std::int32_t span = hi - lo;
    std::int32_t mask = 1;
    if (span >= 2) {
        mask = 3;
        while (mask < span) mask = mask * 2 + 1;
    }
    std::int32_t value;
    do {
        value = ((RandomValue(source) >> 4) & mask) + lo;
    } while (value > hi);
    return value;
}
