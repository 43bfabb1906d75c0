// SPDX-License-Identifier: MIT
// The network game as processes over loopback TCP, each on a pty of its own
// under the tests' shell: what only whole programs show, the exit statuses,
// the messages, the terminals given back and a real port. What the host and
// the guest do with the connection is tested in one process
// (net_session_test).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
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

// The rows that are the same for everyone: the boards (but the label row,
// which names whose board is whose) and the score lines.
std::string sharedRows(const GamePty& side) {
    std::string rows;
    for (int y = 0; y < 16; ++y)
        if (y != 8)
            rows += side.rowText(y) + "\n";
    return rows;
}

// The lines of the match below the boards, row 16 (the round's result)
// and row 17 (what comes next), as each side has shown them, in order.
struct Lines {
    std::vector<std::string> seen;
    void note(const GamePty& side) {
        std::string now = side.rowText(16) + " | " + side.rowText(17);
        if (seen.empty() || seen.back() != now)
            seen.push_back(now);
    }
};

// Player two's A moves the right board's piece as far as the wall, where
// pieces come only by moving; Escape on either side ends the match for
// both, which give their terminals back with status 0. A watcher sees the
// game and leaves by Escape alone.
TEST(NetProcesses, AMatchFromTwoTerminalsEndedByEitherSide) {
    for (bool byGuest : {true, false}) {
        Host host;
        auto watcher = host.guest("--watch");
        ASSERT_TRUE(watcher->waitForText("the game starts soon")) << watcher->screenText();
        auto guest = host.guest();
        ASSERT_TRUE(host.waitForPicture() && guest->waitForPicture()) << guest->screenText();
        ASSERT_TRUE(watcher->waitForPicture()) << watcher->screenText();
        EXPECT_TRUE(watcher->waitForText("Watching: your keys do nothing", 17));
        watcher->type("\x1b");
        EXPECT_EQ(watcher->waitOutcome(), Outcome::exited(0));
        EXPECT_TRUE(host.waitUntil([&] {
            guest->type("a");
            guest->pump(50);
            return host.pieceColumn(30) == 31;
        })) << host.screenText();

        GamePty& ending = byGuest ? *guest : host;
        ending.type("\x1b");
        EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
        EXPECT_EQ(host.waitOutcome(), Outcome::exited(0));
        const char* hostSays =
            byGuest ? "Match over: 0-0. Player two left." : "Match over: 0-0. You left.";
        const char* guestSays =
            byGuest ? "Match over: 0-0. You left." : "Match over: 0-0. Player one left.";
        EXPECT_NE(host.output.find(hostSays), std::string::npos) << host.screenText();
        EXPECT_NE(guest->output.find(guestSays), std::string::npos) << guest->screenText();
        for (const GamePty* side : {static_cast<GamePty*>(&host), guest.get(), watcher.get()})
            EXPECT_TRUE(side->modesAsBefore() && !terminalState(side->output).alternateScreen);
    }
}

