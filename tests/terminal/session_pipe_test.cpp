// Whole games through pipes: every frame's output goes into a real
// terminal emulator, which must then show exactly what the screen buffer
// holds, cell by cell, glyph and colour, also after the terminal is resized.
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "display/console.hpp"
#include "fake_terminal.hpp"
#include "game/game.hpp"
#include "game/platform.hpp"
#include "session.hpp"
#include "vterm_screen.hpp"

namespace term {
namespace {

using namespace sent;

void writeAll(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Keys for one frame, as a terminal without the kitty protocol sends them:
// each of the eight game keys with a chance of one in `odds`, the drop keys
// more often so that games end.
std::string randomKeys(unsigned& state) {
    static const char* const keys[] = {"\x1b[A", "\x1b[D", "\x1b[C", "\x1b[B", "w", "a", "d", "s"};
    static const int odds[] = {6, 4, 4, 3, 6, 4, 4, 3};
    std::string out;
    for (int k = 0; k < 8; ++k) {
        state = state * 1103515245u + 12345u;
        if ((state >> 16) % static_cast<unsigned>(odds[k]) == 0)
            out += keys[k];
    }
    return out;
}

class PipedGame : public testing::TestWithParam<RenderOptions> {
protected:
    void SetUp() override {
        ASSERT_EQ(pipe(in_), 0);
        ASSERT_EQ(pipe(out_), 0);
        fcntl(out_[0], F_SETFL, O_NONBLOCK);
        SessionOptions o;
        o.inFd = in_[0];
        o.outFd = out_[1];
        o.render = GetParam();
        session_ = new TerminalSession(o);
        setCurrentSession(session_);
    }
    void TearDown() override {
        setCurrentSession(nullptr);
        delete session_;
        for (int fd : {in_[0], in_[1], out_[0], out_[1]})
            close(fd);
    }

    // Everything written so far, into the emulator and `all_`.
    void pump() {
        char bytes[65536];
        ssize_t n;
        while ((n = read(out_[0], bytes, sizeof bytes)) > 0) {
            std::string_view chunk(bytes, static_cast<std::size_t>(n));
            screen_.feed(chunk);
            all_.append(chunk);
        }
    }

    void resize(int columns, int rows) {
        session_->resize(columns, rows);
        screen_.resize(columns, rows);
    }

    int in_[2] = {-1, -1};
    int out_[2] = {-1, -1};
    TerminalSession* session_ = nullptr;
    VtermScreen screen_{80, 24};
    std::string all_;
};

TEST_P(PipedGame, EveryFrameShowsTheBufferAndTheFinalPictureFollowsOnTheNormalScreen) {
    // Pipes have no echo: tmux's reply can wait in the pipe for the query.
    writeAll(in_[1], "\x1b[?1;2c");
    ASSERT_TRUE(session_->start());
    EXPECT_FALSE(session_->kitty());
    pump();

    std::srand(5);
    Game g;
    startGame(g);
    unsigned keys = 99;
    bool going = true;
    int frame = 0;
    for (; going && frame < 5000; ++frame) {
        if (frame == 60)
            resize(40, 15);
        if (frame == 70)
            resize(100, 30);
        writeAll(in_[1], randomKeys(keys));
        // Most frames run with no delay and never sleep; some sleep 1 ms.
        g.sleep_value = frame % 7 == 0 ? 1 : 0;
        long long writes = session_->counters().writes;
        going = playFrame(g);
        pump();
        EXPECT_LE(session_->counters().writes - writes, 2) << "frame " << frame;
        // A top-out leaves the frame without a further call; the picture
        // goes out with the prompt.
        if (!going)
            break;
        if (frame >= 60 && frame < 70) {
            ASSERT_EQ(screen_.rowText(0), sizeNotice(40, 15)) << "frame " << frame;
            continue;
        }
        ASSERT_EQ(screen_.differences(session_->screen(), GetParam()), "") << "frame " << frame;
    }
    EXPECT_FALSE(going) << "the game ends by a top-out";
    EXPECT_GT(frame, 70) << "the resizes happened during the game";

    // An Enter typed during the game does not answer the prompt; the end
    // of input does.
    writeAll(in_[1], "\r");
    close(in_[1]);
    in_[1] = -1;
    print("\nKilepeshez nyomjon ENTER-t");
    EXPECT_EQ(readChar(), EOF);
    pump();
    ASSERT_EQ(screen_.differences(session_->screen(), GetParam()), "");
    EXPECT_NE(screen_.rowText(16).find("Game Over"), std::string::npos);
    for (int y = gameRows; y < 30; ++y)
        EXPECT_EQ(screen_.rowText(y), "") << "row " << y;

    session_->finish();
    pump();
    std::size_t left = all_.rfind(leaveScreen);
    ASSERT_NE(left, std::string::npos);
    VtermScreen normal(80, 24);
    for (char c : all_.substr(left + std::string_view(leaveScreen).size()))
        normal.feed(c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1));
    EXPECT_EQ(normal.differences(session_->screen(), GetParam()), "");
}

INSTANTIATE_TEST_SUITE_P(Options, PipedGame,
                         testing::Values(RenderOptions{true, true}, RenderOptions{false, false}),
                         [](const testing::TestParamInfo<RenderOptions>& param) {
                             return std::string(param.param.utf8 ? "Utf8" : "Ascii") +
                                    (param.param.color ? "Colour" : "NoColour");
                         });

} // namespace
} // namespace term
