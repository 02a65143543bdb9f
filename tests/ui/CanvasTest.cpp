// Painting primitives, pixmaps and templates; PNG files read back by libpng.
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/ui/Canvas.h"
#include "platform/ui/Images.h"
#include "platform/ui/Template.h"
#include "support/Screenshot.h"
#include "support/StateFiles.h"

namespace {

using ui::Color;
using ui::Rect;

constexpr Color kWhite = ui::Rgb(255, 255, 255);
constexpr Color kBlack = ui::Rgb(0, 0, 0);

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Surface {
    std::vector<Color> pixels;
    ui::Canvas canvas;

    Surface(int width, int height, Color fill = kWhite) : pixels(std::size_t(width) * std::size_t(height), fill) {
        canvas.pixels = reinterpret_cast<std::uint8_t*>(pixels.data());
        canvas.width = width;
        canvas.height = height;
        canvas.rowBytes = width * 4;
        canvas.clip = {0, 0, width, height};
    }
    Color At(int x, int y) const { return canvas.PixelAt(x, y); }
    // The bounding box of pixels that differ from background, or an empty rectangle.
    Rect Ink(Color background = kWhite) const {
        Rect box{canvas.width, canvas.height, 0, 0};
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x)
                if (At(x, y) != background)
                    box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                           std::max(box.bottom, y + 1)};
        return box.Empty() ? Rect{} : box;
    }
};