// Rounds over the network: the same countdown on both sides, each told the
// round's result in its own words, the next round only once both have
// pressed Enter, each side saying whom it waits for, and player two
// dropping between rounds and joining again with the same command.
TEST(NetProcesses, RoundsWaitForBothPlayersAndSurviveARejoin) {
    Host host;
    auto guest = host.guest();
    Lines hostLines;
    Lines guestLines;
    auto watch = [&](const std::function<bool()>& until) {
        return host.waitUntil(
            [&] {
                guest->pump(10);
                hostLines.note(host);
                guestLines.note(*guest);
                return until();
            },
            15000);
    };
    // Player two drops every piece at once and tops out first.
    ASSERT_TRUE(watch([&] {
        if (guestLines.seen.back().find("Round") == std::string::npos)
            guest->type("s");
        return host.rowText(16).find("Game Over") == 0 && guest->rowText(16).find("Game Over") == 0;
    })) << host.screenText();
    std::vector<std::string> countdown = {" | Round 1 starts in 3", " | Round 1 starts in 2",
                                          " | Round 1 starts in 1"};
    for (const Lines* side : {&hostLines, &guestLines}) {
        auto from = std::find(side->seen.begin(), side->seen.end(), countdown[0]);
        ASSERT_GE(side->seen.end() - from, 3) << testing::PrintToString(side->seen);
        EXPECT_EQ(countdown, std::vector<std::string>(from, from + 3));
    }
    EXPECT_EQ("Game Over You win this round. Match: 1-0", host.rowText(16));
    EXPECT_EQ("Game Over You lose this round. Match: 1-0", guest->rowText(16));
    // "You" beside the left board on the host, at the right edge on the guest.
    auto labelled = [](const std::string& row) {
        std::size_t at = row.find("▓ You");
        return at == std::string::npos ? "none" : at + 7 == row.size() ? "right" : "left";
    };
    EXPECT_STREQ("left", labelled(host.rowText(8)));
    EXPECT_STREQ("right", labelled(guest->rowText(8)));
    EXPECT_EQ(sharedRows(host), sharedRows(*guest));

    host.type("\r");
    ASSERT_TRUE(guest->waitForText("Player one is ready. Enter: next round. Escape: leave.", 17));
    EXPECT_TRUE(host.waitForText("Waiting for player two to press Enter.", 17));
    guest->type("\x03"); // player two drops out between rounds
    EXPECT_EQ(guest->waitOutcome(), Outcome::killed(SIGINT));
    host.pump(1000);
    EXPECT_EQ("Waiting for player two to press Enter.", host.rowText(17))
        << "no round without them";

    guest = host.guest(); // the same command again
    ASSERT_TRUE(guest->waitForText("Game Over You lose this round. Match: 1-0", 16))
        << guest->screenText();
    EXPECT_TRUE(guest->waitForText("Player one is ready. Enter: next round. Escape: leave.", 17));
    guest->type("\r");
    EXPECT_TRUE(host.waitForText("Round 2 starts in", 17)) << host.screenText();
    EXPECT_TRUE(guest->waitForText("Round 2 starts in", 17)) << guest->screenText();
    host.type("\x1b");
    EXPECT_EQ(host.waitOutcome(), Outcome::exited(0));
    EXPECT_EQ(guest->waitOutcome(), Outcome::exited(0));
}

// A guest of another version of the game is told so, by a host of either
// side of the change: this host refuses an older guest's greeting with
// the reason, and this guest, refused so, says what to do.
TEST(NetProcesses, AnotherVersionIsRefusedWithAClearMessage) {
    Host host;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = {
        AF_INET, htons(static_cast<uint16_t>(host.port)), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    std::string hello = std::string("\x01\x0e") + "BLKD" + "\x01\x01" + "7K3M0000";
    ASSERT_EQ(write(fd, hello.data(), hello.size()), static_cast<ssize_t>(hello.size()));
    std::string answer;
    EXPECT_TRUE(host.waitUntil([&] {
        char bytes[16];
        ssize_t n = recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
        if (n > 0)
            answer.append(bytes, static_cast<std::size_t>(n));
        return answer.size() >= 3;
    }));
    EXPECT_EQ(std::string("\x03\x01\x04", 3), answer) << "Refused: another version";
    close(fd);

    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof any;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&any), &length);
    GamePty guest(
        {.args = {"--join", "127.0.0.1:" + std::to_string(ntohs(any.sin_port)), "--code", code},
         .kitty = false});
    int old = -1;
    ASSERT_TRUE(guest.waitUntil(
        [&] { return (old = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0; }));
    ASSERT_EQ(write(old, "\x03\x01\x04", 3), 3);
    EXPECT_EQ(guest.waitOutcome(), Outcome::exited(1));
    EXPECT_NE(guest.output.find("the host runs another version of blockduel"), std::string::npos)
        << guest.output;
    close(old);
    close(listener);
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
