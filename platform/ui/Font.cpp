// TrueType text: faces found through fontconfig, glyphs rendered by FreeType with
// grey-level anti-aliasing and cached per font, then blended onto the canvas.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "platform/ui/Canvas.h"

namespace ui {

struct Glyph {
    int left = 0, top = 0;  // offset of the coverage image from the pen on the baseline
    int width = 0, height = 0;
    int advance = 0;
    std::vector<std::uint8_t> coverage;
};

struct Font {
    FT_Face face = nullptr;
    int ascent = 0, descent = 0;
    int averageWidth = 0;
    std::map<char32_t, Glyph> glyphs;
};

namespace {

// FreeType and every font made, released together when the toolkit is unloaded.
struct FontCache {
    FT_Library library = nullptr;
    std::map<std::string, std::unique_ptr<Font>> fonts;

    FontCache() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~FontCache() {
        for (auto& entry : fonts)
            if (entry.second) FT_Done_Face(entry.second->face);
        if (library) FT_Done_FreeType(library);
    }
};

FontCache& Cache() {
    static FontCache cache;
    return cache;
}

// The file of the face fontconfig matches best to family, or empty.
std::string MatchFace(const std::string& family, bool bold) {
    // A configuration of our own, not the process's default one, which a host may
    // use too: ours is released when the toolkit is unloaded, the host's is left be.
    static const std::unique_ptr<FcConfig, void (*)(FcConfig*)> config(FcInitLoadConfigAndFonts(), FcConfigDestroy);
    // Matching fills caches of fontconfig's own (default languages, program name)
    // that only FcFini frees, which a host may still need. Keeping the library loaded
    // after a module that brought it in is unloaded keeps them reachable, not lost.
    static void* const pinned = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    (void)pinned;
    if (!config) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config.get(), pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config.get(), pattern, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<char*>(path);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
}

const Glyph& GlyphOf(const Font& constFont, char32_t code) {
    Font& font = const_cast<Font&>(constFont);
    auto found = font.glyphs.find(code);
    if (found != font.glyphs.end()) return found->second;
    Glyph& glyph = font.glyphs[code];
    if (FT_Load_Char(font.face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return glyph;
    const FT_GlyphSlot slot = font.face->glyph;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = int(slot->bitmap.width);
    glyph.height = int(slot->bitmap.rows);
    glyph.advance = int((slot->advance.x + 32) >> 6);
    glyph.coverage.resize(std::size_t(glyph.width) * std::size_t(glyph.height));
    for (int y = 0; y < glyph.height; ++y)
        std::copy_n(slot->bitmap.buffer + std::ptrdiff_t(y) * slot->bitmap.pitch, glyph.width,
                    glyph.coverage.begin() + std::ptrdiff_t(y) * glyph.width);
    return glyph;
}

// Decodes one character at text[at], advancing at. Malformed UTF-8 reads as Latin-1.
char32_t NextChar(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return unsigned(static_cast<unsigned char>(text[i])); };
    const unsigned lead = byte(at);
    const int extra = lead >= 0xF0 && lead < 0xF5   ? 3
                      : lead >= 0xE0 && lead < 0xF0 ? 2
                      : lead >= 0xC2 && lead < 0xE0 ? 1
                                                    : 0;
    if (extra > 0 && at + std::size_t(extra) < text.size()) {
        char32_t code = lead & (0x3Fu >> extra);
        int i = 1;
        for (; i <= extra && (byte(at + std::size_t(i)) & 0xC0) == 0x80; ++i)
            code = code << 6 | (byte(at + std::size_t(i)) & 0x3F);
        if (i > extra) {
            at += std::size_t(extra) + 1;
            return code;
        }
    }
    ++at;
    return lead;
}

struct Line {
    std::string_view text;
    int width;
};

// Splits text at '\n' and, with wrapping, between words so that lines fit width.
std::vector<Line> Lines(const Font& font, std::string_view text, int width, bool wrap) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view paragraph = text.substr(start, end - start);
        while (wrap && TextWidth(font, paragraph) > width) {
            // Take the longest run of whole words that fits, at least one word.
            std::size_t cut = paragraph.find(' ');
            if (cut == std::string_view::npos) break;
            for (std::size_t next = paragraph.find(' ', cut + 1);
                 next != std::string_view::npos && TextWidth(font, paragraph.substr(0, next)) <= width;
                 next = paragraph.find(' ', next + 1))
                cut = next;
            lines.push_back({paragraph.substr(0, cut), TextWidth(font, paragraph.substr(0, cut))});
            paragraph.remove_prefix(cut + 1);
        }
        lines.push_back({paragraph, TextWidth(font, paragraph)});
        start = end + 1;
    }
    return lines;
}

}  // namespace

