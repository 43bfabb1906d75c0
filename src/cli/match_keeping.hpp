// SPDX-License-Identifier: MIT
// What a command keeps of the match it plays: a recording and the results
// log in the user's state folder for every mode that plays matches
// (--computer, --demo, --match, --host, and a guest's --join and --watch,
// from what its host sends); nothing for the game without options. Each
// back end's start makes the keeper (game/keeping.hpp) from these.
#pragma once

#include <string>

#include "cli/command_line.hpp"
#include "record/results.hpp"

// True for the modes whose matches are kept.
bool keepsMatches(Mode mode);
// The mode as the records name it.
record::PlayMode playModeOf(Mode mode);
// The board of this machine's player: -1 in a demo, a match of two at one
// keyboard or for a watcher, 1 for player two, else 0.
int boardOfYou(Mode mode);
// This program's version, as --version says it.
const char* programVersion();

// A moment as a recording's name shows it, in UTC: "20261207-194500".
std::string timeStamp(long long unixTime);
