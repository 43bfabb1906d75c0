// SPDX-License-Identifier: MIT
// The simulated person's rule and its keys.
#include "simulated_person.hpp"

#include <algorithm>
#include <vector>

#include "computer/cells.hpp"
#include "game/rhythm.hpp"

namespace {

constexpr int reactionMs = 350;
constexpr int keyGapMs = 200; // five keys a second
constexpr int mistakePercent = 5;
constexpr int mistakeRanks = 3;

unsigned nextRandom(unsigned& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

struct Option {
    int value;
    unsigned grid;
    int column;
};

int holesOf(const Player& q) {
    int holes = 0;
    for (int c = 1; c < mapWidth - 1; ++c) {
        bool covered = false;
        for (int r = 0; r < floorRow; ++r) {
            covered = covered || q.table[r][c] != cellEmpty;
            holes += covered && q.table[r][c] == cellEmpty ? 1 : 0;
        }
    }
    return holes;
}

// Whether every cell of the piece is inside the walls.
bool inside(const Player& q) {
    for (int j = 0; j < blockHeight; ++j)
        for (int i = 0; i < blockWidth; ++i)
            if (q.block[j][i] != cellEmpty && (q.bx + i < 1 || q.bx + i > mapWidth - 2))
                return false;
    return true;
}

// The piece turned `turns` times, dropped straight down in column `bx`
// from where it is: rows cleared count for it, covered holes and the
// height of its cells against it. False where it cannot be.
bool dropStraight(Player q, int turns, int bx, Option& option) {
    for (int t = 0; t < turns; ++t)
        rotateBlock(q);
    q.bx = bx;
    if (!inside(q) || collidedInPlace(q))
        return false;
    while (!collidedInPlace(q))
        ++q.by; // the floor stops every piece inside the walls
    int height = 0;
    for (int j = 0; j < blockHeight; ++j)
        for (int i = 0; i < blockWidth; ++i)
            height += q.block[j][i] != cellEmpty ? floorRow - (q.by + j) : 0;
    option.grid = gridBits(q.block);
    option.column = bx;
    placeBlock(q);
    int rows = clearFullRows(q);
    option.value = 30 * rows - 20 * holesOf(q) - height;
    return true;
}

void choose(SimulatedPerson& s, const Player& p) {
    std::vector<Option> options;
    int turns = p.bt == 0 ? 1 : quarterTurns; // the square never turns
    for (int t = 0; t < turns; ++t) {
        for (int bx = 1 - blockWidth; bx < mapWidth; ++bx) {
            Option option{};
            if (dropStraight(p, t, bx, option))
                options.push_back(option);
        }
    }
    s.decided = true;
    s.goalGrid = gridBits(p.block);
    s.goalColumn = p.bx;
    if (options.empty())
        return;
    std::stable_sort(options.begin(), options.end(),
                     [](const Option& a, const Option& b) { return a.value > b.value; });
    std::size_t pick = 0;
    if (static_cast<int>(nextRandom(s.random) % 100) < mistakePercent)
        pick = 1 + nextRandom(s.random) % mistakeRanks;
    const Option& chosen = options[std::min(pick, options.size() - 1)];
    s.goalGrid = chosen.grid;
    s.goalColumn = chosen.column;
}

// The time of frame `frame`'s key polls, in milliseconds of game time.
long long msOf(int frame) { return 1000LL * frame / framesPerSecond; }

} // namespace

SimulatedPerson startPerson(unsigned seed) {
    SimulatedPerson s{};
    s.random = seed * 2654435761U + 1;
    s.pieceRow = mapHeight;
    return s;
}

// A key pressed between two polls is seen by the second: the person presses
// as soon as its pace allows, and the next poll takes the key.
Moves personKeys(SimulatedPerson& s, const Player& p, int frame, int tick) {
    if (p.by < s.pieceRow) { // the piece came after the last poll
        s.decided = false;
        s.nextPressMs = std::max(s.nextPressMs, msOf(frame - 1) + reactionMs);
    }
    s.pieceRow = p.by;
    Moves keys;
    if (msOf(frame) < s.nextPressMs)
        return keys;
    if (!s.decided)
        choose(s, p);
    if (gridBits(p.block) != s.goalGrid) {
        if (tick % turnPeriod != 0)
            return keys; // the rotate keys are not polled in this frame: press for the next
        keys.press(Action::Turn);
    } else if (p.bx < s.goalColumn) {
        keys.press(Action::Right);
    } else if (p.bx > s.goalColumn) {
        keys.press(Action::Left);
    } else {
        keys.press(Action::Drop);
    }
    s.nextPressMs = std::max(s.nextPressMs, msOf(frame - 1)) + keyGapMs;
    return keys;
}
