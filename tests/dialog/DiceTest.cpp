// The dice's random source and the buttons that change many settings at once.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "dialog/ControlTable.h"
#include "dialog/Dice.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"

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

struct Button {
    int id;
    std::set<std::string> owns;  // parameter names the button may change
};

const Button kButtons[] = {
    {controlid::kDice,
     {"amount 11", "amount 12", "amount 21", "amount 22", "amount 31", "amount 32", "mixer 1", "mixer 2", "mixer 3",
      "sharpness 1", "sharpness 2", "sharpness 3", "invert 1", "invert 2", "invert 3", "zoom", "sharpness", "smooth",
      "symmetry", "mirror", "weave", "glue"}},
    {controlid::kDice1, {"red phase", "green phase", "blue phase"}},
    {controlid::kReset1, {"red phase", "green phase", "blue phase"}},
    {controlid::kDice2, {"red shift", "green shift", "blue shift", "red amplitude", "green amplitude", "blue amplitude"}},
    {controlid::kReset2, {"red shift", "green shift", "blue shift", "red amplitude", "green amplitude", "blue amplitude"}},
    {controlid::kDice3, {"density"}},
};

TEST(Dice, EachButtonChangesOnlyWhatItOwnsAndStaysInRange) {
    RandomSource random;
    SeedRandom(random, 99);
    for (const Button& button : kButtons) {
        std::set<std::string> changed;
        for (int throwIndex = 0; throwIndex < 300; ++throwIndex) {
            Settings before{};
            InitialiseSettings(before, nullptr);
            before.zoom = throwIndex % 2 ? 100 : 0;  // dice must keep zoom in range from either end
            before.redCycles = 7;
            Settings after = before;
            ASSERT_TRUE(PressSettingsButton(button.id, after, random));
            EXPECT_STREQ(after.settingsFileName, "random settings.q1r");
            for (const ParameterInfo& p : kParameters) {
                const std::int32_t value = after.*p.field;
                if (value != before.*p.field) changed.insert(std::string(p.name));
                EXPECT_GE(value, p.minimum) << p.name;
                EXPECT_LE(value, p.maximum) << p.name;
            }
            if (button.id == controlid::kDice2) {
                for (auto [shift, amplitude] : {std::pair{after.redShift, after.redAmplitude},
                                                {after.greenShift, after.greenAmplitude},
                                                {after.blueShift, after.blueAmplitude}})
                    EXPECT_EQ(amplitude + std::abs(shift), 100);
            }
        }
        // Dice may leave a field as it found it, but over 300 throws it changes each it owns.
        if (button.id != controlid::kReset1 && button.id != controlid::kReset2) {
            EXPECT_EQ(changed, button.owns) << button.id;
        } else {
            for (const std::string& name : changed) EXPECT_TRUE(button.owns.count(name)) << name;
        }
    }
}

TEST(Dice, GlueStaysNormalMostlyAndResetsAndFactoryRestore) {
    RandomSource random;
    SeedRandom(random, 7);
    Settings s{};
    InitialiseSettings(s, nullptr);
    int normal = 0;
    for (int i = 0; i < 4000; ++i) {
        PressSettingsButton(controlid::kDice, s, random);
        normal += s.glue == 1;
    }
    EXPECT_NEAR(normal / 4000.0, 0.92 + 0.08 / 62, 0.015);

    PressSettingsButton(controlid::kDice1, s, random);
    PressSettingsButton(controlid::kDice2, s, random);
    PressSettingsButton(controlid::kReset1, s, random);
    PressSettingsButton(controlid::kReset2, s, random);
    EXPECT_EQ(s.redPhase | s.greenPhase | s.bluePhase | s.redShift | s.greenShift | s.blueShift, 0);
    EXPECT_EQ(s.redAmplitude + s.greenAmplitude + s.blueAmplitude, 300);

    s.viewState[3] = 42;
    ASSERT_TRUE(PressSettingsButton(controlid::kFactory, s, random));
    EXPECT_STREQ(s.settingsFileName, "plain settings.q1r");
    const std::int32_t factory[] = {s.mixer1, s.mixer2, s.mixer3, s.amount11, s.amount32, s.redPhase, s.bluePhase,
                                    s.zoom,   s.symmetry, s.glue, s.smooth};
    const std::int32_t expected[] = {33, 71, 97, 192, 25, -58, -90, 55, 2, 1, 1};
    EXPECT_TRUE(std::equal(std::begin(factory), std::end(factory), std::begin(expected)));
    EXPECT_EQ(s.viewState[3], 42);
    EXPECT_FALSE(PressSettingsButton(70, s, random));
}

}  // namespace
