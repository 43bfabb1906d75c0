// SPDX-License-Identifier: MIT
// The Windows sockets' share of a flood, run under Wine by the smoke test:
// with 100 connections waiting at the listener and a share of 10 set, the
// netAccept calls after a wait take at most 10 (each Winsock call is dear,
// and the game's frame waits for the look that takes them), and none is
// lost: the waits take all 100 in the end. Exits 1 on the first failure,
// naming it on standard error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "netplay/network.hpp"
#include "platform/win32/accept_share.hpp"

namespace {

constexpr int flood = 100;
constexpr int share = 10;

void expect(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "FAIL: %s\n", what);
    std::exit(1);
}

// Connections taken after one wait on the listener, each closed again.
int takeAfterWait(NetSocket listener) {
    SocketWatch watch = {listener, false, false, false};
    netWait(&watch, 1, 1000);
    int taken = 0;
    for (;;) {
        NetSocket socket = noSocket;
        net::PeerAddress from;
        std::string error;
        Accepted a = netAccept(listener, socket, from, error);
        if (a == Accepted::None)
            return taken;
        expect(a == Accepted::Socket, "a waiting connection is taken");
        netClose(socket);
        taken += 1;
    }
}

} // namespace

int main() {
    std::string error;
    expect(netStart(error), "the sockets start");
    int port = 0;
    NetSocket listener = netListen({"127.0.0.1", 0}, port, error);
    expect(listener != noSocket, "a listener on loopback");
    std::vector<NetSocket> guests;
    for (int i = 0; i < flood; ++i) {
        guests.push_back(netConnect({"127.0.0.1", port}, 5000, error));
        expect(guests.back() != noSocket, "each connection is made");
    }
    setAcceptShare(share);
    int total = 0;
    for (int waits = 0; total < flood && waits < flood; ++waits) {
        int taken = takeAfterWait(listener);
        expect(taken >= 1, "a wait with connections waiting takes some");
        expect(taken <= share, "no wait takes more than its share");
        total += taken;
    }
    expect(total == flood, "the waits take every connection in the end");
    for (NetSocket guest : guests)
        netClose(guest);
    netClose(listener);
    std::puts(
        "socket_check: each wait takes a share of a flood of connections, and all in the end");
    return 0;
}
