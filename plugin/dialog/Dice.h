// The main dialog's buttons that change many settings at once: random settings
// for the whole pattern (Dice) or one group (Dice1 the colour phases, Dice2 the
// colour shifts and amplitudes, Dice3 the density), the resets of the two colour
// groups, and the factory settings. None of them touches the colour cycles.
#pragma once

#include "settings/RandomSource.h"

struct Settings;

// The preset names these buttons leave in the status line.
constexpr char kRandomSettingsName[] = "random settings.q1r";
constexpr char kPlainSettingsName[] = "plain settings.q1r";

// Applies the button of that id (controlid::kDice ... kFactory) to the settings and names the result; false, with
// nothing changed, for any other id.
bool PressSettingsButton(int id, Settings& settings, RandomSource& random);
