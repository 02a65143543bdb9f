// The four GIF89a frame pieces of a catalogue page: together they draw a soft grey
// shadow around an 88 x 88 picture, light at the top and sides and darker along
// the bottom. The page scales them to each picture's size.
#pragma once

#include <cstdint>
#include <vector>

// One piece: its file name and size.
struct FramePiece {
    const char* fileName;
    int32_t width;
    int32_t height;
};
inline constexpr FramePiece kFramePieces[4] = {
    {"top.gif", 94, 2}, {"left.gif", 3, 88}, {"right.gif", 3, 88}, {"bottom.gif", 94, 5}};

// The whole GIF file of piece i (0..3), from its signature to its trailer byte.
std::vector<uint8_t> EncodeFramePiece(int i);

// Writes the four pieces into folder, each whole, over any existing file. A piece
// that cannot be written is skipped. Returns how many were written.
int WriteFramePieces(const char* folder);
