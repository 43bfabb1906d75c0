// SPDX-License-Identifier: MIT
// Every place where the falling piece can come to rest, and a way to each,
// found by playing the game's own rules forward on copies of the player's
// record: the landing test one row below, sideways moves refused by the
// walls and by any place where the piece would rest, turns refused where
// the turned piece would rest, turns only in even frames, the gravity step
// every gravityPeriod frames with its lock test, and the computer's own pace of one
// key press every few frames.
#pragma once

#include "computer/plan.hpp"

// The places a piece's grid can take: every turn, the rows from the entry
// to the floor, and every column where a cell of the grid can be on the
// board (from the grid's last column at column 0 to its first at the last).
constexpr int reachTurns = quarterTurns;
constexpr int reachTopRow = placeTopRow;
constexpr int reachRows = placeRows;
constexpr int reachLeftColumn = 1 - blockWidth;
constexpr int reachColumns = mapWidth + blockWidth - 1;
constexpr int reachNodes = reachTurns * reachRows * reachColumns;
constexpr int maxPlacements = 256;

struct ReachNode {
    // Input phases left at this row, this frame's included, when the piece
    // can first be here: the period right after a gravity step, 1 in the gravity
    // frame itself. 0: not reached. More time left is always as good, since
    // the piece can wait.
    unsigned char framesLeft;
    Move move;  // how it first came here with that much time
    short from; // the node before; -1 for the start
};

// A resting place: the piece locks at `node`, coming from `from` by `move`
// (Gravity: the gravity step; Drop: a soft drop the stack stops).
struct Placement {
    short node;
    short from;
    Move move;
};

struct Reach {
    Player piece[reachTurns]; // the player's record with the piece in each turn
    int turnsUsed;            // 1 for the square, which never turns; else 4
    unsigned char tested[reachNodes];
    ReachNode node[reachNodes];
    Placement placement[maxPlacements];
    int placements;
    int start; // the node where the piece is now
};

int nodeOf(int turn, int bx, int by); // -1 outside the grid of places
int turnOf(int node);
int columnOf(int node); // bx
int rowOf(int node);    // by

// Searches from where the piece of `p` is before the input phase of the
// frame with count `tick`, with one key press every `keyPeriod` frames (a
// divisor of gravityPeriod). False when the piece lies outside the grid of places.
// Gravity keeps the steady rhythm unless `rhythm` is given, whose period
// (at most gravityPeriod) keeps the parity of its frames from step to step.
bool findPlacements(Reach& r, const Player& p, int tick, int keyPeriod);
bool findPlacements(Reach& r, const Player& p, int tick, FallRhythm rhythm, int keyPeriod);

// The plan for placement `index`: the way there, the piece's turns and the
// board it was found on.
void pathTo(const Reach& r, int index, ComputerPlan& plan);

// The player's record with the piece locked at placement `index`: the
// board as it would be, before any row is cleared.
Player placed(const Reach& r, int index);
