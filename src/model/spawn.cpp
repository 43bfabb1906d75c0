// SPDX-License-Identifier: MIT
// Filling a player's record: the start of the game and each new piece.
#include <cstdlib>
#include <cstring>

#include "model/model.hpp"

namespace {

int draw(int n) { return std::rand() % n; }

} // namespace

void initPlayer(Player& p, int ox, int oy, int id, short color) {
    p.ox = ox;
    p.oy = oy;
    p.score = 0;
    p.nb = draw(4);
    p.id = id;
    p.color = color;
    std::memcpy(p.table, masterTable, sizeof p.table);
    newBlock(p);
}

// Pieces always enter at the same left-of-centre place, above the board.
void newBlock(Player& p) {
    p.bx = entryColumn;
    p.by = entryRow;
    p.bt = p.nb;
    p.nb = draw(4);
    std::memcpy(p.block, shapeOf(p.bt), sizeof p.block);
}
