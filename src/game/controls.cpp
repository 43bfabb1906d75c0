// SPDX-License-Identifier: MIT
// Both players' controls: every move erases the piece, changes the record,
// undoes the change if a rule objects and draws the piece again.
#include "display/draw.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/reads.hpp"
#include "game/rhythm.hpp"

namespace {

// Whether the key of an action counts as pressed for board 0 or 1 in this
// frame: the computer's decision, the remote player's, or this keyboard's.
// A person alone at the keyboard has both sets of keys; both are polled
// every time, so that a press of either is taken in the frame it is seen.
bool pressed(const Game& g, int board, Action a) {
    const Seat& seat = g.seat[board];
    if (seat.computer)
        return seat.brain.keys.has(a);
    if (seat.remote.pressed != nullptr)
        return readAction(g, board, a);
    bool down = readKey(g, keyOf(g.keys[board], a));
    if (seat.eitherKeys)
        down = readKey(g, keyOf(g.keys[1 - board], a)) || down;
    return down;
}

void movePiece(Game& g, int board, Player& p) {
    Canvas& console = *g.scene.console;
    if (pressed(g, board, Action::Left))
        shiftPiece(p, -1, console);
    if (pressed(g, board, Action::Right))
        shiftPiece(p, +1, console);
    if (pressed(g, board, Action::Drop))
        dropPiece(p, g.tick, console);
}

} // namespace

void turnPiece(Player& p, Canvas& console) {
    if (p.bt == 0) // the square is never turned, nor repainted
        return;
    deleteBlock(p, console);
    rotateBlock(p);
    if (collided(p)) {
        rotateBlock(p);
        rotateBlock(p);
        rotateBlock(p);
    }
    drawBlock(p, console);
}

void shiftPiece(Player& p, int dx, Canvas& console) {
    deleteBlock(p, console);
    p.bx += dx;
    if (checkWallColl(p) || collided(p))
        p.bx -= dx;
    drawBlock(p, console);
}

// A blocked soft drop sets the shared rhythm to a gravity frame, so both
// pieces take a gravity step and a lock test later in this same frame.
void dropPiece(Player& p, int& tick, Canvas& console) {
    deleteBlock(p, console);
    p.by += 1;
    if (collided(p)) {
        p.by -= 1;
        tick = blockedDropTick;
    }
    drawBlock(p, console);
}

void computerPhase(Game& g) {
    if (g.seat[0].computer)
        computerKeys(g.seat[0].brain, g.p1, g.tick, fallRhythm(g));
    if (g.seat[1].computer)
        computerKeys(g.seat[1].brain, g.p2, g.tick, fallRhythm(g));
}

void inputPhase(Game& g) {
    if (g.tick % turnPeriod == 0) {
        if (pressed(g, 0, Action::Turn))
            turnPiece(g.p1, *g.scene.console);
        if (pressed(g, 1, Action::Turn))
            turnPiece(g.p2, *g.scene.console);
    }
    movePiece(g, 0, g.p1);
    movePiece(g, 1, g.p2);
}
