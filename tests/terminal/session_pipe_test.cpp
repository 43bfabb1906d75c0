// SPDX-License-Identifier: MIT
// The session on pipes: a whole game whose every frame goes into a real
// terminal emulator, which must then show exactly what the screen buffer
// holds, also after resizes; and an output that cannot be written to.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <utility>

#include "display/console.hpp"
#include "game/game.hpp"
#include "game/platform.hpp"
#include "session.hpp"
#include "signals.hpp"
#include "vterm_screen.hpp"

namespace term {
namespace {

// The game's keys as a terminal without the kitty protocol sends them.
const char* const keys[] = {"\x1b[A", "\x1b[D", "\x1b[C", "\x1b[B", "w", "a", "d", "s"};

void writeAll(int fd, std::string_view bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// ASCII stand-ins for the glyphs, in colour: options the session must pass on
// (the renderer's own tests try every combination, tmux the glyphs).
TEST(PipedGame, EveryFrameShowsTheBufferAlsoAfterResizes) {
    const RenderOptions render = {false, true};
    int in[2];
    int out[2];
    ASSERT_TRUE(pipe(in) == 0 && pipe(out) == 0);
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    TerminalSession session({.inFd = in[0], .outFd = out[1], .render = render});
    setCurrentSession(&session);
    VtermScreen screen(80, 24);
    auto pump = [&] {
        char bytes[65536];
        for (ssize_t n; (n = read(out[0], bytes, sizeof bytes)) > 0;)
            screen.feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    };

    // Pipes have no echo: tmux's reply (no kitty flags) can wait for the query.
    writeAll(in[1], "\x1b[?1;2c");
    ASSERT_TRUE(session.start());
    EXPECT_FALSE(session.kitty());
    std::srand(5);
    Game g;
    startGame(g);
    int frame = 0;
    for (;; ++frame) {
        ASSERT_LT(frame, 5000) << "the game ends by a top-out";
        if (frame == 60 || frame == 70) {
            auto [columns, rows] = frame == 60 ? std::pair(40, 15) : std::pair(100, 30);
            session.resize(columns, rows);
            screen.resize(columns, rows);
        }
        writeAll(in[1], std::rand() % 2 ? keys[std::rand() % 8] : "");
        // Most frames run with no delay and never sleep; some sleep 1 ms.
        g.sleep_value = frame % 7 == 0 ? 1 : 0;
        long long writes = session.counters().writes;
        bool going = playFrame(g);
        pump();
        // cppcheck-suppress duplicateExpression ; playFrame() writes through the session
        EXPECT_LE(session.counters().writes - writes, 2) << "frame " << frame;
        // A top-out ends the frame early; the picture goes out with the prompt.
        if (!going)
            break;
        if (frame >= 60 && frame < 70)
            ASSERT_EQ(screen.rowText(0), sizeNotice(40, 15)) << "frame " << frame;
        else
            ASSERT_EQ(screen.differences(session.screen(), render), "") << "frame " << frame;
    }
    ASSERT_GT(frame, 70) << "the resizes happened during the game";

    // An Enter typed during the game does not answer the prompt; the end
    // of input does.
    writeAll(in[1], "\r");
    close(in[1]);
    print("\nKilepeshez nyomjon ENTER-t");
    EXPECT_EQ(readChar(), EOF);
    pump();
    EXPECT_EQ(screen.differences(session.screen(), render), "");
    for (int y = gameRows; y < 30; ++y)
        EXPECT_EQ(screen.rowText(y), "") << "row " << y;
    setCurrentSession(nullptr);
    for (int fd : {in[0], out[0], out[1]})
        close(fd);
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

} // namespace
} // namespace term
