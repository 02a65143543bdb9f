// Fills, lines and bitmaps on a BGRA canvas.
#include "platform/ui/Canvas.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

static_assert(std::endian::native == std::endian::little, "pixels are stored as 32-bit 0xAARRGGBB values");

namespace ui {

Rect Intersect(Rect a, Rect b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.Empty() ? Rect{} : r;
}

Rect Bound(Rect a, Rect b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

Canvas Canvas::Clipped(Rect r) const {
    Canvas narrowed = *this;
    narrowed.clip = Intersect(clip, r);
    return narrowed;
}

PIDrawSurface Canvas::AsDrawSurface() const {
    return {pixels, width, height, rowBytes, VRect{clip.top, clip.left, clip.bottom, clip.right}};
}

namespace {

Color* Row(const Canvas& canvas, int y) { return reinterpret_cast<Color*>(canvas.pixels + std::size_t(y) * canvas.rowBytes); }

// The part of the clip that lies on the pixels.
Rect Visible(const Canvas& canvas) { return Intersect(canvas.clip, {0, 0, canvas.width, canvas.height}); }

}  // namespace

Color BlendOver(Color under, Color over) {
    const unsigned a = over >> 24;
    if (a == 255) return over;
    if (a == 0) return under;
    Color out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const unsigned u = under >> shift & 255, o = over >> shift & 255;
        out |= ((o * a + u * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

Color Canvas::PixelAt(int x, int y) const { return Row(*this, y)[x]; }

void FillRect(const Canvas& canvas, Rect r, Color color) {
    r = Intersect(r, Visible(canvas));
    for (int y = r.top; y < r.bottom; ++y) std::fill(Row(canvas, y) + r.left, Row(canvas, y) + r.right, color);
}

void FrameRect(const Canvas& canvas, Rect r, Color color) {
    if (r.Empty()) return;
    FillRect(canvas, {r.left, r.top, r.right, r.top + 1}, color);
    FillRect(canvas, {r.left, r.bottom - 1, r.right, r.bottom}, color);
    FillRect(canvas, {r.left, r.top, r.left + 1, r.bottom}, color);
    FillRect(canvas, {r.right - 1, r.top, r.right, r.bottom}, color);
}

void DrawLine(const Canvas& canvas, int x0, int y0, int x1, int y1, Color color) {
    const Rect visible = Visible(canvas);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        if (visible.Contains(x0, y0)) Row(canvas, y0)[x0] = color;
        if (x0 == x1 && y0 == y1) return;
        const int twice = 2 * error;
        if (twice >= dy) error += dy, x0 += sx;
        if (twice <= dx) error += dx, y0 += sy;
    }
}

void DrawBitmap(const Canvas& canvas, const Bitmap& bitmap, int x, int y) {
    const Rect r = Intersect({x, y, x + bitmap.width, y + bitmap.height}, Visible(canvas));
    for (int row = r.top; row < r.bottom; ++row) {
        Color* out = Row(canvas, row);
        for (int column = r.left; column < r.right; ++column)
            out[column] = BlendOver(out[column], bitmap.At(column - x, row - y));
    }
}

}  // namespace ui
