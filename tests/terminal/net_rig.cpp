// SPDX-License-Identifier: MIT
// The two-session rig of the network game's tests.
#include "net_rig.hpp"

#include <chrono>
#include <cstdlib>
#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net_link.hpp"
#include "tty.hpp"

namespace term::netrig {

net::JoinCode joinCode(const char* text) {
    net::JoinCode c;
    if (!net::parseJoinCode(text, c))
        std::abort();
    return c;
}

GameGuest::Answer greetServed(GameHost& host, GameGuest& guest, const char* text) {
    auto answer = std::async(std::launch::async, [&] { return guest.greet(joinCode(text), 5000); });
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        host.pumpNow();
    return answer.get();
}

int connectTo(GameHost& host) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        std::abort();
    host.adopt(pair[0]);
    return pair[1];
}

std::string readFor(int fd, int ms, bool& closed) {
    std::string got;
    closed = false;
    long long until = monotonicMs() + ms;
    while (!closed && monotonicMs() < until) {
        pollfd ready = {fd, POLLIN, 0};
        if (poll(&ready, 1, 10) <= 0)
            continue;
        char bytes[4096];
        ssize_t n = read(fd, bytes, sizeof bytes);
        if (n > 0)
            got.append(bytes, static_cast<std::size_t>(n));
        closed = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
    }
    return got;
}

Match::Match(bool guestKitty) {
    host = std::make_unique<GameHost>(*hostTerm.session, joinCode(), -1);
    hostTerm.session->setExtension(host.get());
    if (rejoin(guestKitty) != GameGuest::Answer::Welcomed)
        std::abort();
    setCurrentSession(hostTerm.session.get());
    setCurrentHost(host.get());
    host->gameStarted();
    std::srand(11);
    startGame(game);
}

Match::~Match() {
    setCurrentHost(nullptr);
    setCurrentSession(nullptr);
}

GameGuest::Answer Match::rejoin(bool kitty) {
    if (guestTerm)
        guestTerm->session->setExtension(nullptr);
    guest.reset();
    guestTerm = std::make_unique<PipeTerminal>(kitty);
    guest = std::make_unique<GameGuest>(*guestTerm->session, connectTo(*host), net::Seat::Player);
    GameGuest::Answer answer = greetServed(*host, *guest);
    if (answer != GameGuest::Answer::Welcomed)
        return answer;
    guestTerm->session->setExtension(guest.get());
    guest->ready(guestTerm->session->kitty());
    for (int i = 0; i < 100 && !host->playerReady(); ++i) {
        host->pumpNow();
        std::this_thread::sleep_for(std::chrono::microseconds(1000));
    }
    guestWaits(2);
    return answer;
}

void Match::guestWaits(int ms) const {
    guestTerm->session->sleepMs(ms);
    guestTerm->show();
}

bool Match::frame(std::string_view guestKeys, std::string_view hostKeys) {
    guestTerm->type(guestKeys);
    hostTerm.type(hostKeys);
    guestWaits(2); // the guest reads its keys and sends them
    host->pumpNow();
    game.sleep_value = 0; // no frame sleeps: every key is there at the polls
    bool going = playFrame(game);
    hostTerm.show();
    guestWaits(2); // the guest draws the frame
    return going;
}

std::string Match::differences() const {
    const ScreenBuffer& mine = hostTerm.session->screen();
    if (!net::looksAlike(pictureOf(guestTerm->session->screen()), pictureOf(mine)))
        return "the guest's screen buffer does not look like the host's";
    return guestTerm->vt.differences(mine, {true, true});
}

void Match::dropGuest() {
    guestTerm->session->setExtension(nullptr);
    guest.reset();
    for (int i = 0; i < 20; ++i) {
        host->pumpNow();
        std::this_thread::sleep_for(std::chrono::microseconds(1000));
    }
}

} // namespace term::netrig
