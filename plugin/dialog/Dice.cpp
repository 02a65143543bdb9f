// Random settings, resets and the factory settings.
#include "dialog/Dice.h"

#include <algorithm>
#include <cstring>

#include "dialog/ControlTable.h"
#include "settings/Settings.h"

namespace {

// r / 327 spans -100..100; (r + 32767) / 327 spans 0..200 (integer division).
std::int32_t RandomPercent(RandomSource& random) { return RandomValue(random) / 327; }

void DicePattern(Settings& s, RandomSource& random) {
    for (std::int32_t* amount : {&s.amount11, &s.amount12, &s.amount21, &s.amount22, &s.amount31, &s.amount32})
        *amount = (RandomValue(random) + 32767) / 327;
    for (std::int32_t* value : {&s.mixer1, &s.mixer2, &s.mixer3, &s.sharpness1, &s.sharpness2, &s.sharpness3})
        *value = RandomInt(random, 0, 100);
    for (std::int32_t* invert : {&s.invert1, &s.invert2, &s.invert3}) *invert = RandomValue(random) >= 0;
    // Zoom wanders a little from where it was, and now and then jumps to a middle value.
    s.zoom = std::clamp(s.zoom + RandomInt(random, 0, 8) - 4, 0, 100);
    if (RandomInt(random, 0, 100) > 93) s.zoom = RandomInt(random, 40, 80);
    if (RandomInt(random, 0, 100) > 93) s.sharpness = RandomInt(random, 0, 90);
    s.smooth = 1;
    if (RandomInt(random, 0, 100) > 80) s.smooth = RandomInt(random, 0, 1);
    s.symmetry = RandomInt(random, 1, 4);
    s.mirror = RandomInt(random, 0, 1);
    s.weave = RandomInt(random, 0, 1);
    // Glue stays "normal" in about 92 throws of 100: most other modes need a photo under them.
    s.glue = RandomInt(random, 1, 62);
    if (RandomInt(random, 0, 100) > 7) s.glue = 1;
}

void DicePhases(Settings& s, RandomSource& random) {
    for (std::int32_t* phase : {&s.redPhase, &s.greenPhase, &s.bluePhase}) *phase = RandomPercent(random);
}

// Amplitude + |shift| = 100: the wave never leaves the 0..100 band.
void DiceShifts(Settings& s, RandomSource& random) {
    std::int32_t* const channels[3][2] = {
        {&s.redShift, &s.redAmplitude}, {&s.greenShift, &s.greenAmplitude}, {&s.blueShift, &s.blueAmplitude}};
    for (auto& channel : channels) {
        const std::int32_t shift = RandomPercent(random);
        *channel[0] = shift;
        *channel[1] = shift >= 0 ? 100 - shift : shift + 100;
    }
}

void SetName(Settings& s, const char* name) {
    std::strncpy(s.settingsFileName, name, sizeof s.settingsFileName - 1);
    s.settingsFileName[sizeof s.settingsFileName - 1] = '\0';
}

}  // namespace

bool PressSettingsButton(int id, Settings& s, RandomSource& random) {
    switch (id) {
        case controlid::kDice: DicePattern(s, random); break;
        case controlid::kDice1: DicePhases(s, random); break;
        case controlid::kReset1: s.redPhase = s.greenPhase = s.bluePhase = 0; break;
        case controlid::kDice2: DiceShifts(s, random); break;
        case controlid::kReset2:
            s.redShift = s.greenShift = s.blueShift = 0;
            s.redAmplitude = s.greenAmplitude = s.blueAmplitude = 100;
            break;
        case controlid::kDice3: s.density = RandomInt(random, 0, 25); break;
        case controlid::kFactory:
            FactoryReset(s);
            SetName(s, kPlainSettingsName);
            return true;
        default: return false;
    }
    SetName(s, kRandomSettingsName);
    return true;
}
