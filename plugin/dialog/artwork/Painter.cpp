// The artwork painter: shapes, blending and pixmap output.
#include "Painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace art {

Rgba Hex(std::uint32_t rgb, float alpha) {
    return {float(rgb >> 16 & 255) / 255.0f, float(rgb >> 8 & 255) / 255.0f, float(rgb & 255) / 255.0f, alpha};
}

Rgba Mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Image::Image(int w, int h, Rgba fill) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}

Shape Box(float left, float top, float right, float bottom, float radius) {
    const float cx = (left + right) / 2, cy = (top + bottom) / 2;
    const float hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
    return [=](float x, float y) {
        const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Shape Circle(float cx, float cy, float radius) {
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - radius; };
}

Shape Segment(float ax, float ay, float bx, float by, float width) {
    return [=](float x, float y) {
        const float dx = bx - ax, dy = by - ay;
        const float length2 = dx * dx + dy * dy;
        const float t = length2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0f, 1.0f) : 0.0f;
        return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) - width / 2;
    };
}

Shape Polygon(std::vector<float> xy) {
    return [xy = std::move(xy)](float x, float y) {
        bool inside = false;
        const std::size_t n = xy.size() / 2;
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
        }
        return inside ? -1.0f : 1.0f;
    };
}

Shape Union(Shape a, Shape b) {
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Shape Outline(Shape shape, float width) {
    return [=](float x, float y) { return std::fabs(shape(x, y)) - width / 2; };
}

Shape Polyline(const std::vector<float>& xy, float width) {
    Shape line = Segment(xy[0], xy[1], xy[2], xy[3], width);
    for (std::size_t i = 2; i + 3 < xy.size(); i += 2) line = Union(line, Segment(xy[i], xy[i + 1], xy[i + 2], xy[i + 3], width));
    return line;
}

namespace {

void BlendOver(Rgba& under, Rgba over, float coverage) {
    const float a = over.a * coverage;
    if (a <= 0) return;
    const float outA = a + under.a * (1 - a);
    under.r = (over.r * a + under.r * under.a * (1 - a)) / outA;
    under.g = (over.g * a + under.g * under.a * (1 - a)) / outA;
    under.b = (over.b * a + under.b * under.a * (1 - a)) / outA;
    under.a = outA;
}

constexpr int kSamples = 4;

}  // namespace

void Fill(Image& image, const Shape& shape, Rgba colour, int left, int top, int right, int bottom) {
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, image.width), bottom = std::min(bottom, image.height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            int inside = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx)
                    inside += shape(float(x) + (float(sx) + 0.5f) / kSamples, float(y) + (float(sy) + 0.5f) / kSamples) < 0;
            BlendOver(image.At(x, y), colour, float(inside) / float(kSamples * kSamples));
        }
}

void Fill(Image& image, const Shape& shape, Rgba colour) { Fill(image, shape, colour, 0, 0, image.width, image.height); }

void Shade(Image& image, int left, int top, int right, int bottom, const std::function<Rgba(float, float)>& colour) {
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, image.width), bottom = std::min(bottom, image.height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            Rgba sum;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba c = colour(float(x) + (float(sx) + 0.5f) / kSamples, float(y) + (float(sy) + 0.5f) / kSamples);
                    sum.r += c.r * c.a, sum.g += c.g * c.a, sum.b += c.b * c.a, sum.a += c.a;
                }
            const float n = kSamples * kSamples;
            image.At(x, y) = sum.a > 0 ? Rgba{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / n} : Rgba{};
        }
}

void Place(Image& image, const Image& source, int x0, int y0) {
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            if (x0 + x >= 0 && y0 + y >= 0 && x0 + x < image.width && y0 + y < image.height)
                BlendOver(image.At(x0 + x, y0 + y), source.At(x, y), 1.0f);
}

Image Reduce(const Image& source, int width, int height) {
    Image out(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int x0 = x * source.width / width, x1 = std::max(x0 + 1, (x + 1) * source.width / width);
            const int y0 = y * source.height / height, y1 = std::max(y0 + 1, (y + 1) * source.height / height);
            Rgba sum;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const Rgba& c = source.At(sx, sy);
                    sum.r += c.r * c.a, sum.g += c.g * c.a, sum.b += c.b * c.a, sum.a += c.a;
                }
            const float n = float((x1 - x0) * (y1 - y0));
            out.At(x, y) = sum.a > 0 ? Rgba{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / n} : Rgba{};
        }
    return out;
}

bool WritePixmap(const Image& image, const std::string& path, const std::string& comment, int hotX, int hotY) {
    // Quantise to 8-bit RGBA; every transparent pixel is one colour.
    const auto pack = [](const Rgba& c) {
        const auto byte = [](float v) { return std::uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
        const std::uint32_t a = byte(c.a);
        return a == 0 ? 0u : byte(c.r) << 24 | byte(c.g) << 16 | byte(c.b) << 8 | a;
    };
    std::vector<std::uint32_t> packed(image.pixels.size());
    std::map<std::uint32_t, std::size_t> uses;
    for (std::size_t i = 0; i < packed.size(); ++i) ++uses[packed[i] = pack(image.pixels[i])];

    std::string keys;
    for (int c = 33; c < 127; ++c)
        if (c != '#') keys += char(c);
    std::vector<std::pair<std::size_t, std::uint32_t>> byUse;
    for (const auto& [colour, count] : uses) byUse.push_back({count, colour});
    std::stable_sort(byUse.begin(), byUse.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    if (byUse.size() > keys.size()) byUse.resize(keys.size());
    std::vector<std::uint32_t> palette;
    for (const auto& entry : byUse) palette.push_back(entry.second);

    std::map<std::uint32_t, char> keyOf;
    for (const auto& [colour, count] : uses) {
        std::size_t best = 0;
        long bestDistance = -1;
        for (std::size_t p = 0; p < palette.size(); ++p) {
            long distance = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const long d = long(colour >> shift & 255) - long(palette[p] >> shift & 255);
                distance += d * d;
            }
            if (bestDistance < 0 || distance < bestDistance) best = p, bestDistance = distance;
        }
        keyOf[colour] = keys[best];
    }

    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "# %s\n# Painted at build time by tesselume_artwork.\n", comment.c_str());
    if (hotX >= 0) std::fprintf(file, "pixmap %d %d hotspot %d %d\n", image.width, image.height, hotX, hotY);
    else std::fprintf(file, "pixmap %d %d\n", image.width, image.height);
    for (std::size_t p = 0; p < palette.size(); ++p) {
        const std::uint32_t c = palette[p];
        if ((c & 255) == 255) std::fprintf(file, "colour %c #%06X\n", keys[p], c >> 8);
        else std::fprintf(file, "colour %c #%08X\n", keys[p], c);
    }
    for (int y = 0; y < image.height; ++y) {
        std::string row;
        for (int x = 0; x < image.width; ++x) row += keyOf[packed[std::size_t(y) * std::size_t(image.width) + std::size_t(x)]];
        std::fprintf(file, "%s\n", row.c_str());
    }
    return std::fclose(file) == 0;
}

}  // namespace art
