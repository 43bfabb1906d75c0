// SPDX-License-Identifier: MIT
// A plan for the falling piece: where it is to rest and the way there,
// place by place, as the search found it and the seat follows it.
#pragma once

#include "computer/cells.hpp"
#include "game/rhythm.hpp"

// How a piece got from one place to the next on its way down.
enum class Move : signed char {
    Start,   // where it was when the plan was made
    Rotate,  // a quarter turn
    Left,    // a column to the left
    Right,   // a column to the right
    Drop,    // a soft drop of one row (followed by the gravity step in a gravity frame)
    Gravity, // waited for the gravity step
};

// One place of the falling piece: its turn (quarter turns from the grid the
// plan started with), the board column and row of its grid.
struct PiecePlace {
    unsigned char turn;
    signed char bx;
    signed char by;
    Move move; // how the piece came here from the step before
};

// The rows a piece's grid can take, from where it enters down to the floor
// row, which no piece's grid passes.
constexpr int placeTopRow = entryRow;
constexpr int placeRows = floorRow - entryRow + 1;

// A way down takes at most a step for each input phase of a gravity period
// and one for the gravity step, on each row it passes.
constexpr int maxPathSteps = (placeRows - 1) * (gravityPeriod + 1);

struct ComputerPlan {
    PiecePlace path[maxPathSteps]; // path[0] is where the piece was
    int length;                    // places on the path, the resting place included
    bool lockByDrop;               // the last step is a soft drop that the stack stops
    unsigned turns[quarterTurns];  // solid cells of each turn's grid (gridBits)
    unsigned board[floorRow];      // the board the plan was made for (Cells rows)
};
