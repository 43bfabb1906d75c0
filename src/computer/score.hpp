// SPDX-License-Identifier: MIT
// How good a board is after a lock, as the computer judges it: low and
// flat stacks without covered holes, full rows cleared, and room where the
// pieces come in.
#pragma once

#include "computer/cells.hpp"

// The weight of each thing the computer looks at after a lock (levels.cpp).
struct Weights {
    int landing;    // per row of height of each cell of the piece where it locked
    int eroded;     // per cleared row times the piece's own cells in cleared rows
    int rowChanges; // per change from free to occupied along a row, walls included
    int colChanges; // per change from free to occupied down a column, floor included
    int holes;      // per free cell with an occupied cell above it
    int wells;      // per free cell between two occupied ones, more the deeper
    int entry;      // per square of each row that the stack stands above row 6 where
                    // pieces come in (columns 2..6)
    int toppedOut;  // the value of a lock that ends the game
};

extern const Weights computerWeights;

// What a lock did: where its cells went and how many rows it cleared.
struct Lock {
    int heightSum; // the heights (13 minus the row) of the piece's cells, summed
    int eroded;    // cleared rows times the piece's cells that were in them
};

// The value of a board after a lock; higher is better.
int lockValue(const Cells& after, const Lock& lock);

// The best value the next piece can reach on `board` when dropped straight
// down in any turn and column, its own lock counted; `toppedOut` when every
// such drop ends the game.
int bestDropValue(const Cells& board, int type);
