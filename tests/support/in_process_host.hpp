// SPDX-License-Identifier: MIT
// A host and its guests as sessions in one process, on pipes, each guest's
// connection a socket pair whose one end the host adopts. The network
// game's session tests, the browsers at the host and the kept match play
// on it; the test steps every side.
#pragma once

#include <functional>
#include <memory>

#include "game/game.hpp"
#include "net/join_code.hpp"
#include "netplay/guest.hpp"
#include "netplay/host.hpp"
#include "piped_session.hpp"

namespace term {

constexpr const char* testCode = "7K3M-Q9XD";

// `text` parsed; it must be a join code.
net::JoinCode joinCode(const char* text = testCode);

// The host's end adopted, the other end returned.
int connectTo(netplay::GameHost& host);

// The host on `terminal`'s session, which is the current one while it lives.
struct InProcessHost {
    explicit InProcessHost(PipedSession& terminal);
    ~InProcessHost();
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;

    // The host serves its connections, a millisecond apart, `times` at
    // most or until `done`.
    void serve(int times, const std::function<bool()>& done) const;

    // A new guest of `seat` on `terminal`'s session, not yet greeted.
    std::unique_ptr<netplay::GameGuest> guestOn(const PipedSession& terminal,
                                                net::Seat seat = net::Seat::Player) const;
    // `guest` greets with `code` while the host serves; the answer.
    netplay::GameGuest::Answer greet(netplay::GameGuest& guest, const char* code = testCode) const;
    // Greeted, and once welcomed ready on `terminal` (with its key mode)
    // and served until the host has player two ready; the answer.
    netplay::GameGuest::Answer join(netplay::GameGuest& guest, const PipedSession& terminal) const;

    // A game with player two's keys from the connection and the host's
    // frame hook, started at a fixed seed.
    void start(GameSetup& setup, Game& game) const;

    std::unique_ptr<netplay::GameHost> host;
};

} // namespace term
