// SPDX-License-Identifier: MIT
// The network game as processes over loopback TCP, each on a pty of its own
// under the tests' shell: what only whole programs show, the exit statuses,
// the messages, the terminals given back and a real port. What the host and
// the guest do with the connection is tested in one process
// (net_session_test).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "game_host.hpp"
#include "game_pty.hpp"

namespace term {
namespace {

constexpr const char* code = "7K3M-Q9XD";

// Each on a terminal without the kitty protocol.
struct Host : GamePty {
    Host() : GamePty({.args = {"--host", "127.0.0.1:0", "--code", code}, .kitty = false}) {
        EXPECT_TRUE(waitForText("--join 127.0.0.1:")) << screenText();
        std::string shown = screenText();
        std::size_t at = shown.find("--join 127.0.0.1:");
        port = at == std::string::npos ? 0 : std::atoi(shown.c_str() + at + 17);
    }

    // A guest of this game: "--join" or "--watch", with a code.
    std::unique_ptr<GamePty> guest(const char* option = "--join",
                                   const char* withCode = code) const {
        std::vector<std::string> args = {option, "127.0.0.1:" + std::to_string(port), "--code",
                                         withCode};
        return std::make_unique<GamePty>(PtyOptions{.args = args, .kitty = false});
    }

    int port = 0;
};

// Player two's A moves the right board's piece as far as the wall, where
// pieces come only by moving; then Escape on either side ends the game for
// both, each side's own Enter ends its process, and both give their
// terminals back. A watcher sees the game and leaves by Escape alone.
TEST(NetProcesses, AGameFromTwoTerminalsEndedByEitherSide) {
    for (bool byGuest : {true, false}) {
        Host host;
        auto watcher = host.guest("--watch");
        ASSERT_TRUE(watcher->waitForText("the game starts soon")) << watcher->screenText();
        auto guest = host.guest();
        ASSERT_TRUE(host.waitForPicture() && guest->waitForPicture()) << guest->screenText();
        ASSERT_TRUE(watcher->waitForPicture()) << watcher->screenText();
        watcher->type("\x1b");
        EXPECT_EQ(watcher->waitOutcome(), Outcome::exited(0));
        EXPECT_TRUE(host.waitUntil([&] {
            guest->type("a");
            guest->pump(50);
            return host.pieceColumn(30) == 31;
        })) << host.screenText();

        GamePty& ending = byGuest ? *guest : host;
        ending.type("\x1b");
        ASSERT_TRUE(host.waitForText(prompt, 20)) << host.screenText();
        ASSERT_TRUE(guest->waitForText(prompt, 20)) << guest->screenText();
        EXPECT_EQ(host.screenText(), guest->screenText());
        guest->type("\r");
        EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
        EXPECT_EQ(host.waitOutcome(200), Outcome{}); // each side waits for its own Enter
        host.type("\r");
        EXPECT_EQ(host.waitOutcome(), Outcome::exited(0));
        for (const GamePty* side : {static_cast<GamePty*>(&host), guest.get(), watcher.get()})
            EXPECT_TRUE(side->modesAsBefore() && !terminalState(side->output).alternateScreen);
    }
}

// Nobody joined: Escape and Ctrl-C cancel the wait.
TEST(NetProcesses, TheWaitForPlayerTwoCanBeCancelled) {
    for (const auto& [key, outcome] :
         {std::pair{"\x1b", Outcome::exited(0)}, {"\x03", Outcome::killed(SIGINT)}}) {
        Host host;
        host.type(key);
        EXPECT_EQ(host.waitOutcome(), outcome);
        EXPECT_TRUE(host.modesAsBefore());
    }
}

// Refused, a guest ends with the reason, the terminal never taken; the
// game goes on.
TEST(NetProcesses, AWrongCodeAndASecondPlayerAreRefused) {
    Host host;
    auto guest = host.guest();
    ASSERT_TRUE(guest->waitForPicture());
    for (const auto& [withCode, message] :
         {std::pair{"7K3M-Q9XE", "the host refused the code 7K3M-Q9XE"},
          {code, "player two is already playing"}}) {
        auto refused = host.guest("--join", withCode);
        EXPECT_EQ(refused->waitOutcome(), Outcome::exited(1)) << message;
        EXPECT_NE(refused->output.find(message), std::string::npos) << refused->output;
        EXPECT_EQ(refused->output.find("\x1b[?1049h"), std::string::npos) << message;
    }
    EXPECT_EQ(host.waitOutcome(0), Outcome{});
    EXPECT_EQ(guest->waitOutcome(0), Outcome{});
}

// Connections on the port that have not said who they are yet are few at a
// time: one past the limit is closed at once, the others get their time.
TEST(NetProcesses, StrangersOnThePortAreLimited) {
    Host host;
    std::vector<int> strangers(GameHost::maxGreeting + 1);
    for (int& fd : strangers) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to = {
            AF_INET, htons(static_cast<uint16_t>(host.port)), {htonl(INADDR_LOOPBACK)}, {}};
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    }
    auto closed = [](int fd) {
        char byte = 0;
        return recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
    };
    EXPECT_TRUE(host.waitUntil([&] { return closed(strangers.back()); }));
    EXPECT_FALSE(closed(strangers.front()));
    for (int fd : strangers)
        close(fd);
}

TEST(NetProcesses, TheGuestEndsWhenTheHostGoesAway) {
    Host host;
    auto guest = host.guest();
    ASSERT_TRUE(guest->waitForPicture());
    host.signal(SIGKILL);
    EXPECT_EQ(guest->waitOutcome(), Outcome::exited(1));
    EXPECT_NE(guest->output.find("blockduel: the host closed the connection"), std::string::npos);
    EXPECT_TRUE(guest->modesAsBefore());
    EXPECT_FALSE(terminalState(guest->output).alternateScreen);
}

} // namespace
} // namespace term
