// SPDX-License-Identifier: MIT
// A simulated person at one board, for the ladder's figures: what a casual
// player does, on the game's clock of 11 frames a second. It looks at a new
// piece for 350 ms before its first key, presses at most five keys a second
// (200 ms or more apart; each is taken by the next key poll), and
// picks where the piece goes by a simple rule: every turn dropped straight
// down in every column, the place with the fewest covered holes, then the
// lowest, rows cleared counting for it. Now and then (one piece in twenty)
// it takes one of the next three places of its rule instead. It turns the
// piece first, then moves it, then taps Down until it lands; a key the
// game refuses it presses again.
#pragma once

#include "game/keys.hpp"
#include "model/model.hpp"

struct SimulatedPerson {
    unsigned random;       // its own generator, xorshift; never the game's
    int pieceRow;          // the row of the piece's grid when it last looked
    long long nextPressMs; // the earliest time of its next key press
    bool decided;          // it has chosen where the piece goes
    unsigned goalGrid;     // the piece's grid, turned as it wants it (gridBits)
    int goalColumn;        // the column of the grid it wants
};

SimulatedPerson startPerson(unsigned seed);

// Its keys in frame number `frame` (frames counted from the start, one a
// call), with the frame count `tick` of the game, for the board `p`.
Moves personKeys(SimulatedPerson& s, const Player& p, int frame, int tick);
