// SPDX-License-Identifier: MIT
// A board and a piece as bits, the form in which the computer compares and
// weighs them: one bit a cell.
#pragma once

#include "model/model.hpp"

// The playing rows of a board: bit c of row[j] is column c, the walls
// (columns 0 and 19) always set.
struct Cells {
    unsigned row[floorRow];
};

constexpr unsigned wallBits = 1U | 1U << (mapWidth - 1);
constexpr unsigned insideBits = ((1U << (mapWidth - 1)) - 1) & ~1U; // columns 1..18

Cells cellsOf(const Player& p);

// A piece turns a quarter at a time (rotateBlock): four turns make a whole one.
constexpr int quarterTurns = 4;

// The grid of a piece as a 25-bit mask, bit blockWidth * row + column.
unsigned gridBits(const int (&block)[blockHeight][blockWidth]);
