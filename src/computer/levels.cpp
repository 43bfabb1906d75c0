// SPDX-License-Identifier: MIT
// The computer's levels and the weights of its judgement: plain numbers,
// all in this one place.
#include <algorithm>
#include <iterator>

#include "computer/level.hpp"
#include "computer/score.hpp"
#include "game/rhythm.hpp"

namespace {

// Each level a step up from the one below: it beats it in most games head
// to head, and alone it lasts about twice as long (doc/figures.md has the
// figures, bench/ladder_figures.cpp makes them). At 11 frames a second, a
// key every 2 frames is about five keys a second.
//
// Its mistakes are slips: now and then a worse place than the best, one of
// the next few, never one that ends the game while another is open. Slips
// leave holes that pile up; frequent small ones wear a player down
// steadily, rare wide ones (level 5) strike seldom but hard, so that level
// outlasts the one below in most games.
constexpr ComputerLevel levels[] = {
    // keyPeriod, dropPeriod, reactionFrames, lookAhead, slipPercent, slipRange
    {2, 1, 32, 0, 38, 16}, // 1: a beginner: slow to look, slips often and badly
    {2, 2, 18, 0, 33, 10}, // 2: quicker to look, smaller slips
    {1, 2, 20, 0, 28, 8},  // 3: a key every frame once it has looked
    {1, 2, 3, 0, 23, 7},   // 4: looks almost at once
    {1, 1, 0, 4, 15, 12},  // 5: looks at once, weighs the next piece, slips seldom
};

static_assert(std::all_of(std::begin(levels), std::end(levels),
                          [](const ComputerLevel& level) {
                              return level.keyPeriod >= 1 && gravityPeriod % level.keyPeriod == 0;
                          }),
              "the search presses keys in frames that divide the gravity period");
static_assert(sizeof levels / sizeof levels[0] == computerMaxLevel - computerMinLevel + 1);

} // namespace

// Per unit of each feature, in hundredths.
const Weights computerWeights = {
    -112,       // landing: per row of height of each of the piece's four cells
    342,        // eroded
    -322,       // rowChanges
    -935,       // colChanges
    -790,       // holes
    -339,       // wells
    -400,       // entry
    -1000000000 // toppedOut
};

const ComputerLevel& computerLevel(int level) {
    if (level < computerMinLevel)
        level = computerMinLevel;
    if (level > computerMaxLevel)
        level = computerMaxLevel;
    return levels[level - computerMinLevel];
}
