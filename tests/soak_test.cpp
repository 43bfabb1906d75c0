// SPDX-License-Identifier: MIT
// Plays game after game on the in-memory back end with random keys for both
// players, checking after every frame that the boards stay sound.
// Usage: blockduel_soak [frames] [seed]
#include <cstdio>
#include <cstdlib>
#include <random>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "memory_backend.hpp"

namespace {

int failures = 0;

void fail(long long frame, const char* what, int id) {
    if (++failures <= 20)
        std::fprintf(stderr, "frame %lld: player %d: %s\n", frame, id, what);
}

void checkBoard(const Player& p, long long frame) {
    for (int j = 0; j < mapHeight; ++j) {
        for (int i = 0; i < mapWidth; ++i) {
            int cell = p.table[j][i];
            bool edge = j >= mapHeight - 2 || i == 0 || i == mapWidth - 1;
            if (edge && cell != masterTable[j][i])
                fail(frame, "wall, floor or row 14 changed", p.id);
            if (!edge && cell != cellEmpty && cell != cellSolid)
                fail(frame, "a locked cell is not solid", p.id);
        }
    }
    if (p.score % 18 != 0 || p.score < 0)
        fail(frame, "score is not a multiple of 18", p.id);
    if (p.bt < 0 || p.bt > 3 || p.nb < 0 || p.nb > 3)
        fail(frame, "piece type out of range", p.id);
}

} // namespace

int main(int argc, char** argv) {
    long long frames = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
    unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    mem::reset();
    mem::Backend& b = mem::backend();
    b.frameCostMs = 3;
    std::mt19937 keys(seed);
    bool held[256] = {};
    int until[256] = {};
    // Each key is held or left alone for a random stretch of frames, the way
    // people press; both players' keys change independently.
    b.keyScript = [&](int frame, int key) {
        if (key == vkEscape)
            return false;
        if (frame >= until[key]) {
            held[key] = keys() % 3 == 0;
            until[key] = frame + 1 + static_cast<int>(keys() % 15);
        }
        return held[key];
    };
    std::srand(seed);
    Game g;
    startGame(g);
    long long games = 1;
    for (long long frame = 0; frame < frames; ++frame) {
        bool goesOn = playFrame(g);
        checkBoard(g.p1, frame);
        checkBoard(g.p2, frame);
        if (!goesOn) {
            closeGame();
            startGame(g);
            ++games;
        }
    }
    std::printf("%lld frames, %lld games\n", frames, games);
    return failures == 0 ? 0 : 1;
}
