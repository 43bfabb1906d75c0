// SPDX-License-Identifier: MIT
#include "game/recording.hpp"

#include "game/keys.hpp"

bool TapeRecorder::key(int number, bool live) {
    tape_.key(number, live);
    return live;
}

long long TapeRecorder::clock(long long live) {
    tape_.clock(live);
    return live;
}

bool TapePlayer::key(int number, bool /*live*/) {
    bool held = false;
    if (!ended_ && tape_.key(number, held))
        return held;
    ended_ = true;
    return number == vkEscape;
}

long long TapePlayer::clock(long long /*live*/) {
    long long seconds = 0;
    if (!ended_ && tape_.clock(seconds))
        lastClock_ = seconds;
    else
        ended_ = true;
    return lastClock_;
}
