// SPDX-License-Identifier: MIT
#include "history/replay_keys.hpp"

#include "display/layout.hpp"
#include "game/platform.hpp"
#include "netplay/local.hpp"

namespace history {

void showReplayLine(const std::string& line, std::string& shown) {
    std::string placed = std::string(lineColumn, ' ') + line;
    if (placed == shown)
        return;
    shown = placed;
    localScreen().setNotices({{rateRow, placed}});
}

bool ReplayKeys::Press::operator()() {
    bool down = keyPressed(key);
    bool press = down && !held;
    held = down;
    return press;
}

ReplayKeys::Asked ReplayKeys::read() {
    Asked asked;
    asked.leave = leave_();
    if (pause_())
        paused = !paused;
    if (faster_() && quarters < fastestQuarters)
        quarters *= 2;
    if (slower_() && quarters > slowestQuarters)
        quarters /= 2;
    asked.next = next_();
    return asked;
}

} // namespace history
