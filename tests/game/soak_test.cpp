// SPDX-License-Identifier: MIT
// The soak: game after game on the in-memory back end with random keys for
// both players, checking after every frame that the boards stay sound.
// ctest plays 200,000 frames; BLOCKDUEL_SOAK_FRAMES sets another length.
#include <cstdlib>
#include <random>

#include "fixture.hpp"
#include "game/keys.hpp"

namespace {

using Soak = FreshGame;

// What is wrong with a board after a frame, or "".
const char* unsound(const Player& p) {
    for (int j = 0; j < mapHeight; ++j) {
        for (int i = 0; i < mapWidth; ++i) {
            int cell = p.table[j][i];
            bool edge = j >= mapHeight - 2 || i == 0 || i == mapWidth - 1;
            if (edge && cell != masterTable[j][i])
                return "wall, floor or row 14 changed";
            if (!edge && cell != cellEmpty && cell != cellSolid)
                return "a locked cell is not solid";
        }
    }
    if (p.score % 18 != 0 || p.score < 0)
        return "score is not a multiple of 18";
    if (p.bt < 0 || p.bt > 3 || p.nb < 0 || p.nb > 3)
        return "piece type out of range";
    return "";
}

} // namespace

TEST_F(Soak, RandomKeysKeepBoardsSound) {
    const char* length = std::getenv("BLOCKDUEL_SOAK_FRAMES");
    long long frames = length != nullptr ? std::atoll(length) : 200'000;
    screen().frameCostMs = 3;
    std::mt19937 keys(7);
    bool held[256] = {};
    int until[256] = {};
    // Each key is held or left alone for a random stretch of frames, the way
    // people press; both players' keys change independently.
    screen().keyScript = [&](int frame, int key) {
        if (key == vkEscape)
            return false;
        if (frame >= until[key]) {
            held[key] = keys() % 3 == 0;
            until[key] = frame + 1 + static_cast<int>(keys() % 15);
        }
        return held[key];
    };
    for (long long frame = 0; frame < frames; ++frame) {
        bool goesOn = playFrame(g);
        ASSERT_STREQ("", unsound(g.p1)) << "frame " << frame << ", player one";
        ASSERT_STREQ("", unsound(g.p2)) << "frame " << frame << ", player two";
        if (!goesOn) {
            closeGame();
            startGame(g);
        }
    }
}
