// SPDX-License-Identifier: MIT
// Every way out of the real game, on a pty with no real shell in between to
// tidy up after it; the game's part in job control; and terminals that stop
// reading, answer late, or send keys while the game takes the terminal or
// gives it back.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game_pty.hpp"
#include "pty_checks.hpp"

namespace term {
namespace {

// Ctrl-C, Ctrl-\ and Ctrl-Z as a terminal with the kitty protocol sends them.
constexpr char ctrlC[] = "\x1b[99;5u";
constexpr char ctrlBackslash[] = "\x1b[92;5u";
constexpr char ctrlZ[] = "\x1b[122;5u";

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

// Escape, then Enter at the prompt: the game ends and gives the terminal back.
void expectEscapeEnds(GamePty& game, const std::string& way) {
    ASSERT_TRUE(game.escapeAndEnter()) << way;
    EXPECT_EQ(game.waitOutcome(), Outcome::exited(0)) << way;
    expectGivenBack(game, way + ", then Escape");
}

// The keys that end or stop the game, as each kind of terminal sends them;
// some with releases still arriving as the flags come off (or the last query
// answered late), which the game reads so that the shell does not get them.
// NO_COLOR comes with the legacy terminal. After Escape and Enter the final
// picture follows on the normal screen with CR LF line ends.
TEST(WaysOut, KeysEndTheGameAndGiveTheTerminalBack) {
    struct Way {
        const char* name;
        PtyOptions options;
        const char* key; // none: Escape, then Enter at the prompt
        Outcome outcome;
    };
    const PtyOptions legacy = {.kitty = false, .noColor = true};
    const Outcome ended = Outcome::exited(0);
    const Outcome interrupted = Outcome::killed(SIGINT);
    const Outcome quit = Outcome::killed(SIGQUIT);
    const Outcome suspended = Outcome::stopped(SIGTSTP);
    const Way ways[] = {
        {"Escape", {}, nullptr, ended},
        {"Ctrl-C", {}, ctrlC, interrupted},
        {"Ctrl-\\", {}, ctrlBackslash, quit},
        {"Escape without the kitty protocol", legacy, nullptr, ended},
        {"Ctrl-C without it", legacy, "\x03", interrupted},
        {"Ctrl-\\ without it", legacy, "\x1c", quit},
        {"Ctrl-C, released late", {.onPop = "\x1b[99;5:3u\x1b[57442;5:3u"}, ctrlC, interrupted},
        {"Ctrl-\\, released late", {.onPop = "\x1b[92;5:3u\x1b[57442;5:3u"}, ctrlBackslash, quit},
        {"Ctrl-Z, released late", {.onPop = "\x1b[122;5:3u\x1b[57442;5:3u"}, ctrlZ, suspended},
        {"Escape, Enter released late", {.onPop = "\x1b[13;1:3u"}, nullptr, ended},
        {"Escape, answered late", {.endReplyDelayMs = 500}, nullptr, ended},
    };
    for (const Way& way : ways) {
        GamePty game(way.options);
        ASSERT_TRUE(game.waitForPicture()) << way.name;
        if (way.key != nullptr)
            game.type(way.key);
        else
            ASSERT_TRUE(game.escapeAndEnter()) << way.name;
        EXPECT_EQ(game.waitOutcome(), way.outcome) << way.name;
        game.pump(way.options.endReplyDelayMs + 100); // whatever is still to come, comes
        expectGivenBack(game, way.name);
        EXPECT_EQ(terminalState(game.output).colours, !way.options.noColor) << way.name;
        std::size_t left = game.output.rfind("\x1b[?1049l");
        if (way.key == nullptr) {
            EXPECT_EQ(game.output.find('\n', left), game.output.find("\r\n", left) + 1) << way.name;
        }
    }
}

// Each signal arrives while the game is stopped and keys have been typed,
// so that the game finds them unread when it goes (with the kitty protocol
// it reads them while the flags come off; without it they are left over).
// Every system's own signals that end a process are among them, and the
// real-time signals where there are any (Linux's from 34 to 64, FreeBSD's
// from 65 to 126): the first, the last and one between.
TEST(WaysOut, SignalsThatEndTheGameGiveTheTerminalBackFirst) {
    for (int signo : endingSignals()) {
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

// The window closes: the shell gets the hang-up and hands it on. The game
// ends by it, or by the write that fails first, and puts back the flags
// of the file description it shared.
//
// A game that ends by its failed write exits while the system and the shell
// send it SIGCONT with the hang-up; a sanitizer build's leak check at exit
// stops every thread with ptrace, and a SIGCONT in the middle of that
// leaves it waiting for ever, so that check is off here.
TEST(WaysOut, TheTerminalGoingAwayEndsTheGame) {
    GamePty game({.env = {"ASAN_OPTIONS=detect_leaks=0"}});
    ASSERT_TRUE(game.waitForPicture());
    game.closeTerminal();
    Outcome outcome = game.waitOutcome(3000, false);
    EXPECT_TRUE(outcome == Outcome::killed(SIGHUP) || outcome == Outcome::exited(1))
        << testing::PrintToString(outcome);
    EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore);
}

// The game holds still while the window is too small to show it: the delay
// readout, which changes every frame while the pacing settles, shows that
// no frame ran meanwhile. Escape still ends a game held so.
TEST(SmallWindow, TheGameHoldsStillUntilThePictureFits) {
    GamePty game;
    ASSERT_TRUE(game.waitForPicture());
    auto delay = [&game] {
        std::string text = game.screenText();
        std::size_t row = 0;
        for (int y = 0; y < 19; ++y)
            row = text.find('\n', row) + 1;
        return std::atoi(text.c_str() + row);
    };
    game.pump(300);
    int before = delay();
    ASSERT_GT(before, 0);
    game.resize(40, 15);
    ASSERT_TRUE(game.waitForOutput("Too small: 40x15"));
    game.pump(1500);
    std::size_t grown = game.output.size();
    game.resize(80, 24);
    ASSERT_TRUE(game.waitForPicture(grown));
    EXPECT_LT(delay() - before, 8) << "frames ran while the window was too small";

    std::size_t shrunk = game.output.size();
    game.resize(40, 15);
    ASSERT_TRUE(game.waitForOutput("Too small: 40x15", shrunk));
    game.type("\x1b[27u");
    // Enter at the prompt, which the small window hides, so nothing tells
    // when the game listens for it: typed again until the game ends.
    Outcome outcome;
    for (int tries = 0; tries < 10 && outcome.kind == Outcome::Running; ++tries) {
        game.type("\r");
        outcome = game.waitOutcome(300);
    }
    EXPECT_EQ(Outcome::exited(0), outcome) << "Escape did not end the held game";
}

// Stopped while player one holds Left, and continued by `fg`. Stopped by
// Ctrl-Z or SIGTSTP, the game gives the terminal back while it is stopped;
// stopped from outside (SIGSTOP) it cannot, and the shell takes it. After
// `fg` it takes it again, the kitty flags pushed once (again, or still from
// before), the picture repainted, and the held key counts as released (the
// terminal sent its release to the shell).
TEST(JobControl, AStoppedGameTakesTheTerminalAgainOnFg) {
    for (const auto& [way, stop] :
         {std::pair{"Ctrl-Z", SIGTSTP}, {"SIGTSTP", SIGTSTP}, {"SIGSTOP", SIGSTOP}}) {
        GamePty game;
        ASSERT_TRUE(game.waitForPicture()) << way;
        game.type("\x1b[D"); // Left pressed, never released
        ASSERT_TRUE(game.waitUntil([&] { return game.pieceColumn() == 1; })) << way;
        if (std::string(way) == "Ctrl-Z")
            game.type(ctrlZ);
        else
            game.signal(stop);
        ASSERT_EQ(game.waitOutcome(), Outcome::stopped(stop)) << way;
        if (stop == SIGTSTP)
            expectGivenBack(game, way + std::string(", stopped"));

        std::size_t from = game.output.size();
        game.foreground();
        ASSERT_TRUE(game.waitForPicture(from)) << way;
        TerminalState state = terminalState(game.output);
        EXPECT_TRUE(state.alternateScreen && state.cursorHidden && state.focusReports) << way;
        EXPECT_EQ(state.kittyPushes[1], 1) << way << ": kitty flags pushed";
        EXPECT_FALSE(game.modesAsBefore()) << way << ": not in raw mode again";
        game.type("\x1b[C\x1b[1;1:3C"); // Right, pressed and released
        ASSERT_TRUE(game.waitUntil([&] { return game.pieceColumn() == 2; })) << way;
        game.pump(400);
        EXPECT_EQ(game.pieceColumn(), 2) << way << ": Left still held after fg";
        expectEscapeEnds(game, way);
    }
}

// A stopped game that is continued while the shell has the terminal (`bg`,
// `kill -CONT`, or `kill %1`, which sends its signal and SIGCONT) leaves the
// terminal alone: it stops again by itself until `fg`, not by the system's
// SIGTTOU when it tries to take the terminal, or it ends by the signal.
// Stopped by Ctrl-Z it gave the terminal back before; stopped from outside,
// the shell has put its own modes back.
TEST(JobControl, AGameContinuedInTheBackgroundLeavesTheTerminalAlone) {
    for (bool byKey : {true, false}) {
        for (int signo : {0, SIGTERM, SIGHUP, SIGSEGV}) {
            std::string way = std::string(byKey ? "Ctrl-Z, then " : "SIGSTOP, then ") +
                              (signo != 0 ? signalName(signo) + " and " : "") + "SIGCONT";
            GamePty game;
            ASSERT_TRUE(game.waitForPicture()) << way;
            if (byKey)
                game.type(ctrlZ);
            else
                game.signal(SIGSTOP);
            ASSERT_EQ(game.waitOutcome().kind, Outcome::Stopped) << way;
            bool modesWhenStopped = game.modesAsBefore();
            std::size_t written = game.output.size();
            if (signo != 0)
                game.signal(signo);
            game.signal(SIGCONT);
            Outcome outcome = signo != 0 ? Outcome::killed(signo) : Outcome::stopped(SIGTSTP);
            EXPECT_EQ(game.waitOutcome(), outcome) << way;
            EXPECT_EQ(game.output.size(), written) << way << ": wrote from the background";
            EXPECT_EQ(game.modesAsBefore(), modesWhenStopped) << way << ": changed the modes";
            if (signo != 0) {
                EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore) << way;
                continue;
            }
            EXPECT_FALSE(game.foregroundIsGame()) << way;
            game.foreground();
            ASSERT_TRUE(game.waitForPicture(written)) << way;
            expectEscapeEnds(game, way + ", fg");
        }
    }
}

// Stopped at the worst moment, over and over: the game stops itself just
// before a write to the terminal, where a SIGSTOP from outside can find it,
// at every third write (in frames, in the repaint after `fg`, in the first
// frame after it). Each time the shell takes the terminal and the game is
// continued in the background: it writes nothing, stops again by itself,
// and on `fg` takes the terminal back with the whole picture.
TEST(JobControl, AGameStoppedJustBeforeAWriteWritesNothingFromTheBackground) {
    constexpr int stops = 12;
    GamePty game({.program = BLOCKDUEL_STOP_POINTS,
                  .env = {"BLOCKDUEL_STOP_AT=write,4,3," + std::to_string(stops)}});
    for (int stop = 1; stop <= stops; ++stop) {
        std::string way = "stop " + std::to_string(stop);
        ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGSTOP)) << way;
        std::size_t written = game.output.size();
        game.signal(SIGCONT);
        ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGTSTP)) << way;
        ASSERT_EQ(game.output.size(), written) << way << ": wrote from the background";
        EXPECT_FALSE(game.foregroundIsGame()) << way;
        game.foreground();
    }
    ASSERT_TRUE(game.waitForPicture(game.output.rfind("\x1b[2J")));
    expectEscapeEnds(game, "after the stops");
}

