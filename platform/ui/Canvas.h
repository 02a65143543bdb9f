// Painting on a dialog's surface: 8-bit BGRA pixels addressed in client
// coordinates, every operation clipped to the canvas's clip rectangle.
//
// Rectangles are (left, top, right, bottom) with right and bottom exclusive.
// Colours are 0xAARRGGBB values; a pixel in memory is the bytes B, G, R, A, so a
// canvas can be handed to a host's displayPixels as its PIDrawSurface.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "PIFilter.h"

namespace ui {

using Color = std::uint32_t;

constexpr Color Rgb(unsigned red, unsigned green, unsigned blue) {
    return 0xFF000000u | (red & 255) << 16 | (green & 255) << 8 | (blue & 255);
}
// A colour from the 0x00BBGGRR form of the module's home platform.
constexpr Color FromColorRef(std::uint32_t colorRef) {
    return Rgb(colorRef & 255, colorRef >> 8 & 255, colorRef >> 16 & 255);
}

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    bool operator==(const Rect&) const = default;
};

Rect Intersect(Rect a, Rect b);
// The smallest rectangle holding both; an empty rectangle adds nothing.
Rect Bound(Rect a, Rect b);

// An image with straight (not premultiplied) alpha: 0 transparent, 255 opaque.
struct Bitmap {
    int width = 0, height = 0;
    std::vector<Color> pixels;  // rows top-down

    bool Empty() const { return pixels.empty(); }
    Color At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// A view of pixels to paint on; copying it copies the view, not the pixels.
struct Canvas {
    std::uint8_t* pixels = nullptr;
    int width = 0, height = 0;
    int rowBytes = 0;
    Rect clip;

    // The same pixels with the clip narrowed to r.
    Canvas Clipped(Rect r) const;
    PIDrawSurface AsDrawSurface() const;
    Color PixelAt(int x, int y) const;
};

// Source-over blending of a straight-alpha colour onto an opaque pixel.
Color BlendOver(Color under, Color over);

void FillRect(const Canvas& canvas, Rect r, Color color);
// A one-pixel outline along the inside of r.
void FrameRect(const Canvas& canvas, Rect r, Color color);
// A straight line including both end points.
void DrawLine(const Canvas& canvas, int x0, int y0, int x1, int y1, Color color);
// Draws bitmap with its top-left corner at (x, y), blending by its alpha.
void DrawBitmap(const Canvas& canvas, const Bitmap& bitmap, int x, int y);

// A TrueType face at one size, found through fontconfig and rendered by FreeType.
struct Font;

// The face fontconfig gives for family (its aliases map "Arial" to a metric-compatible
// face such as Liberation Sans) at pointSize points on a 96-dpi screen, so that 8
// points give an 11-pixel em. Fonts are made once and kept for the process; null
// when there is no usable face at all.
const Font* GetFont(std::string_view family, int pointSize, bool bold = false);
int TextWidth(const Font& font, std::string_view text);
int LineHeight(const Font& font);
// The mean advance of the letters A-Z and a-z, rounded: the base of dialog units.
int AverageCharWidth(const Font& font);

enum TextFlags : unsigned {
    kTextLeft = 0,
    kTextCenter = 1,
    kTextRight = 2,
    kTextVCenter = 4,  // centre the lines vertically instead of starting at the top
    kTextWrap = 8,     // break lines between words to fit the rectangle's width
};

// Draws UTF-8 text (bytes that are not UTF-8 read as Latin-1) in r: lines of
// LineHeight from r.top, each aligned by flags, clipped to r and the canvas clip.
// '\n' starts a new line.
void DrawText(const Canvas& canvas, const Font& font, std::string_view text, Rect r, Color color,
              unsigned flags = kTextLeft);

}  // namespace ui
