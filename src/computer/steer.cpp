// SPDX-License-Identifier: MIT
// Following the plan, frame by frame: where the piece is on the planned
// path tells the next key; a new piece (once the reaction time has passed),
// a changed board, a jump of the gravity rhythm or a piece off the path
// make a new plan.
#include "computer/cells.hpp"
#include "computer/choose.hpp"
#include "computer/computer.hpp"

namespace {

bool sameBoard(const ComputerPlan& plan, const Player& p) {
    Cells now = cellsOf(p);
    for (int j = 0; j < floorRow; ++j)
        if (now.row[j] != plan.board[j])
            return false;
    return true;
}

// The path index of the piece's place, from `from` on; -1 when it is not
// on the path. A piece dropped sooner than the plan waited for gravity is
// between two places straight above each other: it counts as at the upper.
int findOnPath(const ComputerPlan& plan, const Player& p, int from) {
    unsigned grid = gridBits(p.block);
    int turn = 0;
    while (turn < quarterTurns && plan.turns[turn] != grid)
        ++turn;
    if (turn == quarterTurns)
        return -1;
    for (int i = from; i < plan.length; ++i) {
        const PiecePlace& at = plan.path[i];
        if (at.turn != turn || at.bx != p.bx || at.by > p.by)
            continue;
        if (at.by == p.by)
            return i;
        const PiecePlace* next = i + 1 < plan.length ? &plan.path[i + 1] : nullptr;
        if (next != nullptr && next->turn == turn && next->bx == p.bx && p.by < next->by)
            return i;
    }
    return -1;
}

// Only straight down from step `i` to the resting place.
bool onlyDownFrom(const ComputerPlan& plan, int i) {
    for (int k = i + 1; k < plan.length; ++k)
        if (plan.path[k].move != Move::Gravity && plan.path[k].move != Move::Drop)
            return false;
    return true;
}

// Whether it presses Down in this frame to hurry a piece that has only the
// way down left.
bool hurries(const ComputerLevel& level, int tick) {
    return level.dropPeriod > 0 && tick % level.dropPeriod == 0;
}

// The key that takes the piece from step `i` to the next one, if this
// frame allows a press. Once only the way down is left, it may drop at its
// own pace instead of waiting for gravity: the piece lands in the same place.
Moves keysAt(const ComputerPlan& plan, int i, int tick, const ComputerLevel& level) {
    Moves keys;
    if (i + 1 >= plan.length)
        return keys;
    Move next = plan.path[i + 1].move;
    if (next == Move::Gravity) {
        if (hurries(level, tick) && onlyDownFrom(plan, i))
            keys.press(Action::Drop);
        return keys;
    }
    if (tick % level.keyPeriod != 0)
        return keys;
    switch (next) {
    case Move::Rotate:
        if (tick % turnPeriod == 0)
            keys.press(Action::Turn);
        break;
    case Move::Left: keys.press(Action::Left); break;
    case Move::Right: keys.press(Action::Right); break;
    case Move::Drop: keys.press(Action::Drop); break;
    case Move::Gravity:
    case Move::Start: break;
    }
    return keys;
}

// The piece would lock in the next gravity step: it rests on something now,
// or will one row lower.
bool aboutToLand(const Player& p) {
    if (collidedInPlace(p))
        return true;
    Player lower = p;
    ++lower.by;
    return collidedInPlace(lower) != 0;
}

// Still waiting to look at the piece. A piece about to land cuts the
// reaction time short, as it would a person's.
bool stillWaiting(ComputerPlayer& c, const Player& p) {
    if (c.waiting > 0 && aboutToLand(p))
        c.waiting = 0;
    if (c.waiting <= 0)
        return false;
    --c.waiting;
    return true;
}

} // namespace

void startComputer(ComputerPlayer& c, int level, int seat, unsigned seed) {
    c = ComputerPlayer{};
    c.skill = computerLevel(level);
    // Any non-zero start will do; it differs by seed, level and seat.
    c.random = (0x9E3779B9U ^ seed * 2246822519U) ^ static_cast<unsigned>(level) * 2654435761U ^
               static_cast<unsigned>(seat + 1) * 40503U;
    if (c.random == 0)
        c.random = 1; // the one state the generator never leaves
    c.lastTick = -2;
    c.pieceRow = mapHeight; // below any piece: the first one is new
}

// Every lock happens in a gravity step, below the entry row, and a piece
// never moves up: a piece higher than the last one seen is a new piece.
Moves computerKeys(ComputerPlayer& c, const Player& p, int tick) {
    return computerKeys(c, p, tick, steadyRhythm(tick));
}

Moves computerKeys(ComputerPlayer& c, const Player& p, int tick, FallRhythm rhythm) {
    const ComputerLevel& level = c.skill;
    bool steady = tick == c.lastTick + 1;
    c.lastTick = tick;
    if (p.by < c.pieceRow) {
        c.planned = false;
        c.waiting = level.reactionFrames;
    }
    c.pieceRow = p.by;
    if (stillWaiting(c, p)) {
        c.keys = Moves{};
        return c.keys;
    }
    int at = c.planned && steady && sameBoard(c.plan, p) ? findOnPath(c.plan, p, c.step) : -1;
    if (at < 0) {
        c.planned = planPiece(c.plan, p, tick, rhythm, level, c.random);
        ++c.plans;
        at = c.planned ? 0 : -1;
    }
    c.step = at < 0 ? 0 : at;
    c.keys = at < 0 ? Moves{} : keysAt(c.plan, at, tick, level);
    return c.keys;
}
