// SPDX-License-Identifier: MIT
// The real game on a pty whose terminal is slow: one that stops reading
// (a stalled link, a stopped emulator), one that answers late, and keys
// still under way while the game takes the terminal or gives it back.
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "game_pty.hpp"

namespace term {
namespace {

constexpr char prompt[] = "Kilepeshez nyomjon ENTER-t";

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The terminal stops reading and the game's output backs up: the window
// changes size, so that the game has a whole picture to send.
void stall(const GamePty& game) {
    game.fillOutput();
    game.resize(81, 24);
    sleepMs(200);
}

// Not even the signals' own restore can be written; the modes and the
// file status flags go back all the same.
TEST(StalledTerminal, SignalsAndCtrlCEndTheGameAtOnce) {
    const std::pair<int, const char*> ways[] = {
        {SIGINT, nullptr},  {SIGTERM, nullptr},     {SIGHUP, nullptr},
        {SIGQUIT, nullptr}, {SIGUSR1, nullptr},     {SIGSEGV, nullptr},
        {SIGINT, "\x03"},   {SIGINT, "\x1b[99;5u"}, {SIGQUIT, "\x1c"},
    };
    for (const auto& [signo, key] : ways) {
        std::string way =
            key != nullptr ? testing::PrintToString(std::string(key)) : signalName(signo);
        GamePty game;
        ASSERT_TRUE(game.waitForPicture()) << way;
        stall(game);
        if (key != nullptr)
            game.type(key);
        else
            game.signal(signo);
        EXPECT_EQ(game.waitOutcome(2000, false), Outcome::killed(signo)) << way;
        EXPECT_TRUE(game.modesAsBefore()) << way;
        EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore) << way;
    }
}

// Without the kitty protocol an Escape is a lone ESC: read while the
// output is stuck, it stays the Escape key even though another key follows
// before the terminal reads again.
TEST(StalledTerminal, AnEscapeTypedMeanwhileIsKept) {
    GamePty game({.kitty = false});
    ASSERT_TRUE(game.waitForPicture());
    stall(game);
    std::size_t from = game.output.size();
    game.type("\x1b");
    sleepMs(100);
    game.type("w");
    sleepMs(100);
    ASSERT_TRUE(game.waitForOutput(prompt, from));
    game.type("\r");
    EXPECT_EQ(game.waitOutcome(), Outcome::exited(0));
    EXPECT_TRUE(game.modesAsBefore());
}

// The flags come off, and the terminal is still sending the releases of
// the keys that ended the game (or answers the game's last query late):
// the game reads them, so that they do not reach the shell as text.
TEST(LeavingTerminal, KeysUnderWayAndLateAnswersDoNotReachTheShell) {
    struct Way {
        const char* name;
        PtyOptions options;
        const char* key;
    };
    const Way ways[] = {
        {"Ctrl-C", {.onPop = "\x1b[99;5:3u\x1b[57442;5:3u"}, "\x1b[99;5u"},
        {"Ctrl-\\", {.onPop = "\x1b[92;5:3u\x1b[57442;5:3u"}, "\x1b[92;5u"},
        {"Ctrl-Z", {.onPop = "\x1b[122;5:3u\x1b[57442;5:3u"}, "\x1b[122;5u"},
        {"Escape", {.onPop = "\x1b[13;1:3u"}, nullptr},
        {"Escape, answered late", {.endReplyDelayMs = 500}, nullptr},
    };
    for (const Way& way : ways) {
        GamePty game(way.options);
        ASSERT_TRUE(game.waitForPicture()) << way.name;
        if (way.key != nullptr)
            game.type(way.key);
        else
            ASSERT_TRUE(game.escapeAndEnter()) << way.name;
        EXPECT_NE(game.waitOutcome().kind, Outcome::Running) << way.name;
        game.pump(way.options.endReplyDelayMs + 100); // whatever is still to come, comes
        EXPECT_EQ(game.unreadInput(), 0) << way.name << ": bytes left for the shell";
        EXPECT_TRUE(game.modesAsBefore()) << way.name;
    }
}

// Ctrl-Z while the game waits for the terminal's answer to its start-up
// query: the game takes the answer in, and the protocol with it, before it
// stops.
TEST(StartingTerminal, CtrlZDuringTheQueryKeepsTheAnswerAndTheProtocol) {
    GamePty game({.answerStartUp = false});
    ASSERT_TRUE(game.typeDuringQuery("\x1a"));
    ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGTSTP));
    EXPECT_EQ(game.unreadInput(), 0) << "the answer was left for the shell";
    EXPECT_TRUE(game.modesAsBefore());
    EXPECT_NE(game.output.find("\x1b[>11u"), std::string::npos) << "kitty protocol not taken up";
    std::size_t from = game.output.size();
    game.foreground();
    ASSERT_TRUE(game.waitForPicture(from));
    EXPECT_EQ(terminalState(game.output).kittyPushes[1], 1);
    ASSERT_TRUE(game.escapeAndEnter());
    EXPECT_EQ(game.waitOutcome(), Outcome::exited(0));
}

// An Escape pressed before the terminal has answered the query ends the
// game at its first frame.
TEST(StartingTerminal, AnEscapeTypedDuringTheQueryIsKept) {
    GamePty game({.answerStartUp = false});
    ASSERT_TRUE(game.typeDuringQuery("\x1b"));
    ASSERT_TRUE(game.waitForOutput(prompt)) << "the Escape was lost";
    game.type("\x1b[13u");
    EXPECT_EQ(game.waitOutcome(), Outcome::exited(0));
}

} // namespace
} // namespace term
