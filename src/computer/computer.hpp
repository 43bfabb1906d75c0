// SPDX-License-Identifier: MIT
// The computer player: it sees what a person at the board sees (the board,
// the falling piece, the next piece and the frame count), chooses where the
// piece should rest among the places the game's rules let it reach, and
// steers it there with the four keys of its player, decided once a frame.
// Plain records and free functions; it keeps a random generator of its own
// and never draws from the game's, so the pieces that come stay the same.
#pragma once

#include "model/model.hpp"

// How well the computer plays at one level (levels.cpp has the table).
struct ComputerLevel {
    int keyPeriod;         // frames from one key press to the next: 1, 2, 5 or 10
    int lookAhead;         // 1: weighs the best place of the next piece as well
    int poorChoicePercent; // chance of taking a random reachable place instead
};

constexpr int computerMinLevel = 1;
constexpr int computerMaxLevel = 5;

// The row of the level table; levels outside 1..5 are taken as the nearest.
const ComputerLevel& computerLevel(int level);

// The keys of one board for one frame.
struct ComputerKeys {
    bool rotate;
    bool left;
    bool right;
    bool drop;
};

// How a piece got from one place to the next on its way down.
enum class Move : signed char {
    Start,   // where it was when the plan was made
    Rotate,  // a quarter turn
    Left,    // a column to the left
    Right,   // a column to the right
    Drop,    // a soft drop of one row (followed by the gravity step in a gravity frame)
    Gravity, // waited for the gravity step
};

// One place of the falling piece: its turn (0..3, quarter turns from the
// grid the plan started with), the board column and row of its grid.
struct PiecePlace {
    unsigned char turn;
    signed char bx;
    signed char by;
    Move move; // how the piece came here from the step before
};

// A piece rests after at most 10 steps a row on 16 rows.
constexpr int maxPathSteps = 176;

// Where the computer sends the current piece and the way there.
struct ComputerPlan {
    PiecePlace path[maxPathSteps]; // path[0] is where the piece was
    int length;                    // places on the path, the resting place included
    bool lockByDrop;               // the last step is a soft drop that the stack stops
    unsigned turns[4];             // solid cells of each turn's grid, one bit a cell
    unsigned board[floorRow];      // occupied cells the plan was made for, one bit a column
};

// One computer seat.
struct ComputerPlayer {
    int level;
    unsigned random;   // its own generator, xorshift
    ComputerPlan plan; // valid when `planned`
    bool planned;
    int step;          // the path index where the piece was last seen
    int lastTick;      // the frame count it last decided for
    ComputerKeys keys; // the keys of the current frame
    long long plans;   // plans made so far, for tests and figures
};

// A fresh seat at `level`; its generator starts from the level and the seat
// (0 or 1), so that a game is the same every time for the same pieces.
void startComputer(ComputerPlayer& c, int level, int seat);

// Decides the keys of this frame, before the input phase polls them, from
// the player's record and the frame count. Plans when there is a new piece,
// when the board changed, and when the piece left the planned path.
ComputerKeys computerKeys(ComputerPlayer& c, const Player& p, int tick);

// Plans the piece of `p` from where it is now, before the input phase of
// the frame with count `tick`. Returns false if the piece has no turn the
// plan can recognise (it cannot happen with the game's pieces).
bool planPiece(ComputerPlan& plan, const Player& p, int tick, const ComputerLevel& level,
               unsigned& random);

// The grid of a piece as a 25-bit mask, bit 5 * row + column.
unsigned gridBits(const int (&block)[blockHeight][blockWidth]);
