// SPDX-License-Identifier: MIT
// The game a command line asks for, as the game takes it.
#pragma once

#include <string>

#include "cli/command_line.hpp"
#include "game/game.hpp"

// Who plays the boards of a game on this keyboard: the computer takes the
// right board with --computer and both with --demo, at the levels given,
// and the keys each player has.
GameSetup gameSetupOf(const Options& options);

// Both sets of keys, as the legend of a person alone at a keyboard shows them.
std::string bothKeysLegend(const Controls keys[2]);
