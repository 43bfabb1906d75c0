// SPDX-License-Identifier: MIT
// How well the computer plays: the levels a person climbs one at a time,
// from a beginner to the strongest. levels.cpp holds the table.
#pragma once

struct ComputerLevel {
    int keyPeriod;      // frames from a turn or sideways key to the next; divides gravityPeriod
    int dropPeriod;     // frames between Downs once only the way down is left (0: no Down)
    int reactionFrames; // frames from a new piece's arrival to its first look at it
    int lookAhead;      // how many of the best places are weighed with the next piece too
    int slipPercent;    // chance, per piece, of a slip: a place below the best
    int slipRange;      // a slip takes one of the places ranked 2..slipRange + 1
};

constexpr int computerMinLevel = 1;
constexpr int computerMaxLevel = 5;
constexpr int computerDefaultLevel = 3;

// The row of the level table; levels outside the bounds are taken as the nearest.
const ComputerLevel& computerLevel(int level);