TEST(Canvas, FillsLinesAndBitmapsStayInsideTheClipAndBitmapsBlendByAlpha) {
    Surface s(20, 10);
    const ui::Canvas clipped = s.canvas.Clipped({5, 2, 15, 8});
    ui::FillRect(clipped, {-5, -5, 8, 30}, kBlack);
    ui::DrawLine(clipped, 0, 9, 19, 0, ui::Rgb(255, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool insideClip = x >= 5 && x < 15 && y >= 2 && y < 8;
            if (!insideClip) {
                EXPECT_EQ(s.At(x, y), kWhite) << x << "," << y;
            } else if (x < 8 && s.At(x, y) != ui::Rgb(255, 0, 0)) {
                EXPECT_EQ(s.At(x, y), kBlack) << x << "," << y;
            }
        }
    // A line includes both ends.
    Surface line(8, 8);
    ui::DrawLine(line.canvas, 1, 6, 6, 1, kBlack);
    EXPECT_EQ(line.At(3, 4), kBlack);  // on this diagonal, not the other
    EXPECT_EQ((line.Ink()), (Rect{1, 1, 7, 7}));
    // A frame is one pixel inside the rectangle.
    Surface frame(6, 6);
    ui::FrameRect(frame.canvas, {1, 1, 5, 5}, kBlack);
    EXPECT_EQ(frame.At(4, 4), kBlack);
    EXPECT_EQ(frame.At(2, 2), kWhite);
    EXPECT_EQ(frame.At(5, 5), kWhite);

    // Each pixel of an asymmetric 5 x 3 bitmap tells where it came from.
    ui::Bitmap bitmap{5, 3, {}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) bitmap.pixels.push_back(ui::Rgb(unsigned(10 + x), unsigned(100 + y), 7));
    Surface drawnOn(6, 6);
    ui::DrawBitmap(drawnOn.canvas.Clipped({0, 1, 4, 6}), bitmap, -2, 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool drawn = x < 3 && y >= 1 && y < 3;
            EXPECT_EQ(drawnOn.At(x, y), drawn ? bitmap.At(x + 2, y) : kWhite) << x << "," << y;
        }
    // Transparent pixels leave the surface; half-transparent ones mix.
    ui::Bitmap glass{2, 1, {0x00FF0000u, 0x80FFFFFFu}};
    Surface dark(2, 1, kBlack);
    ui::DrawBitmap(dark.canvas, glass, 0, 0);
    EXPECT_EQ(dark.At(0, 0), kBlack);
    EXPECT_EQ(dark.At(1, 0), ui::Rgb(128, 128, 128));
}

TEST(Canvas, TextIsAlignedAndClippedToItsRectangle) {
    const ui::Font* arial = ui::GetFont("Arial", 8);
    ASSERT_NE(arial, nullptr);
    const ui::Font& font = *arial;
    EXPECT_GE(ui::LineHeight(font), 11);
    EXPECT_LE(ui::LineHeight(font), 16);
    const std::string text = "Tesselume";
    const int width = ui::TextWidth(font, text);
    ASSERT_GT(width, 30);
    const Rect box{10, 5, 110, 25};

    Surface left(120, 30), centre(120, 30), right(120, 30);
    ui::DrawText(left.canvas, font, text, box, kBlack, ui::kTextLeft);
    ui::DrawText(centre.canvas, font, text, box, kBlack, ui::kTextCenter);
    ui::DrawText(right.canvas, font, text, box, kBlack, ui::kTextRight);
    const Rect l = left.Ink(), c = centre.Ink(), r = right.Ink();
    EXPECT_NEAR(l.left, box.left, 2);
    EXPECT_NEAR(r.right, box.right, 2);
    EXPECT_NEAR((c.left + c.right) / 2.0, (box.left + box.right) / 2.0, 2);
    // Alignment moves the same ink sideways by the free width.
    EXPECT_EQ(r.left - l.left, box.Width() - width);
    EXPECT_EQ(l.top, r.top);
    EXPECT_GE(l.top, box.top);

    // Clipped by its rectangle and by the canvas clip, never outside either.
    Surface narrow(120, 30);
    ui::DrawText(narrow.canvas.Clipped({0, 0, 120, 12}), font, text, {10, 5, 30, 25}, kBlack);
    const Rect n = narrow.Ink();
    EXPECT_FALSE(n.Empty());
    EXPECT_GE(n.left, 10);
    EXPECT_LE(n.right, 30);
    EXPECT_LE(n.bottom, 12);

    // Wrapping breaks between words into more lines.
    Surface wrapped(120, 60);
    ui::DrawText(wrapped.canvas, font, "one two three four five", {0, 0, 50, 60}, kBlack, ui::kTextWrap);
    EXPECT_LE(wrapped.Ink().right, 50);
    EXPECT_GT(wrapped.Ink().Height(), 2 * ui::LineHeight(font));
}

TEST(ResourceTexts, PixmapsAndTemplatesParseAndReportTheirFaultsAndPngFilesReadBack) {
    ui::Pixmap pixmap;
    ASSERT_TRUE(ui::ParsePixmap(
        Bytes("# an arrow\npixmap 3 2 hotspot 1 0\ncolour . none\ncolour r #FF0000\ncolour b #0000FF\nr.b\nbbr\n"),
        pixmap));
    EXPECT_EQ(pixmap.hotX, 1);
    EXPECT_EQ(pixmap.bitmap.At(0, 0), ui::Rgb(255, 0, 0));
    EXPECT_EQ(pixmap.bitmap.At(1, 0), 0u);
    EXPECT_EQ(pixmap.bitmap.At(2, 1), ui::Rgb(255, 0, 0));
    for (const std::string bad : {"pixmap 3 2\ncolour r #FF0000\nrrr\nrr\n", "pixmap 2 1\ncolour r #FF0000\nrx\n",
                                  "pixmap 2 1\ncolour r #FF00\nrr\n", "bitmap 1 1\n"})
        EXPECT_FALSE(ui::ParsePixmap(Bytes(bad), pixmap)) << bad;

    Surface s(7, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 7; ++x) ui::FillRect(s.canvas, {x, y, x + 1, y + 1}, ui::Rgb(unsigned(x * 30), unsigned(y * 60), 200));
    const std::string path = testsupport::StatePath("canvas.png");
    ASSERT_TRUE(ui::WritePng(path.c_str(), s.canvas.Clipped({1, 1, 7, 4})));
    Screenshot png;  // read back by libpng
    ASSERT_TRUE(png.Read(path));
    EXPECT_EQ(png.image.width, 6u);
    EXPECT_EQ(png.image.height, 3u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(png.At(x, y), s.At(x + 1, y + 1)) << x << "," << y;

    const std::string text =
        "# comment\n"
        "dialog 10 20 200 100\n"
        "caption \"Say \\\"hi\\\"\"\n"
        "font \"Arial\" 9\n"
        "style sysmenu\n"
        "  # indented comment with a \" quote\n"
        "button 5 1 2 30 14 \"&OK\" default disabled\n"
        "static 6 1 20 30 10 \"\" hidden center\n";
    ui::DialogTemplate dialog;
    ASSERT_TRUE(ui::ParseTemplate(Bytes(text), dialog));
    EXPECT_EQ(std::tuple(dialog.caption, dialog.fontFamily, dialog.pointSize, dialog.systemMenu),
              std::tuple("Say \"hi\"", "Arial", 9, true));
    EXPECT_EQ(dialog.units, (Rect{10, 20, 210, 120}));
    ASSERT_EQ(dialog.controls.size(), 2u);
    EXPECT_EQ(dialog.controls[0].style, unsigned(ui::kStyleDefault | ui::kStyleDisabled));
    EXPECT_EQ(dialog.controls[0].units, (Rect{1, 2, 31, 16}));
    EXPECT_EQ(dialog.controls[1].style, unsigned(ui::kStyleHidden | ui::kStyleCenter));

    int line = -1;
    EXPECT_FALSE(ui::ParseTemplate(Bytes("dialog 0 0 10 10\nbutton 1 0 0 10 10 \"x\" shiny\n"), dialog, &line));
    EXPECT_EQ(line, 2);
    EXPECT_FALSE(ui::ParseTemplate(Bytes("button 1 0 0 10 10 \"x\"\n"), dialog));  // no dialog line
}

}  // namespace
