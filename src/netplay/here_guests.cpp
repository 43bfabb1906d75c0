// SPDX-License-Identifier: MIT
#include "netplay/here_guests.hpp"

#include <cstring>
#include <string>
#include <utility>

#include "display/layout.hpp"
#include "game/match_lines.hpp"

namespace netplay {

void BothPlayersScreen::show() {
    ScreenBuffer& cells = console.buffer();
    std::string shown;
    for (std::size_t x = 0; x < std::strlen(watchingHint); ++x)
        shown += static_cast<char>(cells.charAt(static_cast<int>(x), promptRow));
    if (shown == watchingHint) {
        cells.gotoxy(0, promptRow);
        cells.print("%-*s", static_cast<int>(shown.size()), pauseHint);
    }
    console.show();
}

HereGuests::HereGuests(std::unique_ptr<GameGuest> one, std::unique_ptr<GameGuest> two,
                       std::unique_ptr<GameGuest> watcher)
    : guests_{std::move(one), std::move(two), std::move(watcher)} {}

void HereGuests::ready(bool keyReleases) {
    for (auto& guest : guests_)
        guest->ready(keyReleases);
}

const GameGuest& HereGuests::ending() const {
    for (const auto& guest : guests_)
        if (guest->state() != GameGuest::State::Playing)
            return *guest;
    return *guests_[watcherAt];
}

void HereGuests::close() {
    for (auto& guest : guests_)
        guest->close();
}

int HereGuests::watched(SocketWatch* watches, int room) {
    int taken = 0;
    for (int i = 0; i < parts; ++i) {
        watchedBy_[i] = guests_[i]->watched(watches + taken, room - taken);
        taken += watchedBy_[i];
    }
    return taken;
}

void HereGuests::serve(const SocketWatch* watches, int count) {
    int at = 0;
    for (int i = 0; i < parts; ++i) {
        int mine = at + watchedBy_[i] <= count ? watchedBy_[i] : 0;
        guests_[i]->serve(watches + at, mine);
        at += mine;
    }
}

long long HereGuests::due() const {
    long long soonest = -1;
    for (const auto& guest : guests_) {
        long long next = guest->due();
        if (next >= 0 && (soonest < 0 || next < soonest))
            soonest = next;
    }
    return soonest;
}

void HereGuests::keyEvent(const KeyEvent& event) {
    for (int i = 0; i < watcherAt; ++i)
        guests_[i]->keyEvent(event);
}

bool HereGuests::endsWait() const {
    for (const auto& guest : guests_)
        if (guest->endsWait())
            return true;
    return false;
}

} // namespace netplay
