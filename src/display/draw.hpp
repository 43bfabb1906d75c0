// SPDX-License-Identifier: MIT
// Drawing the boards, the falling pieces and the side panels.
#pragma once

#include "display/canvas.hpp"
#include "model/model.hpp"

// Makes the player's board on screen match its table, writing only the
// cells whose character on screen differs.
void drawTable(Player p, Canvas& console = backEndConsole());

// Paints the piece's solid cells on the board, then parks the cursor at (0, 0).
void drawBlock(Player p, Canvas& console = backEndConsole());

// Writes a space over each of the piece's solid cells, in the current attribute.
void deleteBlock(Player p, Canvas& console = backEndConsole());

// Paints the whole 5 x 5 shape of the next piece at (x, y) from the origin.
void drawNextBlock(Player p, int x, int y, Canvas& console = backEndConsole());

// Score line, "Next:" label and preview; parks the cursor at (0, 15).
void drawWorld(Player p, Canvas& console = backEndConsole());
