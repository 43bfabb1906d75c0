// SPDX-License-Identifier: MIT
// Filling a player's record: the start of the game and each new piece.
#include <cstdlib>
#include <cstring>

#include "model/model.hpp"

namespace {

class LibraryDraws final : public PieceDraws {
public:
    int draw(int n) override { return std::rand() % n; }
};

} // namespace

PieceDraws& libraryDraws() {
    static LibraryDraws draws;
    return draws;
}

Scene backEndScene() { return {&backEndConsole(), &libraryDraws()}; }

void initPlayer(Player& p, int ox, int oy, int id, short color, PieceDraws& draws) {
    p.ox = ox;
    p.oy = oy;
    p.score = 0;
    p.nb = draws.draw(4);
    p.id = id;
    p.color = color;
    std::memcpy(p.table, masterTable, sizeof p.table);
    newBlock(p, draws);
}

// Pieces always enter at the same left-of-centre place, above the board.
void newBlock(Player& p, PieceDraws& draws) {
    p.bx = entryColumn;
    p.by = entryRow;
    p.bt = p.nb;
    p.nb = draws.draw(4);
    std::memcpy(p.block, shapeOf(p.bt), sizeof p.block);
}
