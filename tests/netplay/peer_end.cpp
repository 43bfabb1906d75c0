// SPDX-License-Identifier: MIT
#include "peer_end.hpp"

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "netplay/serving.hpp"

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // where there is none, the game's sockets say SO_NOSIGPIPE
#endif

PeerEnd::PeerEnd() {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        std::abort();
    netAdopt(pair[0]);
    netAdopt(pair[1]);
    hostSide_ = pair[0];
    fd_ = pair[1];
}

PeerEnd::~PeerEnd() { close(fd_); }

bool PeerEnd::send(const std::string& data) const {
    ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    return n == static_cast<ssize_t>(data.size());
}

bool PeerEnd::hostClosed() const { return !send(keepAlive()); }

void PeerEnd::read() {
    for (;;) {
        pollfd waiting = {fd_, POLLIN, 0};
        if (poll(&waiting, 1, 5) <= 0)
            return;
        unsigned char got[4096];
        ssize_t n = ::read(fd_, got, sizeof got);
        if (n <= 0) {
            ended = ended || n == 0 || (errno != EAGAIN && errno != EINTR);
            return;
        }
        bytes += static_cast<std::size_t>(n);
        if (!take(got, static_cast<std::size_t>(n)))
            std::abort(); // the host's own bytes are the protocol
    }
}

DoorAt::DoorAt(netplay::Hall& hall)
    : door(std::make_unique<netplay::Door>(hall, term::joinCode(), noSocket)) {}

PeerEnd& DoorAt::connect(long long now) {
    ends.push_back(std::make_unique<PeerEnd>());
    door->take(ends.back()->hostSide(), {{}, "test"}, now);
    return *ends.back();
}

PeerEnd& DoorAt::comes(long long now) {
    PeerEnd& end = connect(now);
    if (!end.send(hello(net::Seat::Player)))
        std::abort();
    serve(now);
    return end;
}

void DoorAt::serve(long long now) const {
    SocketWatch watches[NetService::maxSockets];
    int n = door->watched(watches, NetService::maxSockets, now);
    netWait(watches, n, 0);
    door->serve(watches, n, now);
}
