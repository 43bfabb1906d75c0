// SPDX-License-Identifier: MIT
// The shared gravity rhythm, locking, and the end of the game by top-out.
#include "display/draw.hpp"
#include "display/layout.hpp"
#include "game/game.hpp"
#include "game/rhythm.hpp"

bool fallsNow(Game& g) {
    if (!g.speedUp)
        return g.tick % gravityPeriod == 0;
    bool falls = g.tick == g.nextFall || g.tick == blockedDropTick;
    if (falls)
        g.nextFall = g.tick + speedUpPeriod(g.frames);
    g.frames += 1;
    return falls;
}

FallRhythm fallRhythm(const Game& g) {
    if (!g.speedUp)
        return steadyRhythm(g.tick);
    // The step after the next one comes at the interval of that frame.
    return {g.nextFall, speedUpPeriod(g.frames + g.nextFall - g.tick)};
}

void gravityPhase(Game& g) {
    Canvas& console = *g.scene.console;
    deleteBlock(g.p1, console);
    deleteBlock(g.p2, console);
    g.p1.by += 1;
    g.p2.by += 1;
    drawBlock(g.p1, console);
    drawWorld(g.p1, console);
    drawBlock(g.p2, console);
    drawWorld(g.p2, console);
}

namespace {

// Locks a landed piece; true when it topped the player out.
bool lockIfLanded(Player& p, Game& g) {
    Canvas& console = *g.scene.console;
    drawWorld(p, console);
    if (!collided(p))
        return false;
    placeBlock(p);
    checkLines(p, g.p1, g.p2, g.scene);
    if (checkGameOver(p)) {
        g.loser = p.id - 1;
        console.gotoxy(0, gameOverRow);
        console.print("Game Over");
        if (g.namesLoser)
            console.print(" \xfa %s board lost", p.id == 1 ? "Left" : "Right");
        return true;
    }
    newBlock(p, *g.scene.draws);
    return false;
}

} // namespace

// Player one always locks first, so a top-out there spares player two's
// piece, and player one's penalty cell can stop player two's piece at once.
bool lockPhase(Game& g) { return lockIfLanded(g.p1, g) || lockIfLanded(g.p2, g); }
