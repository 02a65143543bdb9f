// Geometry and pattern field against stated positions and the mixers' formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "PatternTestSupport.h"
#include "pattern/Geometry.h"
#include "pattern/PatternField.h"

namespace {

float ValueAt(const FieldConstants& field, float x, float y) {
    float t;
    PatternRow(field, &x, &y, 1, &t);
    return t;
}

TEST(Geometry, CentreEdgesZoomPanAndTheFoldsRotationalOrder) {
    Settings s = FactorySettings();
    s.zoom = s.aspect = 0;  // Z = 4
    s.symmetry = 1;
    const Rect rect{10, 20, 15, 29};  // 9 x 5
    float x[9], y[9];
    MapRow(MakeGeometryConstants(s, rect), 0, 0, 9, x, y);
    EXPECT_FLOAT_EQ(x[0], -4.0f * 8.0f / 9.0f);  // edges at +-Z (W - 1) / W
    EXPECT_FLOAT_EQ(x[8], 4.0f * 8.0f / 9.0f);
    EXPECT_FLOAT_EQ(y[0], -4.0f * 4.0f / 5.0f);
    s.aspect = 1;  // y scaled by H / W
    MapRow(MakeGeometryConstants(s, rect), 0, 0, 9, x, y);
    EXPECT_FLOAT_EQ(y[0], -4.0f * 4.0f / 9.0f);
    s.zoom = 50;
    EXPECT_EQ(MakeGeometryConstants(s, rect).zoom, 0.5f);
    // At scale 2 and pan 3, rendered column 1 is image pixel 5.
    Settings scaled = s;
    scaled.previewScale = 2;
    scaled.previewPanX = 3;
    float panned[2], plain[9];
    MapRow(MakeGeometryConstants(scaled, rect), 0, 0, 2, panned, y);
    MapRow(MakeGeometryConstants(s, rect), 0, 0, 9, plain, y);
    EXPECT_EQ(panned[1], plain[5]);
    // The centre pixel of an odd rectangle stays at the origin under every fold,
    // mirror and weave, and there every mixer term is 0: t = 0.5.
    for (int32_t symmetry = 1; symmetry <= 4; ++symmetry)
        for (int32_t flags = 0; flags < 4; ++flags) {
            s.symmetry = symmetry;
            s.mirror = flags & 1;
            s.weave = flags >> 1;
            MapRow(MakeGeometryConstants(s, rect), 2, 0, 9, x, y);
            EXPECT_EQ((std::array{x[4], y[4], ValueAt(MakeFieldConstants(s), x[4], y[4])}), (std::array{0.0f, 0.0f, 0.5f}))
                << symmetry << " " << flags;
        }

    // Turning a point by 1/n of a turn before the n-fold fold leaves the pattern value as it
    // was, up to rounding; weave keeps it only with its doubled angle (3-fold and 5-fold).
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-1.5f, 1.5f);
    for (int32_t symmetry = 1; symmetry <= 4; ++symmetry)
        for (int32_t weave = 0; weave < (symmetry % 2 == 0 ? 2 : 1); ++weave) {
            Settings folded = FactorySettings();
            folded.symmetry = symmetry;
            folded.weave = weave;
            const GeometryConstants g = MakeGeometryConstants(folded, Rect{0, 0, 8, 8});
            const FieldConstants field = MakeFieldConstants(folded);
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

TEST(PatternField, MixerFormsInversionAndMirror) {
    Settings s = FactorySettings();
    s.mixer1 = 100;
    s.mixer2 = s.mixer3 = s.invert1 = s.sharpness1 = s.sharpness = 0;
    s.amount11 = s.amount12 = 37;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
    for (int i = 0; i < 1000; ++i) {
        const float px = coordinate(random), py = coordinate(random);
        const double a = 3.7, x = px * M_PI, y = py * M_PI;
        s.weave = 0;  // product form: sin(ax) sin(ay)
        const float product = ValueAt(MakeFieldConstants(s), px, py);
        EXPECT_NEAR(product, (std::sin(a * x) * std::sin(a * y) / 3 + 1) / 2, 2e-6);
        s.invert1 = 1;  // inversion mirrors t about 0.5
        EXPECT_NEAR(ValueAt(MakeFieldConstants(s), px, py), 1.0f - product, 1e-6f);
        s.invert1 = 0;
        s.weave = 1;  // sum form on the halved phase: (sin(ax/2) + sin(ay/2)) / 2
        EXPECT_NEAR(ValueAt(MakeFieldConstants(s), px, py), ((std::sin(a * x / 2) + std::sin(a * y / 2)) / 6 + 1) / 2,
                    2e-6);
    }
    // Mixer 3's weave form multiplies its first two sines: where all four are 1 it
    // gives 0.75, not 1.
    s.mixer1 = s.invert3 = s.sharpness3 = 0;
    s.mixer3 = 100;
    s.amount31 = s.amount32 = 10;
    EXPECT_NEAR(ValueAt(MakeFieldConstants(s), 1.0f, 1.0f), (0.75 / 3 + 1) / 2, 1e-6);
    // Mirror without a fold shows the four quadrants reflected in the centre lines.
    s = FactorySettings();
    s.symmetry = s.mirror = 1;
    const Rect rect{0, 0, 10, 12};
    float x[12], y[12], top[12], bottom[12];
    MapRow(MakeGeometryConstants(s, rect), 1, 0, 12, x, y);
    PatternRow(MakeFieldConstants(s), x, y, 12, top);
    MapRow(MakeGeometryConstants(s, rect), 8, 0, 12, x, y);
    PatternRow(MakeFieldConstants(s), x, y, 12, bottom);
    for (int32_t c = 0; c < 12; ++c) {
        EXPECT_NEAR(top[c], top[11 - c], 1e-5f);  // opposite pixel centres agree up to rounding
        EXPECT_NEAR(top[c], bottom[c], 1e-5f);
    }
}

}  // namespace