const Font* GetFont(std::string_view family, int pointSize, bool bold) {
    auto& fonts = Cache().fonts;
    const std::string key = std::string(family) + '/' + std::to_string(pointSize) + (bold ? "b" : "");
    auto found = fonts.find(key);
    if (found != fonts.end()) return found->second.get();
    std::unique_ptr<Font>& slot = fonts[key];
    const std::string file = MatchFace(std::string(family), bold);
    FT_Face face = nullptr;
    if (!Cache().library || file.empty() || FT_New_Face(Cache().library, file.c_str(), 0, &face) != 0) return nullptr;
    // Points to pixels at 96 dots per inch, rounded as the home platform's MulDiv does.
    const int pixels = (pointSize * 96 + 36) / 72;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::max(pixels, 1))) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    slot = std::make_unique<Font>();
    slot->face = face;
    slot->ascent = int((face->size->metrics.ascender + 63) >> 6);
    slot->descent = int((-face->size->metrics.descender + 63) >> 6);
    int letters = 0;
    for (char32_t c = 'A'; c <= 'Z'; ++c) letters += GlyphOf(*slot, c).advance + GlyphOf(*slot, c + 32).advance;
    slot->averageWidth = (letters + 26) / 52;
    return slot.get();
}

int TextWidth(const Font& font, std::string_view text) {
    int width = 0;
    for (std::size_t at = 0; at < text.size();) width += GlyphOf(font, NextChar(text, at)).advance;
    return width;
}

int LineHeight(const Font& font) { return font.ascent + font.descent; }

int AverageCharWidth(const Font& font) { return font.averageWidth; }

void DrawText(const Canvas& canvas, const Font& font, std::string_view text, Rect r, Color color, unsigned flags) {
    const Canvas clipped = canvas.Clipped(Intersect(r, {0, 0, canvas.width, canvas.height}));
    if (clipped.clip.Empty()) return;
    const std::vector<Line> lines = Lines(font, text, r.Width(), flags & kTextWrap);
    const int lineHeight = LineHeight(font);
    int top = r.top;
    if (flags & kTextVCenter) top += (r.Height() - lineHeight * int(lines.size())) / 2;
    for (const Line& line : lines) {
        int pen = r.left;
        if (flags & kTextCenter) pen += (r.Width() - line.width) / 2;
        if (flags & kTextRight) pen = r.right - line.width;
        const int baseline = top + font.ascent;
        for (std::size_t at = 0; at < line.text.size();) {
            const Glyph& glyph = GlyphOf(font, NextChar(line.text, at));
            const int x0 = pen + glyph.left, y0 = baseline - glyph.top;
            const Rect box = Intersect({x0, y0, x0 + glyph.width, y0 + glyph.height}, clipped.clip);
            for (int y = box.top; y < box.bottom; ++y) {
                auto* out = reinterpret_cast<Color*>(clipped.pixels + std::size_t(y) * clipped.rowBytes);
                for (int x = box.left; x < box.right; ++x) {
                    const unsigned a = glyph.coverage[std::size_t(y - y0) * std::size_t(glyph.width) + std::size_t(x - x0)];
                    out[x] = BlendOver(out[x], (color & 0xFFFFFFu) | Color(a) << 24);
                }
            }
            pen += glyph.advance;
        }
        top += lineHeight;
    }
}

}  // namespace ui
