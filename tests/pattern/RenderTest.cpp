// Whole renders through the filterhost library: the module loaded from its file,
// settings played in as a scripting descriptor, the image filtered in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "PatternTestSupport.h"

namespace {

using filterhost::Image;

// Samples of a square image that differ from the sample a quarter turn away.
int32_t QuarterTurnMismatches(const Image& image) {
    const int32_t n = image.width;
    int32_t mismatches = 0;
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x)
            for (int32_t p = 0; p < image.colourPlanes; ++p) mismatches += image.At(x, y, p) != image.At(n - 1 - y, x, p);
    return mismatches;
}

TEST(Render, StatedValuesSymmetryAndSixteenBitsAsEightTimes128) {
    Renderer renderer;
    // All mixers off: t = 0.5 everywhere, colour index 127, and density 0 makes the
    // tables the identity: every sample is 127, whatever the source held.
    Settings s = FactorySettings();
    s.mixer1 = s.mixer2 = s.mixer3 = s.density = 0;
    for (int32_t smooth = 0; smooth <= 1; ++smooth) {
        s.smooth = smooth;  // the flat pattern reads level 0 between entries 127 and 128
        Image flat = Source(17, 9, 3, 8);
        renderer.Render(flat, s);
        for (uint16_t sample : flat.samples) ASSERT_EQ(sample, 127);
    }
    // Density 0 with the factory mixers: a grey ramp, red = green = blue, not flat.
    s = FactorySettings();
    s.density = 0;
    Image grey = Source(40, 30, 3, 8);
    renderer.Render(grey, s);
    for (std::size_t i = 0; i < grey.samples.size(); i += 3)
        ASSERT_TRUE(grey.samples[i] == grey.samples[i + 1] && grey.samples[i] == grey.samples[i + 2]) << i;
    const auto [darkest, lightest] = std::minmax_element(grey.samples.begin(), grey.samples.end());
    EXPECT_GT(*lightest - *darkest, 100);
    // A white pattern (amplitude 0, shift 100) on a grey image gives 254.
    s = FactorySettings();
    s.redAmplitude = s.greenAmplitude = s.blueAmplitude = 0;
    s.redShift = s.greenShift = s.blueShift = 100;
    Image white = Source(11, 7, 1, 8);
    renderer.Render(white, s);
    for (uint16_t sample : white.samples) ASSERT_EQ(sample, 254);

    // 4-fold matches itself turned by a quarter turn. Smooth off; without mixer
    // sharpness, whose slope is unbounded where the terms are 0, floating rounding
    // moves at most a few pixels across a colour boundary.
    s = FactorySettings();
    s.symmetry = 3;
    s.smooth = s.sharpness1 = s.sharpness2 = s.sharpness3 = 0;
    Image fourFold = Source(96, 96, 3, 8);
    renderer.Render(fourFold, s);
    EXPECT_LE(QuarterTurnMismatches(fourFold), 15);
    // The 2-fold pattern is not quarter-turn symmetric: the comparison can tell.
    s.symmetry = 1;
    Image twoFold = Source(96, 96, 3, 8);
    renderer.Render(twoFold, s);
    EXPECT_GT(QuarterTurnMismatches(twoFold), 96 * 96 / 4);

    // Sixteen bits give the 8-bit render times 128.
    for (int32_t smooth = 0; smooth <= 1; ++smooth) {
        s = FactorySettings();
        s.smooth = smooth;
        Image eight = Source(50, 37, 3, 8), sixteen = Source(50, 37, 3, 16);
        renderer.Render(eight, s);
        renderer.Render(sixteen, s);
        for (std::size_t i = 0; i < eight.samples.size(); ++i)
            ASSERT_EQ(sixteen.samples[i], eight.samples[i] * 128) << i << " smooth " << smooth;
    }
}

// A selection with unselected, partly and fully selected pixels.
std::vector<uint8_t> MixedMask(int32_t width, int32_t height) {
    std::vector<uint8_t> mask;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            mask.push_back(x + 2 * y < 12 ? 0 : (x - y > 9 ? 255 : uint8_t(1 + (x * y * 7) % 253)));
    return mask;
}

