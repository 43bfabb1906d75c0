// SPDX-License-Identifier: MIT
// Choosing where the piece goes: every reachable resting place is locked on
// a copy of the player's record by the game's own rules and weighed; the
// levels that look ahead weigh the best few again with the best drop of the
// next piece, and a slip takes a place a few ranks below the best.
#include "computer/choose.hpp"

#include <algorithm>

#include "computer/reach.hpp"
#include "computer/score.hpp"

namespace {

bool rowFull(const Player& p, int row) {
    for (int c = 0; c < mapWidth; ++c)
        if (p.table[row][c] == cellEmpty)
            return false;
    return true;
}

// The piece's cells where it locked, and the full rows among theirs, read
// off the board before the rows are cleared.
Lock lockOf(const Player& q, int cleared) {
    Lock lock{0, 0};
    for (int j = 0; j < blockHeight; ++j) {
        int r = q.by + j;
        if (r < 0 || r >= floorRow)
            continue;
        int cells = 0;
        for (int i = 0; i < blockWidth; ++i)
            cells += q.block[j][i] != cellEmpty ? 1 : 0;
        lock.heightSum += cells * (floorRow - r);
        if (cells > 0 && rowFull(q, r))
            lock.eroded += cleared * cells;
    }
    return lock;
}

// Locks placement `i` as the lock phase would: place, clear, top-out test.
int placementValue(const Reach& r, int i, Cells& after) {
    Player q = placed(r, i);
    Player cleared = q;
    int rows = clearFullRows(cleared);
    after = cellsOf(cleared);
    if (checkGameOver(cleared))
        return computerWeights.toppedOut;
    return lockValue(after, lockOf(q, rows));
}

// The placements from the best value to the worst; ties in the order the
// search found them.
void rankPlacements(const int* value, int count, short* order) {
    for (int i = 0; i < count; ++i)
        order[i] = static_cast<short>(i);
    std::stable_sort(order, order + count,
                     [value](short a, short b) { return value[a] > value[b]; });
}

// The `candidates` best places by themselves, each weighed again with the
// next piece's best drop after it; the best of those.
int bestWithNext(const Reach& r, const int* value, const short* order, int candidates,
                 int nextType) {
    int choice = order[0];
    int bestTotal = computerWeights.toppedOut;
    for (int k = 0; k < candidates && k < r.placements; ++k) {
        int i = order[k];
        if (value[i] == computerWeights.toppedOut)
            break;
        Cells after{};
        placementValue(r, i, after);
        int next = bestDropValue(after, nextType);
        int total = next == computerWeights.toppedOut ? next : value[i] + next;
        if (total > bestTotal) {
            bestTotal = total;
            choice = i;
        }
    }
    return choice;
}

// A slip: one of the places ranked 2..slipRange + 1, never one that ends
// the game while another does not.
int slip(const int* value, const short* order, int count, const ComputerLevel& level,
         unsigned& random) {
    int rank = 1 + static_cast<int>(nextRandom(random) % static_cast<unsigned>(level.slipRange));
    int open = 1;
    while (open < count && value[order[open]] != computerWeights.toppedOut)
        ++open;
    return order[rank < open ? rank : open - 1];
}

} // namespace

bool planPiece(ComputerPlan& plan, const Player& p, int tick, const ComputerLevel& level,
               unsigned& random) {
    return planPiece(plan, p, tick, steadyRhythm(tick), level, random);
}

bool planPiece(ComputerPlan& plan, const Player& p, int tick, FallRhythm rhythm,
               const ComputerLevel& level, unsigned& random) {
    Reach r;
    if (!findPlacements(r, p, tick, rhythm, level.keyPeriod) || r.placements == 0)
        return false;
    int value[maxPlacements];
    for (int i = 0; i < r.placements; ++i) {
        Cells after{};
        value[i] = placementValue(r, i, after);
    }
    short order[maxPlacements];
    rankPlacements(value, r.placements, order);
    int choice =
        level.lookAhead > 0 ? bestWithNext(r, value, order, level.lookAhead, p.nb) : order[0];
    if (level.slipRange > 0 && static_cast<int>(nextRandom(random) % 100) < level.slipPercent)
        choice = slip(value, order, r.placements, level, random);
    pathTo(r, choice, plan);
    return true;
}

unsigned nextRandom(unsigned& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}
