// Recording a game's frames from the in-memory back end.
#include "game_frames.hpp"

#include <cstdlib>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "memory_backend.hpp"

namespace term {

namespace {

void holdKeys(KeyPlan plan, int frames) {
    if (plan == KeyPlan::None)
        return;
    mem::holdKey(vkUp, 0, frames);
    mem::holdKey(vkW, 0, frames);
    for (int from = 0; from < frames; from += 8) { // four frames each way
        mem::holdKey(vkLeft, from, from + 3);
        mem::holdKey(vkA, from, from + 3);
        mem::holdKey(vkRight, from + 4, from + 7);
        mem::holdKey(vkD, from + 4, from + 7);
    }
}

void copyScreen(ScreenBuffer& screen) {
    const mem::Backend& b = mem::backend();
    for (int y = 0; y < gameRows; ++y) {
        screen.gotoxy(0, y);
        for (int x = 0; x < gameColumns; ++x) {
            screen.setColor(b.screen[y][x].attr);
            screen.putChar(b.screen[y][x].code);
        }
    }
}

} // namespace

std::vector<GameFrame> recordGame(unsigned seed, int frames, KeyPlan plan) {
    mem::reset();
    mem::backend().recordPolls = false;
    holdKeys(plan, frames);
    std::srand(seed);
    Game g;
    startGame(g);
    std::vector<GameFrame> recording;
    recording.reserve(static_cast<std::size_t>(frames) + 1);
    GameFrame frame{};
    copyScreen(frame.screen); // the start-up picture: both empty boards
    frame.clockMs = mem::backend().nowMs;
    recording.push_back(frame);
    for (int i = 0; i < frames && playFrame(g); ++i) {
        copyScreen(frame.screen);
        frame.clockMs = mem::backend().nowMs;
        recording.push_back(frame);
    }
    return recording;
}

} // namespace term
