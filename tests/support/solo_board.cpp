// SPDX-License-Identifier: MIT
// One board alone on the core's functions.
#include "solo_board.hpp"

#include <cstdlib>

#include "computer/cells.hpp"
#include "display/draw.hpp"
#include "game/game.hpp"
#include "game/rhythm.hpp"

SoloFrame soloFrame(Player& p, const Moves& keys, int& tick) {
    FallRhythm steady = steadyRhythm(tick);
    return soloFrame(p, keys, tick, steady);
}

SoloFrame soloFrame(Player& p, const Moves& keys, int& tick, FallRhythm& rhythm) {
    SoloFrame f{};
    if (tick % turnPeriod == 0 && keys.has(Action::Turn))
        turnPiece(p);
    if (keys.has(Action::Left))
        shiftPiece(p, -1);
    if (keys.has(Action::Right))
        shiftPiece(p, +1);
    int row = p.by;
    if (keys.has(Action::Drop))
        dropPiece(p, tick);
    bool blocked = keys.has(Action::Drop) && p.by == row;
    if (blocked || tick == rhythm.nextFall) {
        rhythm.nextFall = tick + rhythm.period;
        deleteBlock(p);
        p.by += 1;
        drawBlock(p);
        if (collided(p)) {
            f = {true, false, 0, p.bx, p.by, gridBits(p.block)};
            placeBlock(p);
            f.rows = clearFullRows(p);
            f.toppedOut = checkGameOver(p) != 0;
            if (!f.toppedOut)
                newBlock(p);
        }
    }
    tick += 1;
    return f;
}

Solo startSolo(int level, unsigned seed) {
    std::srand(seed);
    Solo s{};
    initPlayer(s.p, 0, 0, 1, 11);
    startComputer(s.c, level, 1);
    return s;
}

SoloFrame playSolo(Solo& s) { return soloFrame(s.p, computerKeys(s.c, s.p, s.tick), s.tick); }
