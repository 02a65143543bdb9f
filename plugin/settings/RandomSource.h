// The random source of the dialog's dice: signed 16-bit values from a generator
// seeded from the clock when the filter starts, and whole numbers in a range drawn
// from them by masking and rejection.
#pragma once

#include <cstdint>

struct RandomSource {
    std::uint64_t state;
};

// A seed that differs from run to run: the wall clock's nanoseconds mixed with the
// monotonic clock's.
std::uint64_t ClockSeed();
void SeedRandom(RandomSource& source, std::uint64_t seed);

// 16 random bits read as a signed number, uniform over -32768..32767.
std::int16_t RandomValue(RandomSource& source);

// A whole number in lo..hi inclusive (the bounds swapped when lo > hi): draws
// (r >> 4) masked by the smallest 2^k - 1 (k >= 2) not below the span (1 for spans
// under 2), adds lo, and draws again while the result is above hi. Spans up to
// 4095, as 12 bits are drawn.
std::int32_t RandomInt(RandomSource& source, std::int32_t lo, std::int32_t hi);
