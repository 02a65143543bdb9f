// Geometry and pattern field: the stated values, symmetries and tie-breaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "pattern/Geometry.h"
#include "pattern/PatternField.h"
#include "settings/Settings.h"

namespace {

Settings Factory() {
    Settings s;
    InitialiseSettings(s, nullptr);
    return s;
}

Rect Rectangle(int16_t width, int16_t height) { return Rect{10, 20, int16_t(10 + height), int16_t(20 + width)}; }

float ValueAt(const FieldConstants& field, float x, float y) {
    float t;
    PatternRow(field, &x, &y, 1, &t);
    return t;
}

// Pattern values of a whole row.
std::vector<float> RowValues(const Settings& s, const Rect& rect, int32_t row) {
    const int32_t width = rect.right - rect.left;
    std::vector<float> x(width), y(width), t(width);
    MapRow(MakeGeometryConstants(s, rect), row, 0, width, x.data(), y.data());
    PatternRow(MakeFieldConstants(s), x.data(), y.data(), width, t.data());
    return t;
}

TEST(Geometry, CentreEdgesAndZoom) {
    Settings s = Factory();
    s.zoom = 0;  // Z = 4
    s.aspect = 0;
    s.symmetry = 1;
    const Rect rect = Rectangle(9, 5);
    const GeometryConstants g = MakeGeometryConstants(s, rect);
    EXPECT_EQ(g.zoom, 4.0f);
    float x[9], y[9];
    MapRow(g, 0, 0, 9, x, y);
    EXPECT_FLOAT_EQ(x[0], -4.0f * 8.0f / 9.0f);
    EXPECT_FLOAT_EQ(x[8], 4.0f * 8.0f / 9.0f);
    EXPECT_FLOAT_EQ(y[0], -4.0f * 4.0f / 5.0f);
    EXPECT_EQ(x[4], 0.0f);
    MapRow(g, 4, 0, 9, x, y);
    EXPECT_FLOAT_EQ(y[4], 4.0f * 4.0f / 5.0f);
    // Aspect scales y by H / W; the zoom for 50 is 0.5 and for 100 is 1/16.
    s.aspect = 1;
    MapRow(MakeGeometryConstants(s, rect), 0, 0, 9, x, y);
    EXPECT_FLOAT_EQ(y[0], -4.0f * 4.0f / 5.0f * 5.0f / 9.0f);
    s.zoom = 50;
    EXPECT_EQ(MakeGeometryConstants(s, rect).zoom, 0.5f);
    s.zoom = 100;
    EXPECT_EQ(MakeGeometryConstants(s, rect).zoom, 0.0625f);
    // Preview scale and pan pick image pixels: rendered column 1 at scale 2, pan 3 is pixel 5.
    s.previewScale = 2;
    s.previewPanX = 3;
    float panned[2], plain[9];
    MapRow(MakeGeometryConstants(s, rect), 0, 0, 2, panned, y);
    s.previewScale = 1;
    s.previewPanX = 0;
    MapRow(MakeGeometryConstants(s, rect), 0, 0, 9, plain, y);
    EXPECT_EQ(panned[1], plain[5]);
    // The centre of an odd rectangle stays at the origin under every fold, with and
    // without mirror and weave.
    for (int32_t symmetry = 1; symmetry <= 4; ++symmetry) {
        for (int32_t flags = 0; flags < 4; ++flags) {
            s.symmetry = symmetry;
            s.mirror = flags & 1;
            s.weave = flags >> 1;
            MapRow(MakeGeometryConstants(s, rect), 2, 0, 9, x, y);
            EXPECT_EQ(x[4], 0.0f);
            EXPECT_EQ(y[4], 0.0f);
        }
    }
    // A one-pixel-wide rectangle maps its only column to x = 0.
    s.symmetry = 1;
    s.mirror = 0;
    MapRow(MakeGeometryConstants(s, Rectangle(1, 5)), 0, 0, 1, x, y);
    EXPECT_EQ(x[0], 0.0f);
}

TEST(Geometry, AxisTieBreaksAndMirror) {
    Settings s = Factory();
    s.symmetry = 3;  // 4-fold: k = 2
    s.mirror = 0;
    GeometryConstants g = MakeGeometryConstants(s, Rectangle(8, 8));
    // On the negative x axis theta is pi/2, so the folded angle is pi: (-r, 0).
    float x = -2.0f, y = 0.0f;
    FoldPoint(g, x, y);
    EXPECT_NEAR(x, -2.0f, 1e-6f);
    EXPECT_NEAR(y, 0.0f, 1e-6f);
    // On the positive x axis theta is 3pi/2, folded to 3pi: (-r, 0) again.
    x = 2.0f;
    y = 0.0f;
    FoldPoint(g, x, y);
    EXPECT_NEAR(x, -2.0f, 1e-6f);
    EXPECT_NEAR(y, 0.0f, 1e-5f);
    // Straight up (y > 0, x = 0): theta = pi, folded to 2pi: (r, 0).
    x = 0.0f;
    y = 3.0f;
    FoldPoint(g, x, y);
    EXPECT_NEAR(x, 3.0f, 1e-6f);
    EXPECT_NEAR(y, 0.0f, 1e-5f);
    // Weave doubles the angle for 3-fold and 5-fold only.
    s.weave = 1;
    EXPECT_FALSE(MakeGeometryConstants(s, Rectangle(8, 8)).doubleAngle);
    s.symmetry = 2;
    EXPECT_TRUE(MakeGeometryConstants(s, Rectangle(8, 8)).doubleAngle);
    // Mirror without a fold reflects the four quadrants onto each other.
    s.symmetry = 1;
    s.weave = 0;
    s.mirror = 1;
    const Rect rect = Rectangle(12, 10);
    const std::vector<float> top = RowValues(s, rect, 1), bottom = RowValues(s, rect, 8);
    for (int32_t c = 0; c < 12; ++c) {
        // Columns c and 11 - c, rows 1 and 8, centre at opposite points up to rounding.
        EXPECT_NEAR(top[c], top[11 - c], 1e-5f);
        EXPECT_NEAR(top[c], bottom[c], 1e-5f);
    }
}

TEST(PatternField, StatedValues) {
    Settings s = Factory();
    // The origin gives every term 0 and t = 0.5.
    EXPECT_EQ(ValueAt(MakeFieldConstants(s), 0.0f, 0.0f), 0.5f);
    // All mixers off: t = 0.5 everywhere, also with inversions set.
    s.mixer1 = s.mixer2 = s.mixer3 = 0;
    s.invert1 = s.invert2 = s.invert3 = 1;
    for (int32_t row = 0; row < 7; ++row)
        for (float t : RowValues(s, Rectangle(13, 7), row)) EXPECT_EQ(t, 0.5f);
    // Sharpness below -99 holds the global exponent at 0.99.
    s.sharpness = -150;
    EXPECT_EQ(MakeFieldConstants(s).globalSharpness, 0.99f);
    s.sharpness = -50;
    EXPECT_EQ(MakeFieldConstants(s).globalSharpness, 0.5f);
}

TEST(PatternField, MixerFormsAgainstTheFormulas) {
    Settings s = Factory();
    s.mixer1 = 100;
    s.mixer2 = s.mixer3 = 0;
    s.invert1 = 0;
    s.sharpness1 = 0;
    s.sharpness = 0;
    s.amount11 = 37;
    s.amount12 = 37;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
    for (int i = 0; i < 1000; ++i) {
        const float px = coordinate(random), py = coordinate(random);
        const double a = 3.7, x = px * M_PI, y = py * M_PI;
        s.weave = 0;  // product form: sin(ax) sin(ay)
        EXPECT_NEAR(ValueAt(MakeFieldConstants(s), px, py), (std::sin(a * x) * std::sin(a * y) / 3 + 1) / 2, 2e-6);
        s.weave = 1;  // sum form on the halved phase: (sin(ax/2) + sin(ay/2)) / 2
        EXPECT_NEAR(ValueAt(MakeFieldConstants(s), px, py),
                    ((std::sin(a * x / 2) + std::sin(a * y / 2)) / 2 / 3 + 1) / 2, 2e-6);
    }
    // Mixer 3's weave form multiplies its first two sines: at a point where every
    // sine is 1 it gives 0.75, not 1.
    s.mixer1 = 0;
    s.mixer3 = 100;
    s.invert3 = 0;
    s.sharpness3 = 0;
    s.amount31 = s.amount32 = 10;  // frequency 1: sin(pi * p / 2) = 1 at p = 1
    EXPECT_NEAR(ValueAt(MakeFieldConstants(s), 1.0f, 1.0f), (0.75 / 3 + 1) / 2, 1e-6);
}

TEST(PatternField, InversionSharpnessAndSymmetries) {
    Settings s = Factory();
    s.sharpness = 0;
    s.mixer2 = s.mixer3 = 0;
    std::mt19937 random(6);
    std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
    for (int i = 0; i < 500; ++i) {
        const float x = coordinate(random), y = coordinate(random);
        // Inverting the one enabled mixer mirrors t about 0.5.
        s.invert1 = 0;
        const float plain = ValueAt(MakeFieldConstants(s), x, y);
        s.invert1 = 1;
        EXPECT_NEAR(ValueAt(MakeFieldConstants(s), x, y), 1.0f - plain, 1e-6f);
        // A positive sharpness setting pushes the term towards +-1: |t - 0.5| grows.
        s.sharpness1 = 50;
        const float sharper = ValueAt(MakeFieldConstants(s), x, y);
        s.sharpness1 = 0;
        EXPECT_GE(std::fabs(sharper - 0.5f) + 1e-7f, std::fabs(ValueAt(MakeFieldConstants(s), x, y) - 0.5f));
    }
    // The product form is unchanged by swapping x and y and by a half turn.
    const FieldConstants factory = MakeFieldConstants(Factory());
    for (int i = 0; i < 500; ++i) {
        const float x = coordinate(random), y = coordinate(random);
        const float t = ValueAt(factory, x, y);
        EXPECT_EQ(ValueAt(factory, y, x), t);
        EXPECT_EQ(ValueAt(factory, -x, -y), t);
    }
}

// Turning a point by 1/n of a turn before the fold leaves the folded pattern value
// unchanged (to rounding) for the n-fold symmetries; weave needs its doubled angle
// for this, which 3-fold and 5-fold have.
TEST(Geometry, FoldsGiveTheirRotationalOrder) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-1.5f, 1.5f);
    for (int32_t symmetry = 1; symmetry <= 4; ++symmetry) {
        for (int32_t weave = 0; weave <= 1; ++weave) {
            if (weave && symmetry % 2 == 1) continue;  // 2-fold and 4-fold weave repeat only once a turn
            Settings s = Factory();
            s.symmetry = symmetry;
            s.weave = weave;
            const GeometryConstants g = MakeGeometryConstants(s, Rectangle(8, 8));
            const FieldConstants field = MakeFieldConstants(s);
            const double step = 2.0 * M_PI / double(symmetry + 1);
            float largest = 0.0f;
            for (int i = 0; i < 2000; ++i) {
                float x = coordinate(random), y = coordinate(random);
                float turnedX = float(x * std::cos(step) - y * std::sin(step));
                float turnedY = float(x * std::sin(step) + y * std::cos(step));
                FoldPoint(g, x, y);
                FoldPoint(g, turnedX, turnedY);
                largest = std::max(largest, std::fabs(ValueAt(field, x, y) - ValueAt(field, turnedX, turnedY)));
            }
            EXPECT_LT(largest, 1e-3f) << "symmetry " << symmetry << " weave " << weave;
        }
    }
}

}  // namespace
