// Unaligned reads and writes of samples in tile memory: pixels of the wider kinds are
// packed without padding, so every access goes through memcpy.
#pragma once

#include <cstdint>
#include <cstring>

template <typename T>
T Load(const uint8_t* at, int index = 0) {
    T value;
    std::memcpy(&value, at + index * sizeof(T), sizeof(T));
    return value;
}

template <typename T>
void Store(uint8_t* at, T value, int index = 0) {
    std::memcpy(at + index * sizeof(T), &value, sizeof(T));
}
