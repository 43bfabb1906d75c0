// SPDX-License-Identifier: MIT
// Recording a game's frames from the in-memory back end.
#include "game_frames.hpp"

#include <cstdlib>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "memory_backend.hpp"

namespace term {

namespace {

void holdKeys(int frames) {
    mem::holdKey(vkUp, 0, frames);
    mem::holdKey(vkW, 0, frames);
    for (int from = 0; from < frames; from += 8) { // four frames each way
        mem::holdKey(vkLeft, from, from + 3);
        mem::holdKey(vkA, from, from + 3);
        mem::holdKey(vkRight, from + 4, from + 7);
        mem::holdKey(vkD, from + 4, from + 7);
    }
}

GameFrame snapshot() {
    const mem::Backend& b = mem::backend();
    GameFrame frame{{}, b.nowMs};
    for (int y = 0; y < pictureRows; ++y) {
        frame.screen.gotoxy(0, y);
        for (int x = 0; x < pictureColumns; ++x) {
            frame.screen.setColor(b.screen[y][x].attr);
            frame.screen.putChar(b.screen[y][x].code);
        }
    }
    return frame;
}

} // namespace

std::vector<GameFrame> recordGame(unsigned seed, int frames, KeyPlan plan) {
    mem::reset();
    if (plan == KeyPlan::BothMoving)
        holdKeys(frames);
    std::srand(seed);
    Game g;
    startGame(g);
    std::vector<GameFrame> recording{snapshot()}; // the start-up picture: both empty boards
    for (int i = 0; i < frames && playFrame(g); ++i)
        recording.push_back(snapshot());
    return recording;
}

} // namespace term
