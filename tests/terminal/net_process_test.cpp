// SPDX-License-Identifier: MIT
// The network game as two or more processes over loopback TCP, each on a
// pty of its own: a whole game from the command line, both ends of it,
// refusals, a guest that leaves and comes back, a host that goes away, a
// watcher, strangers on the port and a guest that stops reading.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "game_process.hpp"
#include "net/protocol.hpp"
#include "tty.hpp"

namespace term {
namespace {

constexpr const char* code = "7K3M-Q9XD";
constexpr const char* prompt = "Kilepeshez nyomjon ENTER-t";

struct Game {
    std::unique_ptr<GameProcess> host;
    int port = 0;

    Game()
        : host(std::make_unique<GameProcess>(
              std::vector<std::string>{"--host", "127.0.0.1:0", "--code", code})) {
        EXPECT_TRUE(host->waitFor("--join 127.0.0.1:")) << host->screen();
        port = portShown(*host);
    }

    // Player two, joined and shown the game.
    std::unique_ptr<GameProcess> joined() const {
        auto player = guest();
        EXPECT_TRUE(player->waitFor("Score: 0")) << player->screen();
        return player;
    }

    std::unique_ptr<GameProcess> guest(const char* option = "--join",
                                       const char* withCode = code) const {
        return std::make_unique<GameProcess>(std::vector<std::string>{
            option, "127.0.0.1:" + std::to_string(port), "--code", withCode});
    }
};

// The leftmost column with a block of the right board's falling piece,
// within the board; 99 for none.
int playerTwoColumn(const GameProcess& p) {
    int leftmost = 99;
    for (int y = 0; y < 13; ++y) {
        std::string row = p.row(y);
        // Walls are ▓, blocks █ (three bytes each in UTF-8); count characters.
        int column = 0;
        for (std::size_t i = 0; i < row.size(); ++column) {
            bool block = row.compare(i, 3, "\xe2\x96\x88") == 0;
            if (block && column > 30 && column < 49 && column < leftmost)
                leftmost = column;
            unsigned char c = static_cast<unsigned char>(row[i]);
            i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        }
    }
    return leftmost;
}

// Connects a raw socket to the host's port.
int rawConnection(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to));
    return fd;
}

// Whether the host closes `fd` within `ms`, reading and dropping what comes.
bool closedWithin(int fd, int ms) {
    long long until = monotonicMs() + ms;
    while (monotonicMs() < until) {
        char bytes[4096];
        ssize_t n = recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN))
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(10000));
    }
    return false;
}

// The host's rate readout, as shown on row 18; -1 when there is none.
int framesShown(GameProcess& host) {
    host.pump();
    std::string row = host.row(18);
    return row.find("FPS") == std::string::npos ? -1 : std::atoi(row.c_str());
}

TEST(NetProcesses, AGameFromTwoTerminalsEndedByTheGuest) {
    Game g;
    auto guest = g.guest();
    ASSERT_TRUE(g.host->waitFor("Score: 0")) << g.host->screen();
    ASSERT_TRUE(guest->waitFor("Score: 0")) << guest->screen();
    int before = 99;
    for (int i = 0; i < 100 && before == 99; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(20000));
        g.host->pump();
        before = playerTwoColumn(*g.host);
    }
    ASSERT_NE(99, before);
    guest->type("a");
    std::this_thread::sleep_for(std::chrono::microseconds(150000));
    guest->type("a");
    bool moved = false;
    for (int i = 0; i < 100 && !moved; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(20000));
        g.host->pump();
        moved = playerTwoColumn(*g.host) <= before - 2;
    }
    EXPECT_TRUE(moved) << g.host->screen();

    guest->type("\x1b");
    ASSERT_TRUE(g.host->waitFor(prompt, 5000, 20)) << g.host->screen();
    ASSERT_TRUE(guest->waitFor(prompt, 5000, 20)) << guest->screen();
    EXPECT_EQ(g.host->screen(), guest->screen());
    guest->type("\r");
    EXPECT_EQ(0, guest->waitExit());
    EXPECT_EQ(-1, g.host->waitExit(200)); // each side waits for its own Enter
    g.host->type("\r");
    EXPECT_EQ(0, g.host->waitExit());
    // Both gave the terminal back: the normal screen and the cursor.
    for (const GameProcess* p : {g.host.get(), guest.get()})
        EXPECT_NE(std::string::npos, p->output().rfind("\x1b[?25h\x1b[?1049l"));
}

TEST(NetProcesses, EscapeOnTheHostEndsTheGuestsGameToo) {
    Game g;
    auto guest = g.joined();
    g.host->type("\x1b");
    ASSERT_TRUE(guest->waitFor(prompt, 5000, 20)) << guest->screen();
    guest->type("\r");
    EXPECT_EQ(0, guest->waitExit());
    g.host->type("\r");
    EXPECT_EQ(0, g.host->waitExit());
}

