// Images: the readable pixmap form in which the module keeps its bitmaps, icons and
// cursors, and PNG files of a canvas (screenshots).
//
// A pixmap is text. Lines starting with '#' are comments. The first other line is
// "pixmap WIDTH HEIGHT" (a cursor adds "hotspot X Y"); then one line per palette
// entry, "colour C #RRGGBB", "colour C #RRGGBBAA" (with alpha, 00 transparent to FF
// opaque) or "colour C none" (transparent), C being one printable character but '#';
// then HEIGHT rows of WIDTH palette characters, top row first.
#pragma once

#include <cstdint>
#include <span>

#include "platform/ui/Canvas.h"

namespace ui {

struct Pixmap {
    Bitmap bitmap;
    int hotX = 0, hotY = 0;  // the cursor's hot spot; 0, 0 when not given
};

// False when the bytes are not a well-formed pixmap.
bool ParsePixmap(std::span<const std::uint8_t> bytes, Pixmap& pixmap);
// Writes the canvas's clip rectangle as an 8-bit RGB PNG file. False on failure.
bool WritePng(const char* path, const Canvas& canvas);

}  // namespace ui
