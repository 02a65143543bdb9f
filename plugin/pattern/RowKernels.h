// The pattern row kernels and the instruction sets they run on.
//
// MapRow (Geometry.h), PatternRow (PatternField.h) and SmoothColour (ColourWaves.h)
// are the scalar reference. RowKernels.cpp holds the same kernels on SIMD lanes,
// compiled for SSE4, AVX2 and AVX-512 and chosen at run time; every level gives the
// reference's bits, so the level only changes the speed. Tests and benchmarks pick
// levels explicitly.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/ColourWaves.h"
#include "pattern/Geometry.h"
#include "pattern/PatternField.h"
#include "store/Glue.h"

enum class SimdLevel : uint8_t { scalar, sse4, avx2, avx512 };

struct RowKernels {
    SimdLevel level;
    void (*mapRow)(const GeometryConstants& geometry, int32_t row, int32_t firstColumn, int32_t count, float* x,
                   float* y);
    // PatternRow. Where the caller has the sines of these very x (xSines not null),
    // the SIMD levels read them instead of taking them; the scalar reference always
    // takes its own.
    void (*patternRow)(const FieldConstants& field, const float* x, const float* y, int32_t count, float* t,
                       const XSines* xSines);
    // The smooth colours of count pixels from their values t and their neighbours'
    // (prev to the left, above from the row buffer, -1 for none): SmoothColour over a
    // row, reading the ramp's copied levels. Null at the scalar level, whose smooth
    // reads the ramp through the store's sampler pixel by pixel.
    void (*smoothRow)(const RampLevels& ramp, const float* t, const float* prev, const float* above, int32_t count,
                      PatternColour* colours);
    // The per-channel integer glue modes over samples (colour rows as flat arrays of
    // red, green, blue): out = mode(p, d) sample by sample, as GlueRow gives it. False,
    // with nothing written, for the modes it does not hold. Null at the scalar level.
    bool (*glueSamples)(int32_t mode, GluePath path, const int32_t* p, const int32_t* d, int32_t* out,
                        int32_t samples);
};

// The levels this machine runs, the scalar reference first and the fastest last.
std::vector<SimdLevel> AvailableSimdLevels();

// The kernels of `level`; the scalar reference where the machine lacks the level.
RowKernels KernelsFor(SimdLevel level);

// "scalar", "sse4", "avx2", "avx512".
const char* SimdLevelName(SimdLevel level);

// The level TESSELUME_SIMD names when the machine has it, else the fastest.
SimdLevel SimdLevelFromEnvironment();
