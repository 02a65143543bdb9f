// The pattern field: mixers, shaping and the pattern value.
#include "pattern/PatternField.h"

#include <cmath>

#include "store/PixelMath.h"
#include "settings/Settings.h"

namespace {

// F * |F|^s: keeps the sign, raises the magnitude to 1 + s. No power is taken for a
// zero exponent or a zero value, so 0 is never raised to a negative power.
inline float Shape(float value, float exponent) {
    if (exponent == 0.0f || value == 0.0f) return value;
    return value * PixelMath::Pow(std::fabs(value), exponent);
}

// Mixer k's term at the phase-scaled point (x, y).
inline float MixerTerm(const FieldConstants& f, int k, float x, float y) {
    using PixelMath::Sin;
    const float a1 = f.first[k], a2 = f.second[k];
    if (!f.weave) {
        const float sum = Sin(a2 * y) * Sin(a1 * x) + Sin(a2 * x) * Sin(a1 * y);
        return float(0.5 * double(sum));
    }
    if (k < 2) return 0.25f * (((Sin(a2 * y) + Sin(a1 * x)) + Sin(a2 * x)) + Sin(a1 * y));
    // Mixer 3 multiplies its first two sines, so its weave form stays within 0.75.
    return 0.25f * ((Sin(a2 * y) * Sin(a1 * x) + Sin(a2 * x)) + Sin(a1 * y));
}

// A point's coordinate on the phase scale: times pi, and half that under weave.
inline float Phase(const FieldConstants& f, float point) {
    const float phase = float(double(point) * kPi);
    return f.weave ? phase * 0.5f : phase;
}

inline float PatternValue(const FieldConstants& f, float pointX, float pointY) {
    const float x = Phase(f, pointX), y = Phase(f, pointY);
    float term[3];
    for (int k = 0; k < 3; ++k) term[k] = f.on[k] ? Shape(MixerTerm(f, k, x, y), f.sharpness[k]) : 0.0f;
    float sum = (term[1] * f.weight[1] + term[0] * f.weight[0]) + term[2] * f.weight[2];
    sum = float(double(sum) / 3.0);
    sum = Shape(sum, f.globalSharpness);
    return float((double(sum) + 1.0) * 0.5);
}

}  // namespace

FieldConstants MakeFieldConstants(const Settings& s) {
    FieldConstants f{};
    const int32_t mixer[3] = {s.mixer1, s.mixer2, s.mixer3};
    const int32_t invert[3] = {s.invert1, s.invert2, s.invert3};
    const int32_t first[3] = {s.amount11, s.amount21, s.amount31};
    const int32_t second[3] = {s.amount12, s.amount22, s.amount32};
    const int32_t sharpness[3] = {s.sharpness1, s.sharpness2, s.sharpness3};
    for (int k = 0; k < 3; ++k) {
        f.weight[k] = SettingConstant(mixer[k], 0.01);
        f.on[k] = f.weight[k] > 0.0f;  // tested before the inversion: inverting never switches a mixer off
        if (invert[k]) f.weight[k] = -f.weight[k];
        f.first[k] = SettingConstant(first[k], 0.1);
        f.second[k] = SettingConstant(second[k], 0.1);
        f.sharpness[k] = SettingConstant(sharpness[k], -0.01);
    }
    f.globalSharpness = SettingConstant(s.sharpness, -0.01);
    if (f.globalSharpness > 0.99f) f.globalSharpness = 0.99f;
    f.weave = s.weave != 0;
    return f;
}

void PatternRow(const FieldConstants& field, const float* x, const float* y, int32_t count, float* t) {
    for (int32_t i = 0; i < count; ++i) t[i] = PatternValue(field, x[i], y[i]);
}

void TakeXSines(const FieldConstants& field, const float* x, int32_t count, float* table, int32_t stride) {
    for (int32_t i = 0; i < count; ++i) {
        const float phase = Phase(field, x[i]);
        for (int k = 0; k < 3; ++k) {
            table[2 * k * stride + i] = PixelMath::Sin(field.first[k] * phase);
            table[(2 * k + 1) * stride + i] = PixelMath::Sin(field.second[k] * phase);
        }
    }
}
