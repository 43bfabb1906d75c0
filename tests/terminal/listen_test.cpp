// SPDX-License-Identifier: MIT
// A host on every address, over loopback: as one socket for IPv6 and IPv4
// where the system allows it (Linux), and as two, one for each family, the
// way a system whose IPv6 sockets take no IPv4 (OpenBSD) has it. Either
// way a guest over IPv4 and one over IPv6 both reach the host, the waits
// wake for each, and closing the listener closes all of it.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "netplay/network.hpp"
#include "platform/terminal/network_posix.hpp"

namespace term {
namespace {

bool hasIPv6Loopback() {
    int fd = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 loopback = {};
    loopback.sin6_family = AF_INET6;
    loopback.sin6_addr = in6addr_loopback;
    bool has = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&loopback), sizeof loopback) == 0;
    if (fd >= 0)
        close(fd);
    return has;
}

// How many descriptors a wait polls for `socket`.
int descriptorsPolled(NetSocket socket) {
    SocketWatch watch = {socket, false, false, false};
    pollfd fds[pollFdsFor(1)];
    return socketPollFds(&watch, 1, fds);
}

class EveryAddress : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!hasIPv6Loopback())
            GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
        listenPerFamily(GetParam());
    }
    void TearDown() override { listenPerFamily(false); }
};

TEST_P(EveryAddress, GuestsOfEitherFamilyReachTheHost) {
    bool apart = GetParam();
    int port = 0;
    std::string error;
    NetSocket listener = netListen({"", 0}, port, error);
    ASSERT_NE(noSocket, listener) << error;
    ASSERT_GT(port, 0);
    EXPECT_EQ(apart ? 2 : 1, descriptorsPolled(listener)) << "sockets behind the listener";

    // Each family twice: accepts that take from each socket in turn still
    // find a lone guest at either.
    for (const char* address : {"127.0.0.1", "::1", "::1", "127.0.0.1"}) {
        NetSocket guest = netConnect({address, port}, 2000, error);
        ASSERT_NE(noSocket, guest) << address << ": " << error;
        SocketWatch watch = {listener, false, false, false};
        netWait(&watch, 1, 2000);
        EXPECT_TRUE(watch.readable) << address << ": the wait did not wake";
        NetSocket taken = noSocket;
        net::PeerAddress from;
        ASSERT_EQ(Accepted::Socket, netAccept(listener, taken, from, error)) << address;
        EXPECT_EQ(address, from.text);
        EXPECT_EQ(Accepted::None, netAccept(listener, taken, from, error)) << "one guest, once";
        netClose(taken);
        netClose(guest);
    }

    netClose(listener);
    EXPECT_EQ(1, descriptorsPolled(listener)) << "the listener's IPv4 socket is forgotten";
    for (const char* address : {"127.0.0.1", "::1"}) {
        NetSocket late = netConnect({address, port}, 2000, error);
        EXPECT_EQ(noSocket, late) << address << ": still listening after the close";
        if (late != noSocket)
            netClose(late);
    }
}

INSTANTIATE_TEST_SUITE_P(OneSocketOrOneForEachFamily, EveryAddress, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& instance) {
                             return instance.param ? "OneForEachFamily" : "OneForBoth";
                         });

} // namespace
} // namespace term