// Nobody joined: Escape and Ctrl-C cancel the wait.
TEST(NetProcesses, TheWaitForPlayerTwoCanBeCancelled) {
    Game escaped;
    escaped.host->type("\x1b");
    EXPECT_EQ(0, escaped.host->waitExit());
    Game interrupted;
    interrupted.host->type("\x03");
    EXPECT_EQ(128 + SIGINT, interrupted.host->waitExit());
}

TEST(NetProcesses, AWrongCodeAndASecondPlayerAreRefused) {
    Game g;
    auto guest = g.joined();
    auto wrong = g.guest("--join", "7K3M-Q9XE");
    EXPECT_EQ(1, wrong->waitExit());
    EXPECT_TRUE(wrong->waitFor("the host refused the code 7K3M-Q9XE")) << wrong->screen();
    auto second = g.guest();
    EXPECT_EQ(1, second->waitExit());
    EXPECT_TRUE(second->waitFor("player two is already playing")) << second->screen();
    EXPECT_EQ(-1, g.host->waitExit(0));
    EXPECT_EQ(-1, guest->waitExit(0));
}

// Ctrl-C ends the guest alone; the host says player two has left, and the
// same code lets a new guest in, with the whole picture.
TEST(NetProcesses, AGuestThatLeavesMayComeBack) {
    Game g;
    auto guest = g.joined();
    guest->type("\x03");
    EXPECT_EQ(128 + SIGINT, guest->waitExit());
    EXPECT_TRUE(g.host->waitFor("Player two has left", 3000, 20)) << g.host->screen();
    auto again = g.joined();
    EXPECT_TRUE(again->waitFor("FPS"));
    EXPECT_TRUE(g.host->waitForRow(20, "", 3000)) << g.host->screen();
}

TEST(NetProcesses, TheGuestEndsWhenTheHostGoesAway) {
    Game g;
    auto guest = g.joined();
    g.host->kill(SIGKILL);
    EXPECT_EQ(1, guest->waitExit());
    EXPECT_TRUE(guest->waitFor("blockduel: the host closed the connection")) << guest->screen();
    EXPECT_NE(std::string::npos, guest->output().rfind("\x1b[?25h\x1b[?1049l"));
}

// A watcher sees the game and its keys do nothing; Escape takes it away
// and the game goes on.
TEST(NetProcesses, AWatcherSeesTheGameAndLeavesAlone) {
    Game g;
    auto watcher = g.guest("--watch");
    ASSERT_TRUE(watcher->waitFor("the game starts soon")) << watcher->screen();
    auto guest = g.guest();
    ASSERT_TRUE(watcher->waitFor("Score: 0")) << watcher->screen();
    watcher->type("\x1b");
    EXPECT_EQ(0, watcher->waitExit());
    EXPECT_EQ(-1, g.host->waitExit(300));
    EXPECT_EQ(-1, guest->waitExit(0));
}

// Garbage and silence on the port are closed, the first at once and the
// second after two seconds; a guest that greets and then stops reading
// does not slow the host's frames.
TEST(NetProcesses, StrangersOnThePortAndASlowGuest) {
    Game g;
    auto guest = g.joined();
    int garbage = rawConnection(g.port);
    ASSERT_EQ(5, write(garbage, "hello", 5));
    EXPECT_TRUE(closedWithin(garbage, 1000));
    close(garbage);
    int silent = rawConnection(g.port);
    long long start = monotonicMs();
    EXPECT_TRUE(closedWithin(silent, 4000));
    EXPECT_GE(monotonicMs() - start, net::helloLimitMs - 100);
    close(silent);

    int slow = rawConnection(g.port);
    std::string greeting;
    net::JoinCode joinCode;
    ASSERT_TRUE(net::parseJoinCode(code, joinCode));
    net::appendHello(greeting, net::Seat::Watcher, joinCode);
    net::appendReady(greeting, net::KeyMode::Autorepeat);
    ASSERT_EQ(static_cast<ssize_t>(greeting.size()), write(slow, greeting.data(), greeting.size()));
    int lowest = 99;
    for (int second = 0; second < 6; ++second) {
        std::string keepAlive;
        net::appendKeepAlive(keepAlive);
        ASSERT_EQ(static_cast<ssize_t>(keepAlive.size()),
                  write(slow, keepAlive.data(), keepAlive.size()));
        std::this_thread::sleep_for(std::chrono::microseconds(1000 * 1000));
        if (second >= 2)
            lowest = std::min(lowest, framesShown(*g.host));
    }
    // Paced at about 11 a second; a host waiting on this guest would show
    // far fewer. (The figures measure the rate; this only sees it go on.)
    EXPECT_GE(lowest, 8) << g.host->screen();
    close(slow);
    EXPECT_EQ(-1, g.host->waitExit(0));
}

} // namespace
} // namespace term
