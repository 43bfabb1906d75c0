// SPDX-License-Identifier: MIT
// The server's front on loopback, its loop turned by the test: every bound
// of a connection holds, and whoever is over one is closed and counted.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "loopback.hpp"
#include "net/forwarded_for.hpp"
#include "netplay/network.hpp"
#include "server/front.hpp"

namespace {

struct FrontOnLoopback {
    explicit FrontOnLoopback(const server::FrontLimits& limits, const char* balancers = nullptr) {
        std::vector<net::PeerAddress> trusted;
        std::string why;
        EXPECT_TRUE(balancers == nullptr || net::parseTrusted(balancers, trusted, why)) << why;
        std::string error;
        EXPECT_TRUE(netStart(error)) << error;
        listener = netListen({"127.0.0.1", 0}, port, error);
        EXPECT_NE(noSocket, listener) << error;
        front = std::make_unique<server::Front>(loop, listener, limits, trusted);
    }
    ~FrontOnLoopback() {
        for (int fd : clients)
            close(fd);
    }
    // Turns the loop until `done` holds; false when 3 s pass first.
    bool turnUntil(const std::function<bool()>& done) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            loop.processEvents(20);
        }
        return true;
    }
    int client() {
        clients.push_back(loopback::connectTo(port));
        return clients.back();
    }
    const server::Counts& counts() const { return front->counts(); }

    loop::EventLoop loop;
    NetSocket listener = noSocket;
    int port = 0;
    std::unique_ptr<server::Front> front;
    std::vector<int> clients;
};

// A connection the server closed reads as its end at once.
bool closedByServer(int fd) {
    char byte;
    return recv(fd, &byte, 1, 0) == 0;
}

// Sends `bytes` on a fresh connection and turns the loop until it is
// answered; the answer's status line.
std::string answered(FrontOnLoopback& f, const std::string& bytes) {
    int fd = f.client();
    EXPECT_TRUE(loopback::sendAll(fd, bytes));
    long long before = f.counts().connections;
    f.turnUntil([&] { return f.counts().connections > before; });
    shutdown(fd, SHUT_WR);
    f.turnUntil([&] { return f.counts().connections == before; });
    std::string answer = loopback::readToEnd(fd);
    return answer.substr(0, answer.find('\r'));
}

TEST(Front, AStrangerWhoNeverSendsAHeadIsClosedAtItsTimeAndCounted) {
    FrontOnLoopback f({.headTimeoutMs = 100});
    int fd = f.client();
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 1; }));
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 0; }));
    EXPECT_EQ(1, f.counts().connectionsRefused);
    EXPECT_TRUE(closedByServer(fd));
}

// Over the bound of all connections, or of one client's: the one over it
// is closed as it comes, and the others stay.
TEST(Front, OneOverALimitIsClosedAsItComesAndTheOthersStay) {
    for (server::FrontLimits limits :
         {server::FrontLimits{.maxConnections = 2}, server::FrontLimits{.maxPerAddress = 2}}) {
        SCOPED_TRACE(limits.maxConnections == 2 ? "all connections" : "one client's");
        FrontOnLoopback f(limits);
        for (int i = 0; i < 3; ++i)
            f.client();
        ASSERT_TRUE(f.turnUntil([&] { return f.counts().connectionsRefused == 1; }));
        EXPECT_EQ(2, f.counts().connections);
        EXPECT_TRUE(closedByServer(f.clients[2]));
    }
}

TEST(Front, AFloodIsTakenAShareATurn) {
    FrontOnLoopback f({.acceptsPerTurn = 3});
    for (int i = 0; i < 7; ++i)
        f.client();
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections > 0; }));
    EXPECT_EQ(3, f.counts().connections);
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 7; }));
}

