// SPDX-License-Identifier: MIT
// Both players' controls: every move erases the piece, changes the record,
// undoes the change if a rule objects and draws the piece again.
#include "display/draw.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/platform.hpp"

namespace {

void rotate(Player& p) {
    if (p.bt == 0) // the square is never turned, nor repainted
        return;
    deleteBlock(p);
    rotateBlock(p);
    if (collided(p)) {
        rotateBlock(p);
        rotateBlock(p);
        rotateBlock(p);
    }
    drawBlock(p);
}

void shift(Player& p, int dx) {
    deleteBlock(p);
    p.bx += dx;
    if (checkWallColl(p) || collided(p))
        p.bx -= dx;
    drawBlock(p);
}

// A blocked soft drop sets the shared rhythm to a gravity frame, so both
// pieces take a gravity step and a lock test later in this same frame.
void softDrop(Player& p, int& tick) {
    deleteBlock(p);
    p.by += 1;
    if (collided(p)) {
        p.by -= 1;
        tick = 50;
    }
    drawBlock(p);
}

void movePiece(Player& p, const Controls& keys, int& tick) {
    if (keyPressed(keys.left))
        shift(p, -1);
    if (keyPressed(keys.right))
        shift(p, +1);
    if (keyPressed(keys.drop))
        softDrop(p, tick);
}

} // namespace

void inputPhase(Game& g) {
    if (g.tick % 2 == 0) {
        if (keyPressed(playerOneKeys.rotate))
            rotate(g.p1);
        if (keyPressed(playerTwoKeys.rotate))
            rotate(g.p2);
    }
    movePiece(g.p1, playerOneKeys, g.tick);
    movePiece(g.p2, playerTwoKeys, g.tick);
}
