// SPDX-License-Identifier: MIT
// The computer's levels and the weights of its judgement: plain numbers,
// all in this one place.
#include "computer/computer.hpp"
#include "computer/score.hpp"

namespace {

// keyPeriod: frames from one key press to the next (a divisor of 10, the
// gravity rhythm; at 11 frames a second 10 is about one key a second).
// lookAhead: how many of the best places are weighed with the next piece
// as well (0: the next piece is not looked at).
// poorChoicePercent: chance, per piece, of a random reachable place.
constexpr ComputerLevel levels[] = {
    // keyPeriod, lookAhead, poorChoicePercent
    {10, 0, 20}, // 1: a beginner
    {5, 0, 12},  // 2
    {2, 0, 4},   // 3
    {1, 0, 0},   // 4
    {1, 4, 0},   // 5: every frame it may, with the next piece in mind
};

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
