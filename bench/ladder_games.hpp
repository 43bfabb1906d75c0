// SPDX-License-Identifier: MIT
// Whole games for the ladder's figures, played through the core's own
// start-up and frames (startGame, playFrame) on the in-memory back end:
// the computer at a level or the simulated person on each board, or the
// computer on one board alone.
#pragma once

#include "computer/level.hpp"
#include "model/model.hpp"

// Who plays a board: the simulated person, or the computer at `level`
// with the skill of that level's row (another row to try one out).
struct Contender {
    bool person;
    int level;
    ComputerLevel skill;
};

Contender computerAt(int level);
Contender simulatedPerson();

struct MatchResult {
    int loser; // 0: the left board topped out, 1: the right board, -1: neither within the cap
    long frames;
};

// Both boards, penalty cells and all, the game seeded with `seed`; gravity
// quickens as the game goes on with `speedUp`, as under --speed-up.
MatchResult playMatch(const Contender& left, const Contender& right, unsigned seed, long capFrames,
                      bool speedUp = false);

struct SoloResult {
    long frames; // until it topped out, or the cap
    bool toppedOut;
    int rows;                  // rows cleared
    int pieces;                // pieces locked
    int wallPieces[2];         // pieces locked against the left wall, against the right wall
    int columnCells[mapWidth]; // cells locked in each column
};

// The computer or the person alone on the left board. The right board is there only for the
// frame loop: nobody presses its keys and its piece is put back at the
// entry after every frame, so it never locks, clears or tops out.
SoloResult playSolo(const Contender& player, unsigned seed, long capFrames, bool speedUp = false);