// `kill %1` (its signal, then SIGCONT) on the game stopped from outside just
// before a write, or just after the loop looked for signals that end it and
// before it looked at job control: continued in the background, it must see
// the signal before it stops again (or the shell's job stays stopped), and
// end by it without a byte, the file status flags put back.
TEST(JobControl, KillOnAGameStoppedAtTheWorstMomentEndsItWithoutAWord) {
    const std::pair<const char*, int> kills[] = {
        {"write,5,1,1", SIGTERM},       {"write,5,1,1", SIGHUP},
        {"jobcontrol,20,1,1", SIGTERM}, {"jobcontrol,20,1,1", SIGHUP},
        {"jobcontrol,20,1,1", SIGINT},
    };
    for (const auto& [at, signo] : kills) {
        std::string way = std::string(at) + ", " + signalName(signo);
        GamePty game(
            {.program = BLOCKDUEL_STOP_POINTS, .env = {std::string("BLOCKDUEL_STOP_AT=") + at}});
        ASSERT_EQ(game.waitOutcome(), Outcome::stopped(SIGSTOP)) << way;
        std::size_t written = game.output.size();
        game.signal(signo);
        game.signal(SIGCONT);
        EXPECT_EQ(game.waitOutcome(), Outcome::killed(signo)) << way;
        EXPECT_EQ(game.output.size(), written) << way << ": wrote from the background";
        EXPECT_EQ(game.statusFlags(), game.statusFlagsBefore) << way;
    }
}

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

// A match asks a kitty terminal where keys sit, and player two's keys are
// found there: on a French keyboard the key that types q sits where A does,
// and held, it takes player two's piece to the left wall. The game without
// options asks for what it always did.
TEST(StartingTerminal, AMatchAsksWhereKeysSitAndTheGameAloneDoesNot) {
    GamePty alone;
    ASSERT_TRUE(alone.waitForPicture());
    EXPECT_FALSE(wrote(alone, "\x1b[>15u"));
    EXPECT_TRUE(wrote(alone, "\x1b[>11u"));

    GamePty match({.args = {"--match"}});
    ASSERT_TRUE(match.waitForPicture());
    EXPECT_NE(match.output.find("\x1b[>15u"), std::string::npos) << "no question where keys sit";
    match.type("\x1b[113::97u"); // q, where A sits, pressed and held
    EXPECT_TRUE(match.waitUntil([&] { return match.pieceColumn(30) == 31; }, 10000))
        << match.screenText();
    EXPECT_NE(match.pieceColumn(0), 1) << "player one's piece moved";
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
    expectEscapeEnds(game, "Ctrl-Z during the query, fg");
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
