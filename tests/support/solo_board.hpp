// SPDX-License-Identifier: MIT
// One board alone, played with the core's own functions: the input phase
// for its four keys, then in a gravity frame the gravity step and the lock
// phase for this board only. No opponent, so no penalty cells.
#pragma once

#include "computer/computer.hpp"

struct SoloFrame {
    bool locked;    // the piece locked in this frame
    bool toppedOut; // and ended the game
    int rows;       // rows its lock cleared
    int bx;         // where it locked, and its grid (gridBits)
    int by;
    unsigned grid;
};

SoloFrame soloFrame(Player& p, const Moves& keys, int& tick);
// The same under a rhythm of gravity steps that `rhythm` gives and keeps
// up to date, as the game's quickened rounds have it: a step at its next
// fall, or in a frame whose soft drop the stack stopped, and then one a
// period later.
SoloFrame soloFrame(Player& p, const Moves& keys, int& tick, FallRhythm& rhythm);

// A board of its own for the computer at `level`, seeded with `seed`.
struct Solo {
    Player p;
    ComputerPlayer c;
    int tick;
};

Solo startSolo(int level, unsigned seed);

// One frame with the computer's keys.
SoloFrame playSolo(Solo& s);
