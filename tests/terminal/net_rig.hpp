// SPDX-License-Identifier: MIT
// Two sessions of the network game in one process: the host's and a
// guest's, each on pipes with the test as its terminal, joined by a socket
// pair. The test steps both.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "game/game.hpp"
#include "game_guest.hpp"
#include "game_host.hpp"
#include "pipe_terminal.hpp"

namespace term::netrig {

constexpr const char* code = "7K3M-Q9XD";

net::JoinCode joinCode(const char* text = code);

// Greets the host from `guest` while the host serves; the answer.
GameGuest::Answer greetServed(GameHost& host, GameGuest& guest, const char* text = code);

// A connected pair: the host's end adopted, the other end returned.
int connectTo(GameHost& host);

// Reads what `fd` gets within `ms`, until the other side closes; `closed`
// tells whether it did.
std::string readFor(int fd, int ms, bool& closed);

// The host with its game running, player two joined from a guest session.
struct Match {
    explicit Match(bool guestKitty = false);
    ~Match();
    // Player two's terminal gets `guestKeys` and the host's `hostKeys`; the
    // guest sends them, the host plays one frame and the guest draws it.
    bool frame(std::string_view guestKeys = "", std::string_view hostKeys = "");
    // The guest reads its terminal and the connection for `ms`.
    void guestWaits(int ms) const;
    // The guest's picture is the host's, in its buffer and in its emulator.
    std::string differences() const;
    // Player two leaves: its connection closes.
    void dropGuest();
    // The same code again, from a new guest session.
    GameGuest::Answer rejoin(bool kitty = false);

    PipeTerminal hostTerm;
    std::unique_ptr<PipeTerminal> guestTerm;
    std::unique_ptr<GameHost> host;
    std::unique_ptr<GameGuest> guest;
    Game game = {};
};

} // namespace term::netrig
