// SPDX-License-Identifier: MIT
// The back end on a pty, with the test as the terminal: the checks before
// the game takes it, games on a terminal with the kitty keyboard protocol
// (keys of both players held together, the protocol's flags), and an
// Escape on a terminal without it.
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "session.hpp"
#include "startup.hpp"

namespace term {
namespace {

using Clock = std::chrono::steady_clock;

// A pty, the test at its master side as the terminal, the game at the slave.
// The little a game writes here fits in the pty's buffer, so the test reads
// it only when it looks for something.
struct FakeTerminal {
    FakeTerminal(int columns, int rows) : master(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            std::abort();
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        winsize size = {};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = static_cast<unsigned short>(rows);
        if (slave < 0 || ioctl(master, TIOCSWINSZ, &size) != 0)
            std::abort();
    }
    ~FakeTerminal() {
        close(master);
        close(slave);
    }

    void send(std::string_view bytes) const {
        if (write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
    }

    // Sends `bytes` and waits until the game's side can read them all (it
    // must be in raw mode and not reading meanwhile).
    void type(std::string_view bytes) const {
        int before = 0;
        ioctl(slave, FIONREAD, &before);
        send(bytes);
        auto limit = Clock::now() + std::chrono::seconds(5);
        for (int now = 0; now < before + static_cast<int>(bytes.size());) {
            if (Clock::now() > limit)
                std::abort();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ioctl(slave, FIONREAD, &now);
        }
    }

    // Runs `call` while the terminal answers `query` with `reply`.
    template <typename Call>
    auto answering(Call call, std::string_view query, std::string_view reply) {
        auto done = std::async(std::launch::async, call);
        EXPECT_NE(waitFor(query), std::string::npos);
        send(reply);
        return done.get();
    }

    // Reads until the game has written `marker` at or after `from`: its
    // place, or npos after a time limit.
    std::size_t waitFor(std::string_view marker, std::size_t from = 0) {
        auto limit = Clock::now() + std::chrono::seconds(5);
        while (output.find(marker, from) == std::string::npos && Clock::now() < limit) {
            pollfd ready = {master, POLLIN, 0};
            char bytes[4096];
            ssize_t n = poll(&ready, 1, 10) > 0 ? read(master, bytes, sizeof bytes) : 0;
            output.append(bytes, static_cast<std::size_t>(n > 0 ? n : 0));
        }
        return output.find(marker, from);
    }

    int master;
    int slave = -1;
    std::string output; // what the game wrote, as far as read
};

// Kitty's answers to the keyboard query: the flags (none set yet), then the
// device attributes.
constexpr const char* query = "\x1b[?u\x1b[c";
constexpr const char* replies = "\x1b[?0u\x1b[?62;22c";

TEST(StartProblem, NamesWhatIsWrongAndAcceptsAUsableTerminal) {
    // The problem: a part of the message; empty for none.
    struct Case {
        int columns, rows;
        const char *termName, *problem;
    };
    const Case cases[] = {
        {56, 21, "xterm-256color", ""}, // just large enough
        {56, 20, "xterm", "56x20 (columns x rows); the game needs at least 56x21"},
        {55, 21, "xterm", "55x21"},
        {80, 24, "dumb", "TERM=dumb"},
        {80, 24, nullptr, "TERM is not set"},
        {80, 24, "", "TERM is not set"},
    };
    for (const Case& c : cases) {
        FakeTerminal terminal(c.columns, c.rows);
        std::string problem = startProblem(terminal.slave, terminal.slave, c.termName);
        EXPECT_TRUE(*c.problem ? problem.find(c.problem) != std::string::npos : problem.empty())
            << c.columns << "x" << c.rows << ": " << problem;
    }
    int fds[2]; // output to a pipe
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_NE(startProblem(FakeTerminal(80, 24).slave, fds[1], "xterm").find("must be a terminal"),
              std::string::npos);
    close(fds[0]);
    close(fds[1]);
}

TEST(KittySession, HeldKeysOfBothPlayersMoveBothPiecesInTheSameFrames) {
    FakeTerminal terminal(80, 24);
    TerminalSession session({.inFd = terminal.slave, .outFd = terminal.slave, .render = {}});
    ASSERT_TRUE(terminal.answering([&] { return session.start(); }, query, replies));
    ASSERT_TRUE(session.kitty());
    setCurrentSession(&session);

    std::srand(11);
    Game game = {};
    startGame(game);
    // The keys, each piece's move.
    struct Step {
        const char* keys;
        int p1, p2;
    };
    const Step steps[] = {
        {"", 0, 0},                        // the first gravity step shows both pieces
        {"\x1b[D\x1b[97u", -1, -1},        // Left (a plain CSI D) and A pressed
        {"\x1b[97;1:2u", -1, -1},          // only the key pressed last repeats
        {"\x1b[1;1:3D\x1b[97;1:3u", 0, 0}, // both released
    };
    for (const Step& step : steps) {
        int x1 = game.p1.bx;
        int x2 = game.p2.bx;
        terminal.type(step.keys);
        game.sleep_value = 0; // no frame sleeps: the keys are there at the polls
        ASSERT_TRUE(playFrame(game));
        EXPECT_EQ(std::pair(game.p1.bx - x1, game.p2.bx - x2), std::pair(step.p1, step.p2))
            << testing::PrintToString(std::string(step.keys));
    }
    terminal.type("\x1b[27u"); // Escape
    EXPECT_FALSE(playFrame(game));
    // The flags come off, and a query makes sure the terminal has taken
    // that in before the shell gets the keyboard back.
    terminal.answering([&] { session.finish(); }, "\x1b[<u\x1b[c", "\x1b[?62;22c");
    setCurrentSession(nullptr);
    // The final picture follows on the normal screen, with output processing
    // back on: its lines end in CR LF.
    std::size_t left = terminal.waitFor("\x1b[?1049l", terminal.waitFor("\x1b[<u\x1b[c"));
    ASSERT_NE(terminal.waitFor("\r\n", left), std::string::npos);
    EXPECT_EQ(terminal.output.find('\n', left), terminal.output.find("\r\n", left) + 1);
}

// Without the kitty protocol, an Escape that the game reads on its own is
// the Escape key even when the other player's key follows within the
// delay, in a read of its own; one that comes with the key is Alt.
TEST(LegacySession, AnEscapeReadOnItsOwnIsEscapeWhateverFollows) {
    for (bool together : {false, true}) {
        FakeTerminal terminal(80, 24);
        TerminalSession session({.inFd = terminal.slave, .outFd = terminal.slave, .render = {}});
        ASSERT_TRUE(terminal.answering([&] { return session.start(); }, query, "\x1b[?62;22c"));
        if (!together) {
            terminal.type("\x1b");
            EXPECT_FALSE(session.keyPressed(vkA)); // the ESC read, its delay not over
        }
        terminal.type(together ? "\x1b"
                                 "a"
                               : "a");
        EXPECT_TRUE(session.keyPressed(vkA));
        EXPECT_EQ(session.keyPressed(vkEscape), !together) << "together " << together;
    }
}

} // namespace
} // namespace term