TEST(Render, MaskKeepsUnselectedPixelsAndBlendsPartlySelectedOnes) {
    // Under a mask the host keeps unselected pixels as the source had them, fully
    // selected ones as the unmasked render has them, and partly selected ones between.
    const int32_t width = 37, height = 23;
    const std::vector<uint8_t> mask = MixedMask(width, height);
    Renderer renderer;
    for (const Settings& s : {FactorySettings(), Woven()}) {
        const Image source = Source(width, height, 3, 8);
        Image full = source, masked = source;
        renderer.Render(full, s);
        renderer.Render(masked, s, mask);
        ASSERT_NE(full.samples, source.samples);
        for (std::size_t i = 0; i < source.samples.size(); ++i) {
            const int32_t m = mask[i / 3], in = source.samples[i], out = masked.samples[i], f = full.samples[i];
            if (m == 0 || m == 255) {
                ASSERT_EQ(out, m == 0 ? in : f) << "sample " << i << " mask " << m;
            }
            ASSERT_TRUE(out >= std::min(in, f) && out <= std::max(in, f)) << "sample " << i;
        }
    }
}

// FNV-1a over an image's samples.
uint64_t HashOf(const Image& image) {
    uint64_t hash = 1469598103934665603ull;
    for (uint16_t sample : image.samples) {
        hash = (hash ^ (sample & 0xff)) * 1099511628211ull;
        hash = (hash ^ (sample >> 8)) * 1099511628211ull;
    }
    return hash;
}

// Renders of many settings, depths, image kinds, glue modes and selections, named.
std::map<std::string, uint64_t> RenderHashes() {
    Renderer renderer;
    std::map<std::string, uint64_t> hashes;
    auto run = [&](const std::string& name, const Settings& s, int32_t planes, bool transparency, int32_t depth,
                   bool masked) {
        const int32_t width = 23, height = 13;
        Image image = Source(width, height, planes, depth, transparency);
        renderer.Render(image, s, masked ? MixedMask(width, height) : std::vector<uint8_t>{});
        hashes[name + " planes" + std::to_string(planes) + (transparency ? "a" : "") + " depth" + std::to_string(depth) +
               (masked ? " masked" : "")] = HashOf(image);
    };
    for (int32_t symmetry = 1; symmetry <= 4; ++symmetry)
        for (int32_t flags = 0; flags < 8; ++flags) {
            Settings s = FactorySettings();
            s.symmetry = symmetry;
            s.mirror = flags & 1, s.weave = (flags >> 1) & 1, s.smooth = (flags >> 2) & 1;
            run("symmetry" + std::to_string(symmetry) + " flags" + std::to_string(flags), s, 3, false, 8, false);
        }
    for (int32_t glue = 1; glue <= 62; ++glue) {
        Settings s = Woven();
        s.glue = glue;
        s.smooth = glue & 1;
        const std::string name = "glue" + std::to_string(glue);
        run(name, s, 3, false, 8, false);
        run(name, s, 3, false, 16, false);
        run(name, s, 1, false, 8, glue % 3 == 0);
        run(name, s, 1, false, 16, glue % 3 == 1);
    }
    for (uint32_t seed = 1; seed <= 10; ++seed)
        for (int32_t planes : {1, 3})
            for (int32_t depth : {8, 16})
                for (bool masked : {false, true})
                    run("drawn" + std::to_string(seed), Drawn(seed), planes, false, depth, masked);
    for (const Settings& s : {FactorySettings(), Woven()})
        for (int32_t planes : {1, 3})
            for (int32_t depth : {8, 16}) run(s.glue == 1 ? "factory" : "woven", s, planes, true, depth, true);
    return hashes;
}

TEST(Render, SameBytesAsTheRecordedRenders) {
    // The hashes were recorded from earlier builds; set TESSELUME_RECORD_RENDERS to
    // rewrite them after a deliberate change of the output.
    const std::map<std::string, uint64_t> hashes = RenderHashes();
    if (std::getenv("TESSELUME_RECORD_RENDERS")) {
        std::ofstream file(TESSELUME_RENDER_HASHES);
        for (const auto& [name, hash] : hashes) file << std::hex << hash << ' ' << name << '\n';
        GTEST_SKIP() << "recorded " << hashes.size() << " renders";
    }
    std::ifstream file(TESSELUME_RENDER_HASHES);
    ASSERT_TRUE(file) << TESSELUME_RENDER_HASHES;
    std::string line;
    int32_t compared = 0;
    while (std::getline(file, line)) {
        const std::size_t space = line.find(' ');
        const std::string name = line.substr(space + 1);
        ASSERT_EQ(hashes.count(name), 1u) << name;
        EXPECT_EQ(std::stoull(line.substr(0, space), nullptr, 16), hashes.at(name)) << name;
        ++compared;
    }
    EXPECT_EQ(compared, int32_t(hashes.size()));
}

}  // namespace
