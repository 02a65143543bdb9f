// The dice's random source and the buttons that change many settings at once.
#include <algorithm>
#include <cstdlib>
#include <map>

#include <gtest/gtest.h>

#include "dialog/ControlTable.h"
#include "dialog/Dice.h"
#include "files/FilesTestSupport.h"
#include "settings/Parameters.h"

namespace {

TEST(RandomSource, RandomIntReachesEveryValueOfItsRangeEvenly) {
    RandomSource random;
    SeedRandom(random, 12345);
    // Spans around the mask's steps (1, 3, 7, 127), swapped bounds, and one value.
    for (auto [lo, hi] : {std::pair{0, 1}, {0, 2}, {-3, 1}, {1, 62}, {100, 0}, {40, 80}, {7, 7}}) {
        std::map<int, int> seen;
        const int draws = 400 * (std::abs(hi - lo) + 1);
        for (int i = 0; i < draws; ++i) ++seen[RandomInt(random, lo, hi)];
        EXPECT_EQ(int(seen.size()), std::abs(hi - lo) + 1) << lo << ".." << hi;
        for (auto [value, count] : seen) {
            EXPECT_GE(value, std::min(lo, hi));
            EXPECT_LE(value, std::max(lo, hi));
            EXPECT_NEAR(count, 400, 100) << value << " in " << lo << ".." << hi;
        }
    }
    // Both signs and both ends of the 16-bit range arrive.
    int lowest = 0, highest = 0;
    for (int i = 0; i < 200000; ++i) {
        const int r = RandomValue(random);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_LT(lowest, -32700);
    EXPECT_GT(highest, 32700);
}

// Over many throws from both ends of zoom's range, every parameter stays in its
// range (which parameters each button owns is checked through the module), and
// the glue stays "normal" in about 92 throws of 100.
TEST(Dice, ThrowsStayInRangeAndGlueMostlyNormal) {
    RandomSource random;
    SeedRandom(random, 99);
    int normal = 0;
    for (int throwIndex = 0; throwIndex < 4000; ++throwIndex) {
        Settings s = FactorySettings();
        s.zoom = throwIndex % 2 ? 100 : 0;
        for (int id : {controlid::kDice, controlid::kDice1, controlid::kDice2, controlid::kDice3})
            ASSERT_TRUE(PressSettingsButton(id, s, random));
        normal += s.glue == 1;
        for (const ParameterInfo& p : kParameters) {
            ASSERT_GE(s.*p.field, p.minimum) << p.name;
            ASSERT_LE(s.*p.field, p.maximum) << p.name;
        }
    }
    EXPECT_NEAR(normal / 4000.0, 0.92 + 0.08 / 62, 0.015);

    Settings s{};
    ASSERT_TRUE(PressSettingsButton(controlid::kFactory, s, random));
    EXPECT_STREQ(s.settingsFileName, "plain settings.q1r");
    EXPECT_FALSE(PressSettingsButton(controlid::kUndo, s, random));
}

}  // namespace
