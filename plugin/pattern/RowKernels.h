// The pattern row kernels and the instruction sets they run on.
//
// MapRow (Geometry.h) and PatternRow (PatternField.h) are the scalar reference.
// RowKernels.cpp holds the same two kernels on SIMD lanes, compiled for SSE4, AVX2
// and AVX-512 and chosen at run time; every level gives the reference's bits, so
// the level only changes the speed. Tests and benchmarks pick levels explicitly.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/Geometry.h"
#include "pattern/PatternField.h"

enum class SimdLevel : uint8_t { scalar, sse4, avx2, avx512 };

struct RowKernels {
    SimdLevel level;
    void (*mapRow)(const GeometryConstants& geometry, int32_t row, int32_t firstColumn, int32_t count, float* x,
                   float* y);
    void (*patternRow)(const FieldConstants& field, const float* x, const float* y, int32_t count, float* t);
};

// The levels this machine runs, the scalar reference first and the fastest last.
std::vector<SimdLevel> AvailableSimdLevels();

// The kernels of `level`; the scalar reference where the machine lacks the level.
RowKernels KernelsFor(SimdLevel level);

// "scalar", "sse4", "avx2", "avx512".
const char* SimdLevelName(SimdLevel level);
