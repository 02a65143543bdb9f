// A small anti-aliased painter for the build-time artwork: shapes are signed
// distance functions (negative inside), filled with 4 x 4 samples per pixel and
// blended over straight-alpha RGBA pixels, then written as pixmaps.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace art {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;  // 0..1, straight alpha
};

// 0xRRGGBB with an alpha of 0..1.
Rgba Hex(std::uint32_t rgb, float alpha = 1.0f);
Rgba Mix(Rgba a, Rgba b, float t);

struct Image {
    int width = 0, height = 0;
    std::vector<Rgba> pixels;
    Image(int w, int h, Rgba fill = {});
    Rgba& At(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    const Rgba& At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

using Shape = std::function<float(float x, float y)>;

// Shapes in pixel coordinates (pixel x covers x..x+1).
Shape Box(float left, float top, float right, float bottom, float radius = 0);
Shape Circle(float cx, float cy, float radius);
Shape Segment(float ax, float ay, float bx, float by, float width);
// A closed polygon, by the even-odd rule.
Shape Polygon(std::vector<float> xy);
Shape Union(Shape a, Shape b);
// The band of the given width along a shape's edge, centred on it.
Shape Outline(Shape shape, float width);
// Polyline through the points, as round-capped segments.
Shape Polyline(const std::vector<float>& xy, float width);

// Blends colour over the pixels the shape covers within the box (left, top, right,
// bottom; clipped to the image).
void Fill(Image& image, const Shape& shape, Rgba colour, int left, int top, int right, int bottom);
void Fill(Image& image, const Shape& shape, Rgba colour);
// Sets every pixel of the box from a function of its centre, averaged over 4 x 4 samples.
void Shade(Image& image, int left, int top, int right, int bottom, const std::function<Rgba(float x, float y)>& colour);
// Draws source over the image with its top-left corner at (x, y).
void Place(Image& image, const Image& source, int x, int y);
// Area-averaged reduction to the given size.
Image Reduce(const Image& source, int width, int height);

// Writes the image as a pixmap: colours quantised to at most 92 palette entries
// (the most used, every other pixel taking the nearest). False on a write error.
bool WritePixmap(const Image& image, const std::string& path, const std::string& comment, int hotX = -1,
                 int hotY = -1);

}  // namespace art
