// SPDX-License-Identifier: MIT
#include "game/reads.hpp"

#include "game/platform.hpp"

namespace {

ReadTape* current = nullptr;

bool playingBack() { return current != nullptr && current->playingBack(); }

} // namespace

void useReadTape(ReadTape* tape) { current = tape; }

bool readKey(int key) {
    bool live = !playingBack() && keyPressed(key);
    return current != nullptr ? current->key(key, live) : live;
}

bool readAction(const Seat& seat, int board, Action action) {
    bool live = !playingBack() && seat.remote.pressed(seat.remote.context, action);
    int number = remoteActionRead + board * actionLimit + static_cast<int>(action);
    return current != nullptr ? current->key(number, live) : live;
}

bool readPresent(const Seat& seat, int board) {
    bool live = !playingBack() &&
                (seat.remote.present == nullptr || seat.remote.present(seat.remote.context));
    return current != nullptr ? current->key(remotePresentRead + board, live) : live;
}

long long readClock() {
    long long live = playingBack() ? 0 : clockSeconds();
    return current != nullptr ? current->clock(live) : live;
}

void waitMs(int ms) {
    if (current != nullptr)
        current->wait(ms);
    else
        sleepMs(ms);
}
