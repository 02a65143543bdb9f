// The pattern field: one pattern value t in 0..1 per pattern-space point.
//
// The field is the weighted sum of three mixers, each the interference of two sine
// gratings, shaped by per-mixer and global sharpness powers. It is a pure function
// of the settings and the point. FieldConstants holds everything derived from the
// settings, computed once per row; every step is single precision except where a
// product is formed in double and rounded, as noted in PatternField.cpp.
#pragma once

#include <cstdint>

struct Settings;

struct FieldConstants {
    float weight[3];      // m1..m3: mixer k's weight, negated when inverted
    bool on[3];           // mixer k takes part (its setting is above 0)
    float first[3];       // a_k1: first frequency of mixer k
    float second[3];      // a_k2: second frequency of mixer k
    float sharpness[3];   // s_k: exponent of mixer k's shaping
    float globalSharpness;  // s, at most 0.99
    bool weave;           // sum form of the mixers and half the phase scale
};

FieldConstants MakeFieldConstants(const Settings& settings);

// Pattern values of `count` points.
void PatternRow(const FieldConstants& field, const float* x, const float* y, int32_t count, float* t);

// The sines of the points' x alone, sin(a_k1 * x) and sin(a_k2 * x) of each mixer k,
// as the field takes them: without a fold every row has the same x column by
// column, so a render can take them once for all its rows. Row 2k (a_k1) and row
// 2k + 1 (a_k2) of a table `stride` floats wide, from the first point on.
struct XSines {
    const float* table;
    int32_t stride;
};
constexpr int32_t kXSineRows = 6;

// Fills the table's rows (stride floats apart) for count points x.
void TakeXSines(const FieldConstants& field, const float* x, int32_t count, float* table, int32_t stride);
