// SPDX-License-Identifier: MIT
// Choosing where the piece goes: every reachable resting place is locked on
// a copy of the player's record by the game's own rules, weighed, and at
// the strongest level weighed again with the best drop of the next piece.
#include "computer/reach.hpp"
#include "computer/score.hpp"

namespace {

unsigned nextRandom(unsigned& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

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

int bestOf(const int* value, int count) {
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (value[i] > value[best])
            best = i;
    return best;
}

// The `candidates` best places by themselves, each weighed again with the
// next piece's best drop after it; the best of those.
int bestWithNext(const Reach& r, const int* value, int candidates, int nextType) {
    bool taken[maxPlacements] = {};
    int choice = bestOf(value, r.placements);
    int bestTotal = computerWeights.toppedOut;
    for (int k = 0; k < candidates && k < r.placements; ++k) {
        int i = -1;
        for (int j = 0; j < r.placements; ++j)
            if (!taken[j] && (i < 0 || value[j] > value[i]))
                i = j;
        if (i < 0 || value[i] == computerWeights.toppedOut)
            break;
        taken[i] = true;
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

} // namespace

bool planPiece(ComputerPlan& plan, const Player& p, int tick, const ComputerLevel& level,
               unsigned& random) {
    Reach r;
    if (!findPlacements(r, p, tick, level.keyPeriod) || r.placements == 0)
        return false;
    int value[maxPlacements];
    for (int i = 0; i < r.placements; ++i) {
        Cells after{};
        value[i] = placementValue(r, i, after);
    }
    int choice = level.lookAhead > 0 ? bestWithNext(r, value, level.lookAhead, p.nb)
                                     : bestOf(value, r.placements);
    if (static_cast<int>(nextRandom(random) % 100) < level.poorChoicePercent)
        choice = static_cast<int>(nextRandom(random) % static_cast<unsigned>(r.placements));
    pathTo(r, choice, plan);
    return true;
}
