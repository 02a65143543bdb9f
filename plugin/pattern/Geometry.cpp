// Symmetry and geometry: pixel to pattern-space point.
#include "pattern/Geometry.h"

#include <cmath>

#include "store/PixelMath.h"
#include "settings/Settings.h"

void FoldPoint(const GeometryConstants& g, float& x, float& y) {
    if (g.foldFactor != 0.0) {
        constexpr float kPi = 3.1415927f;
        constexpr float kTwoPi = 6.2831855f;
        const float radius = std::sqrt(x * x + y * y);
        // theta = atan2(x, y) + pi in 0..2pi, with the axis cases tied as below.
        float theta;
        if (y > 0.0f) {
            theta = PixelMath::Atan(x / y) + kPi;
        } else if (y < 0.0f) {
            theta = x >= 0.0f ? PixelMath::Atan(x / y) + kTwoPi : PixelMath::Atan(x / y);
        } else {
            theta = x <= 0.0f ? 1.5707964f : 4.712389f;
        }
        if (g.doubleAngle) theta = theta * 2.0f;
        const float folded = float(double(theta) * g.foldFactor);
        x = PixelMath::Cos(folded) * radius;
        y = PixelMath::Sin(folded) * radius;
    }
    if (g.mirror) {
        x = std::fabs(x);
        y = std::fabs(y);
    }
}

GeometryConstants MakeGeometryConstants(const Settings& settings, const Rect& savedFilterRect) {
    GeometryConstants g{};
    g.previewScale = settings.previewScale;
    g.panX = settings.previewPanX;
    g.panY = settings.previewPanY;
    // An empty rectangle renders nothing; holding the sizes at 1 keeps the divisions finite.
    const int32_t w = savedFilterRect.right - savedFilterRect.left;
    const int32_t h = savedFilterRect.bottom - savedFilterRect.top;
    g.width = float(w < 1 ? 1 : w);
    g.height = float(h < 1 ? 1 : h);
    const float exponent = float(double(settings.zoom) * 6.0 / 100.0);
    g.zoom = float(std::pow(2.0, 2.0 - double(exponent)));
    g.aspectRatio = g.height / g.width;
    g.aspect = settings.aspect != 0;
    g.mirror = settings.mirror != 0;
    switch (settings.symmetry) {
    case 2: g.foldFactor = 1.5; break;
    case 3: g.foldFactor = 2.0; break;
    case 4: g.foldFactor = 2.5; break;
    default: g.foldFactor = 0.0; break;  // 1 ("2-fold") and out-of-range values: no fold
    }
    g.doubleAngle = settings.weave != 0 && (settings.symmetry == 2 || settings.symmetry == 4);
    return g;
}

float RowPointY(const GeometryConstants& g, int32_t row) {
    const int32_t py = g.previewScale * row + g.panY;
    const float v = float(2 * py + 1) / (g.height + g.height);
    float rowY = float((double(v) - 0.5) * 2.0);
    if (g.aspect) rowY = rowY * g.aspectRatio;
    return rowY * g.zoom;
}

void MapRow(const GeometryConstants& g, int32_t row, int32_t firstColumn, int32_t count, float* x, float* y) {
    const float rowY = RowPointY(g, row);
    const float twiceWidth = g.width + g.width;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t px = g.previewScale * (firstColumn + i) + g.panX;
        const float u = float(2 * px + 1) / twiceWidth;
        float pointX = float((double(u) - 0.5) * 2.0) * g.zoom;
        float pointY = rowY;
        FoldPoint(g, pointX, pointY);
        x[i] = pointX;
        y[i] = pointY;
    }
}
