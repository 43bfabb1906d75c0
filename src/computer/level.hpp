// SPDX-License-Identifier: MIT
// How well the computer plays: the levels a person climbs one at a time,
// from a beginner to the strongest. levels.cpp holds the table.
#pragma once

#include "game/rhythm.hpp"
#include "model/model.hpp"

struct ComputerLevel {
    int keyPeriod;  // frames from one turn or sideways key to the next; divides gravityPeriod
    int dropPeriod; // frames from one Down to the next once only the way down is left (0: waits)
    int reactionFrames; // frames from a new piece's arrival to its first look at it
    int lookAhead;      // how many of the best places are weighed with the next piece too
    int slipPercent;    // chance, per piece, of a slip: a place below the best
    int slipRange;      // a slip takes one of the places ranked 2..slipRange + 1
    int lateOneIn; // a late look, up to lateLookFrames more, for one piece in this many (0: none)
};

// A late look comes up to as late as a piece takes to fall from the entry
// to the floor: at worst the piece lands where it came in, unsteered.
constexpr int lateLookFrames = (floorRow - entryRow) * gravityPeriod;

constexpr int computerMinLevel = 1;
constexpr int computerMaxLevel = 5;
constexpr int computerDefaultLevel = 3;

// The row of the level table; levels outside the bounds are taken as the nearest.
const ComputerLevel& computerLevel(int level);
