// SPDX-License-Identifier: MIT
// Every way out of the real game, on a pty with no real shell in between to
// tidy up after it: afterwards the terminal's modes, the flags of the file
// description the game shares with the shell, the screen and the keyboard
// protocol are as before, and nothing typed is left for the shell. Then the
// game's part in job control, and the environment's say on colours.
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <utility>

#include "game_pty.hpp"

namespace term {
namespace {

// The keys that end or stop the game, as each kind of terminal sends them.
struct Keys {
    const char *ctrlC, *ctrlBackslash, *ctrlZ;
};
constexpr Keys kittyKeys = {"\x1b[99;5u", "\x1b[92;5u", "\x1b[122;5u"};
constexpr Keys legacyKeys = {"\x03", "\x1c", "\x1a"};

void expectGivenBack(const GamePty& game, const std::string& way) {
    EXPECT_TRUE(game.modesAsBefore()) << way << ": terminal modes";
    EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore) << way << ": file status flags";
    TerminalState state = terminalState(game.output);
    EXPECT_FALSE(state.alternateScreen) << way << ": still on the alternate screen";
    EXPECT_FALSE(state.cursorHidden) << way << ": cursor hidden";
    EXPECT_FALSE(state.focusReports) << way << ": focus reports on";
    EXPECT_EQ(state.kittyPushes[0] + state.kittyPushes[1], 0) << way << ": kitty flags pushed";
    EXPECT_FALSE(state.poppedTooMany) << way << ": kitty flags popped that were not pushed";
    EXPECT_EQ(game.unreadInput(), 0) << way << ": input left for the shell";
}

TEST(WaysOut, KeysEndTheGameAndGiveTheTerminalBack) {
    for (bool kitty : {true, false}) {
        const Keys& keys = kitty ? kittyKeys : legacyKeys;
        // The key (none: Escape, then Enter at the prompt), and how the game ends.
        const std::pair<const char*, Outcome> ways[] = {
            {nullptr, Outcome::exited(0)},
            {keys.ctrlC, Outcome::killed(SIGINT)},
            {keys.ctrlBackslash, Outcome::killed(SIGQUIT)},
        };
        for (const auto& [key, outcome] : ways) {
            std::string way = testing::PrintToString(std::string(key ? key : "Escape")) +
                              (kitty ? " with the kitty protocol" : " without it");
            GamePty game({.kitty = kitty});
            ASSERT_TRUE(game.waitForPicture()) << way;
            if (key != nullptr)
                game.type(key);
            else
                ASSERT_TRUE(game.escapeAndEnter()) << way;
            EXPECT_EQ(game.waitOutcome(), outcome) << way;
            expectGivenBack(game, way);
        }
    }
}

// Each signal arrives while the game is stopped and keys have been typed,
// so that the game finds them unread when it goes (with the kitty protocol
// it reads them while the flags come off; without it they are left over).
TEST(WaysOut, SignalsThatEndTheGameGiveTheTerminalBackFirst) {
    const int signals[] = {
        SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, // from the shell or the system
        SIGSEGV, SIGBUS,  SIGFPE,    SIGILL,    SIGABRT,      SIGTRAP,  SIGSYS, // crashes
        SIGUSR1, SIGUSR2, SIGALRM,   SIGVTALRM, SIGPROF,      SIGXCPU,  SIGXFSZ,
        SIGPWR,  SIGIO,   SIGSTKFLT, SIGRTMIN,  SIGRTMIN + 5, SIGRTMAX,
    };
    for (int signo : signals) {
        for (bool kitty : {true, false}) {
            std::string way = signalName(signo) + (kitty ? "" : " without the kitty protocol");
            GamePty game({.kitty = kitty});
            ASSERT_TRUE(game.waitForPicture()) << way;
            game.signal(SIGSTOP);
            ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGSTOP)) << way;
            game.type("wasd");
            game.signal(signo);
            game.foreground();
            EXPECT_EQ(game.waitOutcome(), Outcome::killed(signo)) << way;
            expectGivenBack(game, way);
        }
    }
}

// Ctrl-Z or SIGTSTP while player one holds Left: the terminal is given back
// while the game is stopped; after `fg` the flags are pushed again, the
// picture is repainted, and the held key counts as released (the terminal
// sent its release to the shell).
TEST(JobControl, StoppedTheGameGivesTheTerminalBackAndTakesItAgainOnFg) {
    for (bool byKey : {true, false}) {
        std::string way = byKey ? "Ctrl-Z" : "SIGTSTP";
        GamePty game;
        ASSERT_TRUE(game.waitForPicture()) << way;
        game.type("\x1b[D"); // Left pressed, never released
        ASSERT_TRUE(game.waitUntil([&] { return game.pieceColumn() == 1; })) << way;
        if (byKey)
            game.type(kittyKeys.ctrlZ);
        else
            game.signal(SIGTSTP);
        ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGTSTP)) << way;
        expectGivenBack(game, way + ", stopped");

        std::size_t from = game.output.size();
        game.foreground();
        ASSERT_TRUE(game.waitForPicture(from)) << way;
        TerminalState state = terminalState(game.output);
        EXPECT_TRUE(state.alternateScreen && state.cursorHidden && state.focusReports) << way;
        EXPECT_EQ(state.kittyPushes[1], 1) << way << ": kitty flags not pushed again";
        EXPECT_FALSE(game.modesAsBefore()) << way << ": not in raw mode again";
        game.type("\x1b[C\x1b[1;1:3C"); // Right, pressed and released
        ASSERT_TRUE(game.waitUntil([&] { return game.pieceColumn() == 2; })) << way;
        game.pump(400);
        EXPECT_EQ(game.pieceColumn(), 2) << way << ": Left still held after fg";
        ASSERT_TRUE(game.escapeAndEnter()) << way;
        EXPECT_EQ(game.waitOutcome(), Outcome::exited(0)) << way;
        expectGivenBack(game, way + ", then Escape");
    }
}

