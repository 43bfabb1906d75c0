// SPDX-License-Identifier: MIT
// The session: the checks before the game takes a terminal; a whole game on
// pipes whose every frame goes into a real terminal emulator, which must then
// show exactly what the screen buffer holds, also after resizes; an Escape
// on a terminal without the kitty protocol; an output that cannot be
// written to; and the gate that a continue closes.
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <utility>

#include "display/console.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/platform.hpp"
#include "pipe_terminal.hpp"
#include "platform/terminal/output_gate.hpp"
#include "platform/terminal/signals.hpp"
#include "platform/terminal/startup.hpp"
#include "pty_pair.hpp"

namespace term {
namespace {

// What reaches the end of a pipe or a pty now, without waiting (its end
// non-blocking).
std::string pending(int fd) {
    std::string got;
    char bytes[64];
    for (ssize_t n; (n = read(fd, bytes, sizeof bytes)) > 0;)
        got.append(bytes, static_cast<std::size_t>(n));
    return got;
}

TEST(StartProblem, NamesWhatIsWrongAndAcceptsAUsableTerminal) {
    // The problem: a part of the message; empty for none.
    struct Case {
        int columns, rows;
        const char *termName, *problem;
        bool outputToPipe = false;
    };
    const Case cases[] = {
        {56, 21, "xterm-256color", ""}, // just large enough
        {56, 20, "xterm", "56x20 (columns x rows); the game needs at least 56x21"},
        {55, 21, "xterm", "55x21"},
        {80, 24, "dumb", "TERM=dumb"},
        {80, 24, nullptr, "TERM is not set"},
        {80, 24, "", "TERM is not set"},
        {80, 24, "xterm", "must be a terminal", true},
    };
    for (const Case& c : cases) {
        PtyPair pty;
        int fds[2];
        ASSERT_TRUE(openPtyPair(pty, c.columns, c.rows) && pipe(fds) == 0);
        std::string problem =
            startProblem(pty.slave, c.outputToPipe ? fds[1] : pty.slave, c.termName);
        EXPECT_TRUE(*c.problem ? problem.find(c.problem) != std::string::npos : problem.empty())
            << c.columns << "x" << c.rows << ": " << problem;
        closePtyPair(pty);
        for (int fd : fds)
            close(fd);
    }
}

// The message goes to standard error broken between words at the width of
// the terminal it shows in, so a narrow window breaks no word in two.
TEST(StartProblem, IsSaidInLinesAsWideAsTheTerminal) {
    PtyPair pty;
    ASSERT_TRUE(openPtyPair(pty, 50, 20));
    std::fflush(stderr);
    int savedErr = dup(STDERR_FILENO);
    ASSERT_GE(savedErr, 0);
    dup2(pty.slave, STDERR_FILENO);
    sayProblem(startProblem(pty.slave, pty.slave, "xterm"));
    std::fflush(stderr);
    dup2(savedErr, STDERR_FILENO);
    close(savedErr);
    fcntl(pty.master, F_SETFL, O_NONBLOCK);
    std::string said = pending(pty.master);
    closePtyPair(pty);
    // The terminal's line discipline turns each line break into CR LF.
    EXPECT_EQ(said, "blockduel: the terminal is 50x20 (columns x rows);\r\n"
                    "the game needs at least 56x21. Make the window\r\n"
                    "larger and start again.\r\n");
}

// Unicode glyphs when the locale says UTF-8, and also when the system cannot
// load the locale but its name says so (a static build elsewhere).
TEST(RenderOptions, UnicodeGlyphsWhenTheLocaleOrElseItsNameSaysUtf8) {
    const std::pair<const char*, bool> cases[] = {
        {"C.UTF-8", true},
        {"C", false},
        {"xx_NOWHERE.UTF-8", true},
        {"xx_NOWHERE.utf8", true},
        {"xx_NOWHERE.ISO-8859-1", false},
    };
    for (const auto& [name, utf8] : cases) {
        setenv("LC_ALL", name, 1);
        EXPECT_EQ(renderOptionsFromEnvironment().utf8, utf8) << "LC_ALL=" << name;
    }
    unsetenv("LC_ALL");
    std::setlocale(LC_CTYPE, "C");
}

// ASCII stand-ins for the glyphs, in colour: options the session must pass on
// (the renderer's own tests try every combination, tmux the glyphs).
TEST(PipedGame, EveryFrameShowsTheBufferAlsoAfterResizes) {
    const RenderOptions render = {false, true};
    PipeTerminal terminal(false, render);
    TerminalSession& session = *terminal.session;
    setCurrentSession(&session);
    EXPECT_FALSE(session.kitty());
    // The game's keys as a terminal without the kitty protocol sends them.
    const char* const keys[] = {"\x1b[A", "\x1b[D", "\x1b[C", "\x1b[B", "w", "a", "d", "s"};
    std::srand(5);
    Game g;
    startGame(g);
    int frame = 0;
    for (;; ++frame) {
        ASSERT_LT(frame, 5000) << "the game ends by a top-out";
        if (frame == 60 || frame == 70) {
            auto [columns, rows] = frame == 60 ? std::pair(40, 15) : std::pair(100, 30);
            session.resize(columns, rows);
            terminal.vt.resize(columns, rows);
        }
        terminal.type(std::rand() % 2 ? keys[std::rand() % 8] : "");
        // Most frames run with no delay and never sleep; some sleep 1 ms.
        g.sleep_value = frame % 7 == 0 ? 1 : 0;
        long long writes = session.counters().writes;
        bool going = playFrame(g);
        terminal.show();
        // cppcheck-suppress duplicateExpression ; playFrame() writes through the session
        EXPECT_LE(session.counters().writes - writes, 2) << "frame " << frame;
        // A top-out ends the frame early; the picture goes out with the prompt.
        if (!going)
            break;
        if (frame >= 60 && frame < 70)
            ASSERT_EQ(terminal.vt.rowText(0), sizeNotice(40, 15)) << "frame " << frame;
        else
            ASSERT_EQ(terminal.vt.differences(session.screen(), render), "") << "frame " << frame;
    }
    ASSERT_GT(frame, 70) << "the resizes happened during the game";

    // An Enter typed during the game does not answer the prompt; the end
    // of input does.
    terminal.type("\r");
    close(terminal.in[1]);
    terminal.in[1] = -1;
    print("\nKilepeshez nyomjon ENTER-t");
    EXPECT_EQ(readChar(), EOF);
    terminal.show();
    EXPECT_EQ(terminal.vt.differences(session.screen(), render), "");
    for (int y = pictureRows; y < 30; ++y)
        EXPECT_EQ(terminal.vt.rowText(y), "") << "row " << y;
    setCurrentSession(nullptr);
}

// Without the kitty protocol, an Escape that the game reads on its own is
// the Escape key even when the other player's key follows within the
// delay, in a read of its own; one that comes with the key is Alt.
TEST(LegacySession, AnEscapeReadOnItsOwnIsEscapeWhateverFollows) {
    for (bool together : {false, true}) {
        PipeTerminal terminal;
        if (!together) {
            terminal.type("\x1b");
            EXPECT_FALSE(terminal.session->keyPressed(vkA)); // the ESC read, its delay not over
        }
        terminal.type(together ? "\x1b"
                                 "a"
                               : "a");
        EXPECT_TRUE(terminal.session->keyPressed(vkA));
        EXPECT_EQ(terminal.session->keyPressed(vkEscape), !together) << "together " << together;
    }
}

// The terminal is gone: the game does not go on blind, nor die by SIGPIPE,
// which its signal handling ignores (this process has it at its default).
TEST(SessionDeathTest, AnOutputThatCannotBeWrittenEndsTheGameWithAMessage) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    std::signal(SIGPIPE, SIG_DFL); // where a shell starts the game
    EXPECT_EXIT(
        {
            signals::install();
            TerminalSession({.inFd = fds[1], .outFd = fds[1], .render = {}}).start();
        },
        testing::ExitedWithCode(1), "blockduel: cannot write to the terminal");
    close(fds[1]);
}

// A continue closes the gate at once, whatever the game does next; only a
// look at the foreground made after it opens the gate again. Once the gate
// is gone, a continue leaves alone whatever now has its descriptor's number.
TEST(OutputGate, AContinueClosesTheGateUntilItIsOpenedAgain) {
    ASSERT_TRUE(signals::install());
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    int again[2]; // made while the gate holds its numbers
    ASSERT_EQ(pipe(again), 0);
    fcntl(again[0], F_SETFL, O_NONBLOCK);
    int gateFd = -1;
    {
        OutputGate gate;
        gate.open(fds[1]);
        gateFd = gate.fd();
        ASSERT_NE(gateFd, fds[1]) << "the game writes to the output itself";
        ASSERT_TRUE(gate.openInForeground(fds[0])); // a pipe is no one's foreground
        ASSERT_EQ(write(gate.fd(), "a", 1), 1);
        raise(SIGCONT);
        // cppcheck-suppress unreachableCode ; raise() returns once the handler has run
        ASSERT_EQ(write(gate.fd(), "b", 1), 1);
        EXPECT_EQ(pending(fds[0]), "a") << "written through the gate after a continue";
        ASSERT_TRUE(gate.openInForeground(fds[0]));
        ASSERT_EQ(write(gate.fd(), "c", 1), 1);
        EXPECT_EQ(pending(fds[0]), "c") << "the gate did not open again";
    }
    int reused = dup2(again[1], gateFd);
    ASSERT_EQ(reused, gateFd);
    int filler = open("/dev/null", O_WRONLY); // the lowest free number: the gate's old one
    raise(SIGCONT);
    // cppcheck-suppress unreachableCode ; raise() returns once the handler has run
    ssize_t wrote = write(reused, "d", 1);
    close(filler);
    EXPECT_EQ(wrote, 1);
    EXPECT_EQ(pending(again[0]), "d") << "a continue took over a descriptor after the gate went";
    signals::uninstall();
    for (int fd : {fds[0], fds[1], again[0], again[1], reused})
        close(fd);
}

} // namespace
} // namespace term
