// SPDX-License-Identifier: MIT
// The Windows sockets' share of a flood, run under Wine by the smoke test:
// with 40 connections waiting at the listener, one wait's netAccept calls
// take some but not all of them (each Winsock call is dear, and the game's
// frame waits for the look that takes them), every wait after takes no
// more than the first did, and none is lost: the waits take all 40 in the
// end. Exits 1 on the first failure, naming it on standard error.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "netplay/network.hpp"

namespace {

constexpr int flood = 40;

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
    int first = takeAfterWait(listener);
    expect(first >= 1, "a wait with connections waiting takes some");
    expect(first < flood, "a wait takes only a share of a flood");
    int total = first;
    for (int waits = 1; total < flood && waits < 2 * flood; ++waits) {
        int share = takeAfterWait(listener);
        expect(share <= first, "no wait takes more than its share");
        total += share;
    }
    expect(total == flood, "the waits take every connection in the end");
    for (NetSocket guest : guests)
        netClose(guest);
    netClose(listener);
    std::puts(
        "socket_check: each wait takes a share of a flood of connections, and all in the end");
    return 0;
}
