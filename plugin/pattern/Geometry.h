// Symmetry and geometry: maps an output pixel to the point of pattern space where
// the pattern field is evaluated.
//
// Pixels are addressed by column c within the rendered row and row r from the top
// of the saved filter rectangle. The rectangle's centre is the origin; x spans
// -1..1 across the width and y -1..1 across the height (-A..A with aspect on),
// both scaled by the zoom factor, then folded into 2-fold to 5-fold rotational
// symmetry and optionally mirrored. Everything that depends only on the settings
// and the rectangle is computed once per row into GeometryConstants.
#pragma once

#include <cstdint>

#include "PIFilter.h"

struct Settings;

struct GeometryConstants {
    int32_t previewScale;     // image pixels per rendered pixel
    int32_t panX, panY;       // image-pixel offset of the first rendered column and row
    float width, height;      // W and H of the saved filter rectangle, at least 1
    float zoom;               // Z = 2^(2 - zoom * 6 / 100)
    float aspectRatio;        // A = H / W
    bool aspect, mirror;
    double foldFactor;        // k: 1.5, 2.0 or 2.5; 0 for no fold
    bool doubleAngle;         // weave doubles the angle before the fold (3-fold and 5-fold)
};

GeometryConstants MakeGeometryConstants(const Settings& settings, const Rect& savedFilterRect);

// Folds a centred, zoomed point into the rotational symmetry, then mirrors it.
void FoldPoint(const GeometryConstants& geometry, float& x, float& y);

// The pattern-space y of row `row` before the fold: centred, aspect and zoom applied.
float RowPointY(const GeometryConstants& geometry, int32_t row);

// Pattern-space points of `count` pixels of row `row`, from column `firstColumn` on.
void MapRow(const GeometryConstants& geometry, int32_t row, int32_t firstColumn, int32_t count, float* x, float* y);