// Stopped from outside, the game could not give the terminal back; the
// shell took it. Continued in the foreground, it takes it again and
// repaints; its flags are still pushed from before.
TEST(JobControl, AfterAnOutsideStopTheGameRepaintsOnFg) {
    GamePty game;
    ASSERT_TRUE(game.waitForPicture());
    game.signal(SIGSTOP);
    ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGSTOP));
    std::size_t from = game.output.size();
    game.foreground();
    ASSERT_TRUE(game.waitForPicture(from));
    EXPECT_NE(game.output.find("\x1b[?1049h", from), std::string::npos);
    EXPECT_EQ(terminalState(game.output).kittyPushes[1], 1) << "kitty flags pushed twice";
    ASSERT_TRUE(game.escapeAndEnter());
    EXPECT_EQ(game.waitOutcome(), Outcome::exited(0));
    expectGivenBack(game, "SIGSTOP, fg, Escape");
}

// A stopped game that is continued while the shell has the terminal (`bg`,
// or `kill -CONT`) leaves the terminal alone and stops again until `fg`:
// by itself, not by the system's SIGTTOU when it tries to take it.
TEST(JobControl, ContinuedInTheBackgroundTheGameStopsAgainUntilFg) {
    for (int stop : {SIGTSTP, SIGSTOP}) {
        std::string way = signalName(stop) + ", then SIGCONT";
        GamePty game;
        ASSERT_TRUE(game.waitForPicture()) << way;
        game.signal(stop);
        ASSERT_EQ(game.waitOutcome(), Outcome::stopped(stop)) << way;
        bool givenBack = game.modesAsBefore();
        std::size_t written = game.output.size();
        game.signal(SIGCONT);
        EXPECT_EQ(game.waitOutcome(), Outcome::stopped(SIGTSTP)) << way;
        EXPECT_EQ(game.output.size(), written) << way << ": wrote from the background";
        EXPECT_EQ(game.modesAsBefore(), givenBack)
            << way << ": changed the modes from the background";
        EXPECT_FALSE(game.foregroundIsGame()) << way;

        game.foreground();
        ASSERT_TRUE(game.waitForPicture(written)) << way;
        ASSERT_TRUE(game.escapeAndEnter()) << way;
        EXPECT_EQ(game.waitOutcome(), Outcome::exited(0)) << way;
        expectGivenBack(game, way + ", fg, Escape");
    }
}

// `kill %1` and `kill -HUP %1` on a stopped game: the shell sends the signal
// and SIGCONT while it has the terminal. The game ends by the signal
// without touching the terminal: stopped by Ctrl-Z, it gave it back before;
// stopped from outside, the shell has put its own modes back.
TEST(JobControl, ASignalThatEndsAStoppedGameEndsIt) {
    for (bool byKey : {true, false}) {
        for (int signo : {SIGTERM, SIGHUP, SIGSEGV}) {
            std::string way = (byKey ? "Ctrl-Z, then " : "SIGSTOP, then ") + signalName(signo);
            GamePty game;
            ASSERT_TRUE(game.waitForPicture()) << way;
            if (byKey)
                game.type(kittyKeys.ctrlZ);
            else
                game.signal(SIGSTOP);
            ASSERT_EQ(game.waitOutcome().kind, Outcome::Stopped) << way;
            std::size_t written = game.output.size();
            game.signal(signo);
            game.signal(SIGCONT);
            EXPECT_EQ(game.waitOutcome(), Outcome::killed(signo)) << way;
            EXPECT_EQ(game.output.size(), written) << way << ": wrote from the background";
            EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore) << way;
            if (byKey)
                expectGivenBack(game, way);
        }
    }
}

// The window closes: the shell gets the hang-up and hands it on. The game
// ends by it, or by the write that fails first, and puts back the flags
// of the file description it shared.
TEST(WaysOut, TheTerminalGoingAwayEndsTheGame) {
    GamePty game;
    ASSERT_TRUE(game.waitForPicture());
    game.closeTerminal();
    Outcome outcome = game.waitOutcome(3000, false);
    EXPECT_TRUE(outcome == Outcome::killed(SIGHUP) || outcome == Outcome::exited(1))
        << testing::PrintToString(outcome);
    EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore);
}

TEST(Environment, NoColorTakesTheColoursAway) {
    for (bool noColor : {false, true}) {
        GamePty game({.noColor = noColor});
        ASSERT_TRUE(game.waitForPicture());
        ASSERT_TRUE(game.escapeAndEnter());
        EXPECT_EQ(game.waitOutcome(), Outcome::exited(0));
        EXPECT_EQ(terminalState(game.output).colours, !noColor) << "NO_COLOR " << noColor;
    }
}

} // namespace
} // namespace term
