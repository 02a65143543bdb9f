// GIF89a frame pieces: a 16-entry grey palette and LZW data made only of literal
// codes, with a clear code often enough that the code width stays at 5 bits.
#include "export/GifPieces.h"

#include <algorithm>
#include <string>

#include "platform/Files.h"

namespace {

constexpr int kPaletteBits = 4;             // 16 entries
constexpr int kClearCode = 1 << kPaletteBits;
constexpr int kEndCode = kClearCode + 1;
constexpr int kCodeWidth = kPaletteBits + 1;
// After a clear code each literal but the first adds a table entry; 12 literals
// end at entry 28, before the decoder would widen its codes at 32.
constexpr int kLiteralsPerClear = 12;

// Palette entry i: white (0) to a mid grey (15).
uint8_t Grey(int i) { return uint8_t(255 - i * 9); }

// The shadow's palette index at (x, y) of piece i: darkest next to the picture.
int ShadeAt(int piece, int x, int y, int width) {
    switch (piece) {
    case 0: return 1 + y;                      // top: two faint rows
    case 1: return 1 + x;                      // left: darker towards the picture
    case 2: return 4 - x;                      // right: a little heavier
    default: {                                 // bottom: heavy under the picture, fading down
        const int shade = 10 - 2 * y;
        const bool corner = x < 3 || x >= width - 3;
        return corner ? shade / 2 : shade;
    }
    }
}

void PutLittle16(std::vector<uint8_t>& out, int value) {
    out.push_back(uint8_t(value & 255));
    out.push_back(uint8_t(value >> 8));
}

// Packs codes least significant bit first, as GIF does.
struct BitPacker {
    std::vector<uint8_t> bytes;
    uint32_t pending = 0;
    int bits = 0;
    void Put(int code) {
        pending |= uint32_t(code) << bits;
        bits += kCodeWidth;
        while (bits >= 8) {
            bytes.push_back(uint8_t(pending & 255));
            pending >>= 8;
            bits -= 8;
        }
    }
    void Flush() {
        if (bits > 0) bytes.push_back(uint8_t(pending & 255));
        pending = 0;
        bits = 0;
    }
};

}  // namespace

std::vector<uint8_t> EncodeFramePiece(int i) {
    const FramePiece& piece = kFramePieces[i];
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    PutLittle16(out, piece.width);
    PutLittle16(out, piece.height);
    out.push_back(0x80 | 0x70 | (kPaletteBits - 1));  // global table, 8-bit colour, 16 entries
    out.push_back(0);                                  // background: white
    out.push_back(0);                                  // square pixels
    for (int entry = 0; entry < (1 << kPaletteBits); ++entry) out.insert(out.end(), 3, Grey(entry));
    out.push_back(0x2C);  // image descriptor: the whole screen, no local table
    PutLittle16(out, 0);
    PutLittle16(out, 0);
    PutLittle16(out, piece.width);
    PutLittle16(out, piece.height);
    out.push_back(0);
    out.push_back(kPaletteBits);

    BitPacker packer;
    int sinceClear = kLiteralsPerClear;
    for (int y = 0; y < piece.height; ++y)
        for (int x = 0; x < piece.width; ++x) {
            if (sinceClear == kLiteralsPerClear) {
                packer.Put(kClearCode);
                sinceClear = 0;
            }
            packer.Put(ShadeAt(i, x, y, piece.width));
            ++sinceClear;
        }
    packer.Put(kEndCode);
    packer.Flush();
    for (std::size_t at = 0; at < packer.bytes.size(); at += 255) {
        const std::size_t count = std::min<std::size_t>(255, packer.bytes.size() - at);
        out.push_back(uint8_t(count));
        out.insert(out.end(), packer.bytes.begin() + long(at), packer.bytes.begin() + long(at + count));
    }
    out.push_back(0);     // end of the image data
    out.push_back(0x3B);  // trailer
    return out;
}

int WriteFramePieces(const char* folder) {
    int written = 0;
    for (int i = 0; i < 4; ++i) {
        const std::string path = std::string(folder) + "/" + kFramePieces[i].fileName;
        platform::FileHandle file = platform::OpenForWriting(path.c_str());
        if (file == platform::kNoFile) continue;
        const std::vector<uint8_t> bytes = EncodeFramePiece(i);
        const bool ok = platform::WriteBytes(file, bytes.data(), bytes.size()) && platform::TruncateHere(file);
        platform::CloseFile(file);
        written += ok;
    }
    return written;
}