TEST(Front, AHeadInPiecesIsAnsweredWholeThenTheConnectionEnds) {
    FrontOnLoopback f({});
    int fd = f.client();
    std::string head = loopback::get("/healthz");
    ASSERT_TRUE(loopback::sendAll(fd, head.substr(0, 7)));
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 1; }));
    f.loop.processEvents(20);
    ASSERT_TRUE(loopback::sendAll(fd, head.substr(7)));
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().requests == 1; }));
    shutdown(fd, SHUT_WR); // the peer's close ends the linger
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 0; }));
    std::string answer = loopback::readToEnd(fd);
    EXPECT_EQ(0U, answer.rfind("HTTP/1.1 200 OK\r\n", 0)) << answer;
    EXPECT_EQ("\r\n\r\nok\n", answer.substr(answer.size() - 7));
    EXPECT_EQ(0, f.counts().connectionsRefused);
}

TEST(Front, AnUnreadableHeadIsRefusedAndCounted) {
    FrontOnLoopback f({});
    EXPECT_EQ("HTTP/1.1 400 Bad Request", answered(f, "GET / HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(1, f.counts().connectionsRefused);
}

TEST(Front, DrainingTurnsTheHealthCheckAndNothingElse) {
    FrontOnLoopback f({});
    f.front->drain();
    EXPECT_EQ("HTTP/1.1 503 Service Unavailable", answered(f, loopback::get("/healthz")));
    EXPECT_TRUE(f.counts().requests == 1 && f.front->idle());
}

TEST(Front, BehindABalancerTheClientIsWhomItNames) {
    FrontOnLoopback f({.maxPerAddress = 1}, "192.0.2.9,127.0.0.1");
    const std::string proxy7 = "PROXY TCP4 203.0.113.7 192.0.2.1 51000 7416\r\n";
    const std::string check = loopback::get("/healthz");
    // The client .7 holds its one connection, named by a PROXY header.
    int held = f.client();
    ASSERT_TRUE(loopback::sendAll(held, proxy7));
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 1; }));
    f.loop.processEvents(20);
    EXPECT_EQ("HTTP/1.1 429 Too Many Requests", answered(f, proxy7 + check));
    EXPECT_EQ("HTTP/1.1 429 Too Many Requests",
              answered(f, "GET /healthz HTTP/1.1\r\nHost: a\r\n"
                          "X-Forwarded-For: 198.51.100.1, 203.0.113.7, 192.0.2.9\r\n\r\n"));
    EXPECT_EQ("HTTP/1.1 200 OK",
              answered(f, "PROXY TCP4 203.0.113.8 192.0.2.1 51000 7416\r\n" + check));
    EXPECT_EQ("HTTP/1.1 200 OK", answered(f, check)) << "the balancer's own check";
    EXPECT_EQ("HTTP/1.1 400 Bad Request", answered(f, "PROXY TCP4 nonsense\r\n" + check));
}

TEST(Front, AStrangerNamesNobodyButItself) {
    FrontOnLoopback f({.maxPerAddress = 1});
    EXPECT_EQ(
        "HTTP/1.1 400 Bad Request",
        answered(f, "PROXY TCP4 203.0.113.7 192.0.2.1 51000 7416\r\n" + loopback::get("/healthz")));
    ASSERT_TRUE(
        loopback::sendAll(f.client(), "GET /healthz HTTP/1.1\r\nX-Forwarded-For: 203.0.113.7\r\n"));
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 1; }));
    f.client(); // a second from this machine is over its share, whatever it forwards
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connectionsRefused == 2; }));
    EXPECT_TRUE(closedByServer(f.clients.back()));
}

// With no descriptor left for a connection that waits, the listener rests
// instead of waking every turn for it, and is watched again after.
TEST(Front, WithNoDescriptorLeftTheListenerRests) {
    FrontOnLoopback f({});
    f.client();
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit none = saved;
    none.rlim_cur = static_cast<rlim_t>(dup(0)); // the lowest free descriptor, now taken
    close(static_cast<int>(none.rlim_cur));
    setrlimit(RLIMIT_NOFILE, &none);
    f.loop.processEvents(20);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(1, f.counts().connectionsRefused);
    EXPECT_EQ(loop::noEvents, f.loop.fileMask(f.listener));
    ASSERT_TRUE(f.turnUntil([&] { return f.counts().connections == 1; }));
}

} // namespace
