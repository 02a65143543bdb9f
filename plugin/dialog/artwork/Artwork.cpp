// Build tool: paints the main dialog's artwork and writes every picture as a pixmap
// resource into OUTDIR.
//
//   tesselume_artwork OUTDIR
//
// The background follows the dialog's fixed pixel layout (ControlTable.cpp): white
// cards group the three mixer blocks, the colour rows, the geometry switches, the
// symmetry and glue lists, the preset buttons and the sliders under the preview;
// a white track carries the memory dots around the extra dot.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Painter.h"

namespace {

using namespace art;

// The palette: cool greys, with teal and amber for the two slider families.
const Rgba kPage = Hex(0xE8ECF0);
const Rgba kCard = Hex(0xFBFCFD);
const Rgba kCardEdge = Hex(0xCBD2DA);
const Rgba kShadow = Hex(0x9AA6B2, 0.25f);
const Rgba kDivider = Hex(0xE2E7EC);
const Rgba kTeal = Hex(0x2B7A8C);
const Rgba kTealPale = Hex(0xD3E7EB);
const Rgba kAmber = Hex(0xC47F2C);
const Rgba kAmberPale = Hex(0xF3E2C9);
const Rgba kSlate = Hex(0x2F3B47);
const Rgba kInk = Hex(0x33475B);
const Rgba kWhite = Hex(0xFFFFFF);

const float kPi = 3.14159265f;

void Card(Image& image, float left, float top, float right, float bottom) {
    Fill(image, Box(left, top + 1.5f, right, bottom + 1.5f, 7), kShadow, int(left) - 2, int(top), int(right) + 2, int(bottom) + 4);
    Fill(image, Box(left, top, right, bottom, 6), kCardEdge, int(left) - 1, int(top) - 1, int(right) + 1, int(bottom) + 1);
    Fill(image, Box(left + 1, top + 1, right - 1, bottom - 1, 5), kCard, int(left), int(top), int(right), int(bottom));
}

void Divider(Image& image, int left, int right, int y) {
    Fill(image, Box(float(left), float(y), float(right), float(y + 1)), kDivider, left, y, right, y + 1);
}

void AccentBar(Image& image, float left, float top, float bottom, Rgba colour) {
    Fill(image, Box(left, top, left + 3, bottom, 1.5f), colour, int(left) - 1, int(top) - 1, int(left) + 4, int(bottom) + 1);
}

// A small sine wave in front of an unlabelled amount slider: the grating whose
// frequency the slider sets.
void WaveGlyph(Image& image, float centreY, float cycles, Rgba colour) {
    std::vector<float> points;
    for (int i = 0; i <= 64; ++i) {
        const float x = 34.0f + 30.0f * float(i) / 64.0f;
        points.push_back(x);
        points.push_back(centreY + 3.2f * std::sin(2 * kPi * cycles * float(i) / 64.0f));
    }
    Fill(image, Polyline(points, 1.4f), colour, 32, int(centreY) - 6, 66, int(centreY) + 7);
}

// Top-left corners of the 25 memory dots, in id order.
const int kDots[25][2] = {{307, 495}, {311, 507}, {311, 519}, {307, 532}, {303, 545}, {299, 558}, {299, 571},
                          {303, 583}, {310, 594}, {318, 604}, {329, 612}, {341, 621}, {354, 627}, {369, 631},
                          {384, 631}, {398, 627}, {411, 621}, {423, 612}, {432, 600}, {438, 587}, {442, 572},
                          {442, 557}, {438, 543}, {432, 530}, {423, 518}};

Image Background() {
    Image image(834, 740, kPage);
    // The three mixer blocks, told apart by their accent colour.
    Card(image, 6, 8, 304, 402);
    Divider(image, 16, 296, 147);
    Divider(image, 16, 296, 272);
    const struct {
        float top, bottom, upper, lower;
        Rgba colour;
    } blocks[] = {{22, 142, 85, 110, kTeal}, {150, 268, 212, 237, kAmber}, {276, 396, 336, 361, kTeal}};
    for (const auto& block : blocks) {
        AccentBar(image, 10, block.top, block.bottom, block.colour);
        WaveGlyph(image, block.upper, 1.5f, block.colour);
        WaveGlyph(image, block.lower, 3.0f, block.colour);
    }
    // Colour rows, geometry switches, symmetry and glue, presets and actions.
    Card(image, 6, 406, 214, 512);
    Divider(image, 16, 206, 458);
    Card(image, 218, 406, 304, 512);
    Card(image, 6, 516, 294, 588);
    Card(image, 6, 592, 294, 732);
    Divider(image, 62, 218, 640);
    Divider(image, 62, 218, 686);

    // The preview sits in a dark well over a checkerboard that marks its empty canvas.
    Fill(image, Box(318, -8, 819, 497, 6), kSlate, 316, 0, 821, 499);
    Shade(image, 324, 0, 813, 491, [](float x, float y) {
        const bool odd = (int(x - 324) / 8 + int(y) / 8) % 2;
        return odd ? Hex(0xE3E7EB) : Hex(0xF7F8FA);
    });
    // The status line's field.
    Fill(image, Box(464, 536, 816, 559, 4), kCardEdge, 462, 534, 818, 561);
    Fill(image, Box(465, 537, 815, 558, 3), kWhite, 464, 536, 816, 559);
    // Density, sharpness and zoom, and the OK/Cancel bar.
    Card(image, 494, 574, 826, 668);
    AccentBar(image, 498, 586, 662, kAmber);
    Card(image, 458, 684, 826, 732);

    // The track the memory dots sit on.
    std::vector<float> ring;
    for (const auto& dot : kDots) ring.push_back(float(dot[0]) + 4), ring.push_back(float(dot[1]) + 6);
    Fill(image, Polyline(ring, 16), kCardEdge, 288, 484, 464, 652);
    Fill(image, Polyline(ring, 14), kCard, 288, 484, 464, 652);
    return image;
}

// A slider track: a rounded groove with quarter ticks on the card's colour; the
// knob moves along it.
Image Track(Rgba colour, Rgba pale) {
    Image image(135, 12, kCard);
    Fill(image, Box(1, 4, 134, 9, 2.5f), colour);
    Fill(image, Box(2, 5, 133, 8, 1.5f), pale);
    for (int i = 0; i <= 4; ++i) {
        const float x = 7.0f + float(i) * (134.0f - 14.0f) / 4.0f;
        Fill(image, Box(x - 0.5f, 10, x + 0.5f, 12), Mix(colour, kCard, 0.4f));
    }
    return image;
}

Image Knob() {
    Image image(12, 10);
    Fill(image, Box(0, 0, 12, 10, 3), kSlate);
    Fill(image, Box(1, 1, 11, 9, 2), kWhite);
    Fill(image, Box(5, 3, 7, 7), kSlate);
    return image;
}

// The eightfold rosette of the product picture, in a round medallion.
Image Rosette(int size) {
    const Rgba colours[] = {Hex(0x14325A), Hex(0x1F5C8C), Hex(0x2E8FB8), Hex(0x7CC4C9),
                            Hex(0xF2E2B3), Hex(0xF0A35E), Hex(0xD9603B), Hex(0x8C2D2D)};
    const float c = float(size) / 2, radius = c - 0.5f;
    Image image(size, size);
    Shade(image, 0, 0, size, size, [&](float x, float y) {
        const float u = (x - c) / radius, v = (y - c) / radius;
        const float d = std::hypot(u, v);
        if (d > 1) return Rgba{};
        if (d > 0.9f) return Hex(0x0E1E33);
        const float s = 0.70710678f;
        const float k = 7.0f;
        const float value = std::cos(k * u) + std::cos(k * v) + std::cos(k * (u + v) * s) + std::cos(k * (u - v) * s);
        const int index = std::clamp(int((value + 4) / 8 * 8), 0, 7);
        return colours[7 - index];
    });
    return image;
}

// The dot images: empty, filled and current, pinned (teal) or not (grey-blue),
// each also pressed (darker).
Image DotImage(int state, bool pinned, bool pressed) {
    Image image(8, 8);
    const Rgba fill = pinned ? kTeal : Hex(0x7D93A9);
    if (state == 0) {
        if (pressed) Fill(image, Circle(4, 4, 3.6f), Hex(0xB9C3CD));
        Fill(image, Outline(Circle(4, 4, 3.1f), 1.1f), Hex(0x8E9AA6));
        return image;
    }
    Fill(image, Circle(4, 4, 3.8f), pressed ? Mix(fill, kSlate, 0.5f) : fill);
    if (state == 2) Fill(image, Circle(4, 4, 1.5f), kWhite);
    return image;
}

Image DotFrame() {
    Image image(96, 96);
    Fill(image, Box(0, 0, 96, 96, 6), kSlate);
    Fill(image, Box(3, 3, 93, 93, 3), Hex(0x55626F));
    Shade(image, 4, 4, 92, 92, [](float x, float y) {
        const bool odd = (int(x - 4) / 11 + int(y - 4) / 11) % 2;
        return odd ? Hex(0xE3E7EB) : Hex(0xF7F8FA);
    });
    return image;
}

// Icons: slate line drawings with an accent, on transparent ground.
Image Dice(int size) {
    Image image(size, size);
    const float s = float(size);
    Fill(image, Box(1, 1, s - 1, s - 1, s * 0.2f), kInk);
    Fill(image, Box(2.5f, 2.5f, s - 2.5f, s - 2.5f, s * 0.14f), kWhite);
    const float pip = s * 0.09f;
    for (const auto& p : {std::pair{0.3f, 0.3f}, {0.7f, 0.3f}, {0.5f, 0.5f}, {0.3f, 0.7f}, {0.7f, 0.7f}})
        Fill(image, Circle(p.first * s, p.second * s, pip), p.first == 0.5f ? kAmber : kInk);
    return image;
}

Shape Arrowhead(float tipX, float tipY, float dirX, float dirY, float size) {
    const float nx = -dirY, ny = dirX;
    return Polygon({tipX, tipY, tipX - dirX * size + nx * size * 0.7f, tipY - dirY * size + ny * size * 0.7f,
                    tipX - dirX * size - nx * size * 0.7f, tipY - dirY * size - ny * size * 0.7f});
}

// A circular arrow: most of a ring, turning clockwise, with a head at its end.
Image Reset(int size) {
    Image image(size, size);
    const float c = float(size) / 2, r = float(size) * 0.3f;
    const float first = -0.6f, last = first + 4.9f;
    std::vector<float> arc;
    for (int i = 0; i <= 32; ++i) {
        const float t = first + (last - first) * float(i) / 32;
        arc.push_back(c + r * std::cos(t));
        arc.push_back(c + r * std::sin(t));
    }
    Fill(image, Polyline(arc, 2.2f), kInk);
    const float dx = -std::sin(last), dy = std::cos(last);
    Fill(image, Arrowhead(c + r * std::cos(last) + dx * 3.5f, c + r * std::sin(last) + dy * 3.5f, dx, dy, 4.5f), kAmber);
    return image;
}

Image Undo(int size) {
    Image image(size, size);
    const float s = float(size);
    std::vector<float> path;
    for (int i = 0; i <= 24; ++i) {
        const float t = -kPi / 2 + kPi * float(i) / 24;
        path.push_back(s * 0.55f + s * 0.25f * std::cos(t));
        path.push_back(s * 0.55f + s * 0.25f * std::sin(t));
    }
    path.push_back(s * 0.3f), path.push_back(s * 0.8f);
    Fill(image, Polyline(path, 2.2f), kInk);
    Fill(image, Segment(s * 0.55f, s * 0.3f, s * 0.32f, s * 0.3f, 2.2f), kInk);
    Fill(image, Arrowhead(s * 0.12f, s * 0.3f, -1, 0, 4.5f), kAmber);
    return image;
}

Image Folder(int size, bool save) {
    Image image(size, size);
    const float s = float(size);
    Fill(image, Box(1.5f, s * 0.25f, s * 0.45f, s * 0.4f, 1.5f), kInk);
    Fill(image, Box(1.5f, s * 0.32f, s - 1.5f, s - 2, 2), kInk);
    Fill(image, Box(3, s * 0.42f, s - 3, s - 3.5f, 1), kWhite);
    const float cx = s / 2;
    if (save) {
        Fill(image, Segment(cx, s * 0.05f, cx, s * 0.62f, 2.2f), kAmber);
        Fill(image, Arrowhead(cx, s * 0.8f, 0, 1, 4.2f), kAmber);
    } else {
        Fill(image, Segment(cx, s * 0.85f, cx, s * 0.3f, 2.2f), kAmber);
        Fill(image, Arrowhead(cx, s * 0.1f, 0, -1, 4.2f), kAmber);
    }
    return image;
}

// Next: a play triangle against a bar.
Image Next(int size) {
    Image image(size, size);
    const float s = float(size);
    Fill(image, Polygon({s * 0.15f, s * 0.15f, s * 0.7f, s * 0.5f, s * 0.15f, s * 0.85f}), kInk);
    Fill(image, Box(s * 0.72f, s * 0.15f, s * 0.88f, s * 0.85f), kAmber);
    return image;
}

// Layers: three stacked diamonds.
Image Layers(int size) {
    Image image(size, size);
    const float s = float(size), c = s / 2;
    for (int i = 2; i >= 0; --i) {
        const float y = s * 0.32f + float(i) * s * 0.17f;
        const Shape diamond = Polygon({c, y - s * 0.2f, s - 1.5f, y, c, y + s * 0.2f, 1.5f, y});
        Fill(image, diamond, i == 0 ? kAmber : kInk);
        Fill(image, Outline(diamond, 1.0f), kWhite);
    }
    return image;
}

Image PlusMinus(int size, bool plus) {
    Image image(size, size);
    const float s = float(size), c = s / 2;
    Fill(image, Segment(2, c, s - 2, c, 2.2f), kInk);
    if (plus) Fill(image, Segment(c, 2, c, s - 2, 2.2f), kInk);
    return image;
}

Image Info(int size) {
    Image image(size, size);
    const float s = float(size), c = s / 2;
    Fill(image, Circle(c, c, c - 0.5f), kTeal);
    Fill(image, Circle(c, s * 0.28f, s * 0.08f), kWhite);
    Fill(image, Box(c - s * 0.07f, s * 0.42f, c + s * 0.07f, s * 0.78f, s * 0.03f), kWhite);
    return image;
}

// A page of thumbnails: the presets catalogue.
Image Pages(int size) {
    Image image(size, size);
    const float s = float(size);
    Fill(image, Box(1, 0.5f, s - 1, s - 0.5f, 1.5f), kInk);
    Fill(image, Box(2, 1.5f, s - 2, s - 1.5f, 1), kWhite);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            Fill(image, Box(3 + float(column) * (s - 6) / 2 + 0.5f, 3 + float(row) * (s - 6) / 2 + 0.5f,
                            3 + float(column + 1) * (s - 6) / 2 - 0.5f, 3 + float(row + 1) * (s - 6) / 2 - 0.5f),
                 row == column ? kTeal : kAmber);
    return image;
}

// Hands for panning the preview: open (fingers spread) and closed (gripping).
Image Hand(bool open) {
    Image image(20, 20);
    Shape hand = Box(5, 9, 15, 18, 3.5f);
    const float fingerTop = open ? 2.5f : 7.0f;
    for (int i = 0; i < 4; ++i) {
        const float x = 5.75f + float(i) * 2.5f;
        hand = Union(hand, Box(x - 1.2f, fingerTop + (i == 0 || i == 3 ? 1.5f : 0), x + 1.2f, 12, 1.2f));
    }
    hand = Union(hand, open ? Segment(4, 13, 1.8f, 9.5f, 2.6f) : Segment(4.5f, 13, 3.5f, 11, 2.6f));
    Fill(image, Union(hand, Outline(hand, 2.0f)), Hex(0x000000));
    Fill(image, hand, kWhite);
    for (int i = 1; i < 4; ++i) {
        const float x = 4.5f + float(i) * 2.5f;
        Fill(image, Segment(x, fingerTop + 2.5f, x, 11, 0.6f), Hex(0x000000, 0.6f));
    }
    return image;
}

// The information panel's picture: the dialog in small, each group outlined in the
// colour of its line in the legend beside it (the panel's texts sit there).
Image InfoPicture(const Image& background) {
    Image image(673, 462, kCard);
    Fill(image, Outline(Box(0.5f, 0.5f, 672.5f, 461.5f), 1), kCardEdge);
    const float scale = 0.36f;
    const int mapX = 16, mapY = 38;
    Image map = Reduce(background, int(834 * scale), int(740 * scale));
    Place(image, map, mapX, mapY);
    Fill(image, Outline(Box(float(mapX) - 0.5f, float(mapY) - 0.5f, float(mapX + map.width) + 0.5f,
                            float(mapY + map.height) + 0.5f), 1),
         kCardEdge);
    const struct {
        float left, top, right, bottom;
        std::uint32_t colour;
    } groups[] = {
        {6, 8, 304, 402, 0x2B7A8C},    {494, 574, 826, 668, 0xC47F2C}, {6, 406, 214, 512, 0x7D5BA6},
        {218, 406, 304, 512, 0x4E8F4A}, {6, 516, 294, 588, 0xD9822B},  {318, 0, 819, 562, 0x3B6FB6},
        {296, 490, 458, 648, 0xB8506B}, {6, 592, 294, 732, 0x5A6B7D},
    };
    for (int i = 0; i < 8; ++i) {
        const auto& g = groups[i];
        const Rgba colour = Hex(g.colour);
        Fill(image, Outline(Box(float(mapX) + g.left * scale, float(mapY) + g.top * scale, float(mapX) + g.right * scale,
                                float(mapY) + g.bottom * scale, 3),
                            2),
             colour);
        // The legend swatch of the same group, in front of its text.
        const float y = 38.0f + float(i) * 46.0f;
        Fill(image, Box(330, y + 2, 342, y + 14, 3), colour);
    }
    // The product's rosette under the small dialog.
    Place(image, Rosette(104), mapX + (map.width - 104) / 2, mapY + map.height + 28);
    return image;
}

bool Write(const std::string& folder, const std::string& name, const Image& image, const std::string& comment,
           int hotX = -1, int hotY = -1) {
    if (WritePixmap(image, folder + "/" + name, comment, hotX, hotY)) return true;
    std::fprintf(stderr, "tesselume_artwork: cannot write %s/%s\n", folder.c_str(), name.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tesselume_artwork OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    const Image background = Background();
    bool ok = Write(out, "Background.pix", background, "The main dialog's background, 834 x 740.");
    ok = ok && Write(out, "TrackA.pix", Track(kTeal, kTealPale), "Slider track, teal.");
    ok = ok && Write(out, "TrackB.pix", Track(kAmber, kAmberPale), "Slider track, amber.");
    ok = ok && Write(out, "Knob.pix", Knob(), "Slider knob.");
    ok = ok && Write(out, "Logo.pix", Rosette(32), "The logo: the product's rosette, 32 x 32.");
    ok = ok && Write(out, "InfoPicture.pix", InfoPicture(background), "The information panel's picture.");
    ok = ok && Write(out, "DotFrame.pix", DotFrame(), "The extra dot's frame.");
    const struct {
        int id, state;
        bool pinned, pressed;
    } dots[] = {{203, 0, false, false}, {210, 0, false, true}, {213, 1, false, false}, {214, 1, false, true},
                {215, 1, true, false},  {216, 1, true, true},  {202, 2, false, false}, {211, 2, false, true},
                {208, 2, true, false},  {212, 2, true, true}};
    for (const auto& dot : dots)
        ok = ok && Write(out, "Dot" + std::to_string(dot.id) + ".pix", DotImage(dot.state, dot.pinned, dot.pressed),
                         "A memory dot.");
    ok = ok && Write(out, "IconDice.pix", Dice(20), "Icon: dice.");
    ok = ok && Write(out, "IconReset.pix", Reset(20), "Icon: reset.");
    ok = ok && Write(out, "IconUndo.pix", Undo(20), "Icon: undo.");
    ok = ok && Write(out, "IconLoad.pix", Folder(20, false), "Icon: load a preset.");
    ok = ok && Write(out, "IconSave.pix", Folder(20, true), "Icon: save a preset.");
    ok = ok && Write(out, "IconNext.pix", Next(10), "Icon: next glue mode.");
    ok = ok && Write(out, "IconLayers.pix", Layers(20), "Icon: layered document.");
    ok = ok && Write(out, "IconPlus.pix", PlusMinus(10, true), "Icon: zoom in.");
    ok = ok && Write(out, "IconMinus.pix", PlusMinus(10, false), "Icon: zoom out.");
    ok = ok && Write(out, "IconInfo.pix", Info(18), "Icon: information.");
    ok = ok && Write(out, "IconPages.pix", Pages(12), "Icon: presets page.");
    ok = ok && Write(out, "HandOpen.pix", Hand(true), "Cursor: open hand.", 10, 10);
    ok = ok && Write(out, "HandClosed.pix", Hand(false), "Cursor: closed hand.", 10, 10);
    return ok ? 0 : 1;
}
