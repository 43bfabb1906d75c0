// SPDX-License-Identifier: MIT
// Playing the ladder's games on the in-memory back end.
#include "ladder_games.hpp"

#include <algorithm>
#include <cstdlib>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "memory_backend.hpp"
#include "simulated_person.hpp"

namespace {

bool keyOf(const Moves& keys, const Controls& controls, int key) {
    constexpr Action moves[] = {Action::Turn, Action::Left, Action::Right, Action::Drop};
    return std::ranges::any_of(moves,
                               [&](Action a) { return key == keyOf(controls, a) && keys.has(a); });
}

// Starts a game with `left` and `right` on the boards; the simulated person
// answers the key polls of board `board` (none when -1) through the back
// end's key script.
void startWith(Game& g, const Contender& left, const Contender& right, unsigned seed, bool speedUp,
               SimulatedPerson& person, int board) {
    mem::reset();
    std::srand(seed);
    GameSetup setup;
    const Contender* side[2] = {&left, &right};
    for (int b = 0; b < 2; ++b) {
        setup.computer[b] = !side[b]->person;
        setup.level[b] = side[b]->level;
    }
    setup.seed = seed;
    setup.speedUp = speedUp;
    startGame(g, setup);
    for (int b = 0; b < 2; ++b)
        if (!side[b]->person)
            g.seat[b].brain.skill = side[b]->skill;
    person = startPerson(seed);
    mem::backend().keyScript = nullptr;
    if (board < 0)
        return;
    mem::backend().keyScript = [&g, &person, board, decided = -1, keys = Moves{}](int frame,
                                                                                  int key) mutable {
        if (frame != decided) {
            keys = personKeys(person, board == 0 ? g.p1 : g.p2, frame, g.tick);
            decided = frame;
        }
        return keyOf(keys, board == 0 ? playerOneKeys : playerTwoKeys, key);
    };
}

} // namespace

Contender computerAt(int level) { return {false, level, computerLevel(level)}; }
Contender simulatedPerson() { return {true, 0, {}}; }

MatchResult playMatch(const Contender& left, const Contender& right, unsigned seed, long capFrames,
                      bool speedUp) {
    Game g;
    SimulatedPerson person{};
    startWith(g, left, right, seed, speedUp, person, left.person ? 0 : right.person ? 1 : -1);
    long frames = 0;
    bool going = true;
    while (going && frames < capFrames) {
        going = playFrame(g);
        ++frames;
    }
    mem::backend().keyScript = nullptr; // it holds this call's game and person
    int loser = going ? -1 : checkGameOver(g.p1) ? 0 : checkGameOver(g.p2) ? 1 : -1;
    return {loser, frames};
}

namespace {

// The solid cells of each column of the playing rows.
void columnCounts(const Player& p, int (&count)[mapWidth]) {
    for (int c = 0; c < mapWidth; ++c) {
        count[c] = 0;
        for (int r = 0; r < floorRow; ++r)
            count[c] += p.table[r][c] != cellEmpty ? 1 : 0;
    }
}

// Counts the cells a lock put in each column: what the column gained, plus
// what each cleared row took from it. Alone, no penalty cell comes.
void countLock(SoloResult& r, const int (&before)[mapWidth], const Player& p, int cleared) {
    int after[mapWidth];
    columnCounts(p, after);
    int first = mapWidth;
    int last = -1;
    for (int c = 1; c < mapWidth - 1; ++c) {
        int cells = after[c] - before[c] + cleared;
        if (cells <= 0)
            continue;
        r.columnCells[c] += cells;
        first = c < first ? c : first;
        last = c;
    }
    ++r.pieces;
    r.wallPieces[0] += first == 1 ? 1 : 0;
    r.wallPieces[1] += last == mapWidth - 2 ? 1 : 0;
}

} // namespace

SoloResult playSolo(const Contender& player, unsigned seed, long capFrames, bool speedUp) {
    Game g;
    SimulatedPerson person{};
    // Nobody at the right board's keys: a person seat without a key script.
    startWith(g, player, simulatedPerson(), seed, speedUp, person, player.person ? 0 : -1);
    SoloResult r{};
    constexpr int pointsPerRow = mapWidth - 2; // a point a cell
    while (r.frames < capFrames && !r.toppedOut) {
        int before[mapWidth];
        columnCounts(g.p1, before);
        int row = g.p1.by;
        int score = g.p1.score;
        r.toppedOut = !playFrame(g);
        ++r.frames;
        g.p2.by = entryRow;
        // Every lock happens below the entry row, and the next piece enters there.
        if (g.p1.by < row || r.toppedOut)
            countLock(r, before, g.p1, (g.p1.score - score) / pointsPerRow);
    }
    r.rows = g.p1.score / pointsPerRow;
    return r;
}
