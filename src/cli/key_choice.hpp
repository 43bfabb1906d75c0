// SPDX-License-Identifier: MIT
// The players' keys as a person chooses them: `--keys one=i,j,l,k` on the
// command line, or the same lines in the keys file. Pure: text in, keys or
// the reason they are refused out.
#pragma once

#include <string>
#include <string_view>

#include "game/keys.hpp"

// What was chosen for each player; a player not chosen keeps the mode's keys.
struct KeyChoice {
    bool chosen[2] = {false, false};
    Controls keys[2] = {};
};

// One choice, "one=TURN,LEFT,RIGHT,DROP" or "two=...", spaces allowed
// around the parts. Returns what is wrong with it ("" for nothing) and
// then leaves `choice` as it was. A player chosen twice is refused.
std::string chooseKeys(std::string_view text, KeyChoice& choice);

// The keys file: a choice a line, blank lines and `#` comments. Returns the
// first problem as "line N: ..." and then leaves `choice` as it was.
std::string readKeysFile(std::string_view text, KeyChoice& choice);

// Each player's keys in a mode beyond the game without options: the chosen
// ones, else the arrows for player one and the keys where W A S D sit for
// player two. Keys bound twice (to both players, or to two moves) are
// refused: what is wrong, or "".
std::string keysInPlay(const KeyChoice& choice, Controls keys[2]);

// Where the keys file is: $XDG_CONFIG_HOME/blockduel/keys, else
// $HOME/.config/blockduel/keys; on Windows %APPDATA%\blockduel\keys. Empty
// when none of those is set (or is not an absolute path, as XDG asks).
std::string keysFilePath(const char* xdgConfigHome, const char* home);
std::string windowsKeysFilePath(const char* appData);

// A player's keys as messages name them: "Up Left Right Down".
std::string keysLabel(const Controls& keys);

// As the key legend shows them, in picture codes: the arrows as arrows.
std::string keysLegend(const Controls& keys);
