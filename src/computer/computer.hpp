// SPDX-License-Identifier: MIT
// The computer player's seat: it sees what a person at the board sees (the
// board, the falling piece, the next piece and the frame count), looks at a
// new piece after its level's reaction time, plans where the piece should
// rest among the places the game's rules let it reach, and steers it there
// with the four keys of its player, decided once a frame. It keeps a random
// generator of its own and never draws from the game's, so the pieces that
// come stay the same.
#pragma once

#include "computer/level.hpp"
#include "computer/plan.hpp"
#include "game/keys.hpp"

// One computer seat.
struct ComputerPlayer {
    ComputerLevel skill; // its row of the level table
    unsigned random;     // its own generator, xorshift
    ComputerPlan plan;   // valid when `planned`
    bool planned;
    int step;        // the path index where the piece was last seen
    int lastTick;    // the frame count it last decided for
    int pieceRow;    // the row of the piece's grid when it last looked
    int waiting;     // frames before it looks at a new piece
    Moves keys;      // the moves of the current frame
    long long plans; // plans made so far, for tests and figures
};

// A fresh seat at `level`; its generator starts from `seed`, the level and
// the seat (0 or 1), so that a game with the same seed and pieces is the
// same game.
void startComputer(ComputerPlayer& c, int level, int seat, unsigned seed = 0);

// Decides the keys of this frame, before the input phase polls them, from
// the player's record and the frame count. Plans once the reaction time
// after a new piece has passed, and again when the board changed or the
// piece left the planned path. Gravity's rhythm is the steady one unless
// `rhythm` says otherwise.
Moves computerKeys(ComputerPlayer& c, const Player& p, int tick);
Moves computerKeys(ComputerPlayer& c, const Player& p, int tick, FallRhythm rhythm);
