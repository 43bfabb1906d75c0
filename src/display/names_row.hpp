// SPDX-License-Identifier: MIT
// The row below the picture, where a console has it: each board's player's
// name under its board. Both back ends draw it (the terminal's renderer,
// the Windows console's screen), the game never: the picture stays the
// game's.
#pragma once

#include "display/layout.hpp"

constexpr int namesRow = pictureRows;
// The columns each board's name may take: to the next board's wall, less
// a blank, and to the picture's edge.
constexpr int nameColumns[2] = {boardColumn[1] - 1, pictureColumns - boardColumn[1]};
