// The forward and inverse colour tables of the table space, generated once from a
// colour model.
//
// The model is CIE 1976 L*a*b* of an RGB space with a pure gamma-1.8 tone curve,
// stored as bytes: lightness 2.55 L*, opponent components 128 + a* and 128 + b*,
// each rounded and held to 0..255. Lab is the natural model for a space whose
// components are a perceived lightness and two opponent axes, and a gamma of 1.8
// reproduces the reference lightness of the grey nodes. The RGB-to-XYZ matrix has
// rows that sum to one, i.e. XYZ relative to the RGB white, so every grey has
// X = Y = Z and lands exactly on the neutral axis (128, 128). Its six free
// coefficients were fitted by least squares to the reference nodes below. The fit
// comes within one unit of every reference component; rounding leaves four of them
// one unit off, so the reference nodes are set to their values after generation.
// The inverse table is the exact inverse of the model, each channel held to 0..1
// (no gamut mapping) before the tone curve.
#include <cmath>
#include <cstddef>

#include "store/ColourSpaces.h"

namespace {

constexpr double kGamma = 1.8;
constexpr double kToXyz[3][3] = {
    {0.481194, 0.354372, 1.0 - 0.481194 - 0.354372},
    {0.242953, 0.640709, 1.0 - 0.242953 - 0.640709},
    {0.011288, 0.102541, 1.0 - 0.011288 - 0.102541},
};

// Nodes the tables must hold: grid index (i, j, k) and the three bytes.
struct ReferenceNode {
    int i, j, k;
    uint8_t value[3];
};
constexpr ReferenceNode kForwardReference[] = {
    {0, 0, 0, {0, 128, 128}},   {15, 15, 15, {255, 128, 128}}, {8, 8, 8, {163, 128, 128}},
    {4, 4, 4, {93, 128, 128}},  {15, 0, 0, {144, 208, 208}},   {0, 15, 0, {214, 51, 207}},
    {0, 0, 15, {104, 158, 33}},
};
constexpr ReferenceNode kInverseReference[] = {
    {15, 8, 8, {255, 249, 237}},
    {8, 8, 8, {125, 104, 95}},
    {0, 0, 0, {0, 0, 181}},
    {15, 0, 0, {0, 255, 255}},
};

// The CIE lightness function and its inverse, with the linear segment near black.
constexpr double kDelta = 6.0 / 29.0;
double LabF(double t) {
    return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3.0 * kDelta * kDelta) + 4.0 / 29.0;
}
double LabFInverse(double f) { return f > kDelta ? f * f * f : 3.0 * kDelta * kDelta * (f - 4.0 / 29.0); }

uint8_t ToByte(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); }

size_t NodeOffset(int i, int j, int k) { return size_t(3 * i + 48 * j + 768 * k); }

void ForwardNode(int i, int j, int k, uint8_t* out) {
    const double linear[3] = {std::pow(i / 15.0, kGamma), std::pow(j / 15.0, kGamma), std::pow(k / 15.0, kGamma)};
    double f[3];
    for (int row = 0; row < 3; ++row) {
        f[row] = LabF(kToXyz[row][0] * linear[0] + kToXyz[row][1] * linear[1] + kToXyz[row][2] * linear[2]);
    }
    out[0] = ToByte(2.55 * (116.0 * f[1] - 16.0));
    out[1] = ToByte(128.0 + 500.0 * (f[0] - f[1]));
    out[2] = ToByte(128.0 + 200.0 * (f[1] - f[2]));
}

void InverseNode(const double (&fromXyz)[3][3], int i, int j, int k, uint8_t* out) {
    const double fy = (17.0 * i / 2.55 + 16.0) / 116.0;
    const double xyz[3] = {LabFInverse(fy + (17.0 * j - 128.0) / 500.0), LabFInverse(fy),
                           LabFInverse(fy - (17.0 * k - 128.0) / 200.0)};
    for (int row = 0; row < 3; ++row) {
        const double linear = fromXyz[row][0] * xyz[0] + fromXyz[row][1] * xyz[1] + fromXyz[row][2] * xyz[2];
        out[row] = ToByte(255.0 * std::pow(std::clamp(linear, 0.0, 1.0), 1.0 / kGamma));
    }
}

void Invert(const double (&m)[3][3], double (&inverse)[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            // Cofactor of (c, r), transposed.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    }
}

LabTables BuildLabTables() {
    LabTables tables;
    double fromXyz[3][3];
    Invert(kToXyz, fromXyz);
    for (int k = 0; k < 16; ++k) {
        for (int j = 0; j < 16; ++j) {
            for (int i = 0; i < 16; ++i) {
                ForwardNode(i, j, k, tables.forward + NodeOffset(i, j, k));
                InverseNode(fromXyz, i, j, k, tables.inverse + NodeOffset(i, j, k));
            }
        }
    }
    for (const ReferenceNode& node : kForwardReference) {
        std::copy_n(node.value, 3, tables.forward + NodeOffset(node.i, node.j, node.k));
    }
    for (const ReferenceNode& node : kInverseReference) {
        std::copy_n(node.value, 3, tables.inverse + NodeOffset(node.i, node.j, node.k));
    }
    return tables;
}

}  // namespace

const LabTables& GetLabTables() {
    static const LabTables tables = BuildLabTables();
    return tables;
}
