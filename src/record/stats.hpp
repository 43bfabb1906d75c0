// SPDX-License-Identifier: MIT
// What the results log adds up to: per mode and per computer level, the
// matches and rounds played, won and lost, the best score, the rows
// cleared and the longest round; and for the ladder of computer levels,
// the highest beaten in a match and the next to try. Pure: entries in,
// figures out.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "record/results.hpp"

namespace record {

struct Tally {
    int matches = 0;
    int matchesWon = 0;
    int matchesLost = 0;
    int rounds = 0;
    int roundsWon = 0;
    int roundsLost = 0;
    int bestScore = 0;
    long long rows = 0;
    long long rowsFigured = 0; // of the rows, those figured from the score of older entries
    long long longestSeconds = 0;
};

// A mode, and the level of the computer that played against this machine's
// player (0 when none did; in a demo the two levels as 10 * left + right).
using TallyKey = std::pair<PlayMode, int>;

struct Stats {
    std::map<TallyKey, Tally> tallies;
    int highestBeaten = 0; // the highest computer level beaten in a match; 0 for none
    int nextLevel = 0;     // the level to try next; 0 once the top one is beaten
};

// `topLevel`: the computer's highest level.
Stats addUp(const std::vector<ResultEntry>& entries, int topLevel);

// The figures as a table a person reads at a glance, and as JSON.
std::string statsTable(const Stats& stats);
std::string statsJson(const Stats& stats);

const char* modeName(PlayMode mode);

} // namespace record
