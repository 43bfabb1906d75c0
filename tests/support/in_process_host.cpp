// SPDX-License-Identifier: MIT
#include "in_process_host.hpp"

#include <chrono>
#include <cstdlib>
#include <future>
#include <sys/socket.h>
#include <thread>

namespace term {

using netplay::GameGuest;

net::JoinCode joinCode(const char* text) {
    net::JoinCode c;
    if (!net::parseJoinCode(text, c))
        std::abort();
    return c;
}

int connectTo(netplay::GameHost& host) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        std::abort();
    host.adopt(pair[0]);
    return pair[1];
}

InProcessHost::InProcessHost(PipedSession& terminal)
    : host(std::make_unique<netplay::GameHost>(*terminal.session, joinCode(), noSocket)) {
    terminal.session->setExtension(host.get());
    setCurrentSession(terminal.session.get());
}

InProcessHost::~InProcessHost() { setCurrentSession(nullptr); }

void InProcessHost::serve(int times, const std::function<bool()>& done) const {
    for (int i = 0; i < times && !done(); ++i) {
        host->pumpNow();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::unique_ptr<GameGuest> InProcessHost::guestOn(const PipedSession& terminal,
                                                  net::Seat seat) const {
    return std::make_unique<GameGuest>(*terminal.session, connectTo(*host), seat);
}

GameGuest::Answer InProcessHost::greet(GameGuest& guest, const char* code) const {
    // The guest waits for its answer in a thread of its own, as the host
    // must serve to give one.
    auto answer = std::async(std::launch::async, [&] { return guest.greet(joinCode(code), 5000); });
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        host->pumpNow();
    return answer.get();
}

GameGuest::Answer InProcessHost::join(GameGuest& guest, const PipedSession& terminal) const {
    GameGuest::Answer answer = greet(guest);
    if (answer != GameGuest::Answer::Welcomed)
        return answer;
    terminal.session->setExtension(&guest);
    guest.ready(terminal.session->kitty());
    serve(2000, [this] { return host->playerReady(); });
    return answer;
}

void InProcessHost::start(GameSetup& setup, Game& game) const {
    host->gameStarted();
    std::srand(11);
    setup.remote[1] = host->playerTwoKeys();
    setup.frameHook = host->frameHook();
    startGame(game, setup);
}

} // namespace term
