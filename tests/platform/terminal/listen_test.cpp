// SPDX-License-Identifier: MIT
// A host on every address, over loopback: as one socket for IPv6 and IPv4
// where the system allows it (Linux), and as two, one for each family, the
// way a system whose IPv6 sockets take no IPv4 (OpenBSD) has it. Either
// way a guest over IPv4 and one over IPv6 both reach the host, the waits
// wake for each, and closing the listener closes all of it. And the
// system's queue in front of a listener is as long as the system allows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "descriptor_room.hpp"
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

// How many of `count` connections to 127.0.0.1:`port` the system completes
// while nobody takes them: those its queue in front of the listener holds.
int queuedConnections(int port, int count) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            break;
        netAdopt(fd); // non-blocking: a connection the queue has no room for waits
        (void)connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to); // completes later
        fds.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int queued = 0;
    for (int fd : fds) {
        pollfd ready = {fd, POLLOUT, 0};
        int error = -1;
        socklen_t size = sizeof error;
        if (poll(&ready, 1, 0) > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0)
            queued += error == 0 ? 1 : 0;
        close(fd);
    }
    return queued;
}

// Strangers may hold hundreds of connections open (the door's tests hold
// 300); a guest behind them gets in only if the queue has room for it too.
// What the system allows is what a listener that asks for far more gets.
TEST(Listener, QueuesAsManyConnectionsAsTheSystemAllows) {
    constexpr int count = 400;
    makeRoomForDescriptors(count);
    int greedy = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in loopback = {};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof loopback;
    bool listening = bind(greedy, reinterpret_cast<sockaddr*>(&loopback), sizeof loopback) == 0 &&
                     listen(greedy, 1 << 20) == 0 &&
                     getsockname(greedy, reinterpret_cast<sockaddr*>(&loopback), &length) == 0;
    int allowed = listening ? queuedConnections(ntohs(loopback.sin_port), count) : 0;
    close(greedy);
    ASSERT_TRUE(listening);

    int port = 0;
    std::string error;
    NetSocket listener = netListen({"127.0.0.1", 0}, port, error);
    ASSERT_NE(noSocket, listener) << error;
    int queued = queuedConnections(port, count);
    netClose(listener);
    EXPECT_GE(queued, allowed * 9 / 10) << "of " << count << ", the system allowing " << allowed;
    if (allowed < count)
        std::printf("note: this system queues %d connections at most\n", allowed);
}

} // namespace
} // namespace term
