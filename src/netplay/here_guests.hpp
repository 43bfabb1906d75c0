// SPDX-License-Identifier: MIT
// Both players of a server's room at this keyboard (--here): each board's
// player is a guest of its own, on a connection of its own with its own
// set of keys, so that the server seats them as it seats any two; a
// watcher's connection paints the picture, whose lines then speak to both
// players rather than to one as "You".
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "display/screen_buffer.hpp"
#include "game/local.hpp"
#include "netplay/guest.hpp"
#include "netplay/serving.hpp"

namespace netplay {

// The console as the watcher of both players here paints it: the
// watcher's own line, that keys do nothing, is the players' instead.
struct BothPlayersScreen : LocalScreen {
    explicit BothPlayersScreen(LocalScreen& shown) : console(shown) {}
    ScreenBuffer& buffer() override { return console.buffer(); }
    void setNotices(std::vector<NoticeLine> lines) override {
        console.setNotices(std::move(lines));
    }
    void show() override;
    void setNames(std::string_view boardOne, std::string_view boardTwo) override {
        console.setNames(boardOne, boardTwo);
    }
    LocalScreen& console;
};

class HereGuests : public NetService {
public:
    // `one` and `two` play the boards, `watcher` paints; each has greeted.
    HereGuests(std::unique_ptr<GameGuest> one, std::unique_ptr<GameGuest> two,
               std::unique_ptr<GameGuest> watcher);

    void ready(bool keyReleases);
    // The guest whose end is the party's: the first that stopped playing,
    // the watcher while all play.
    const GameGuest& ending() const;
    GameGuest& watcher() { return *guests_[watcherAt]; }
    void close();

    int watched(SocketWatch* watches, int room) override;
    void serve(const SocketWatch* watches, int count) override;
    long long due() const override;
    // The players' keys go to both players' guests, each acting on its own.
    void keyEvent(const KeyEvent& event) override;
    bool endsWait() const override;

private:
    static constexpr int parts = 3;
    static constexpr int watcherAt = 2;
    std::unique_ptr<GameGuest> guests_[parts];
    int watchedBy_[parts] = {}; // how many of the last watched() each gave
};

} // namespace netplay
