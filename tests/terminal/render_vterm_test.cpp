// The renderer through a real terminal emulator: whatever the game writes,
// rendered in any order, the terminal ends up showing the screen buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "game_frames.hpp"
#include "screen.hpp"
#include "vterm_screen.hpp"

namespace {

using namespace term;

// A seeded random script of the console calls the game makes, with the odd
// write off the grid, newlines and every code.
class Script {
public:
    explicit Script(unsigned seed) : random_(seed) {}

    void step(ScreenBuffer& s) {
        switch (pick(10)) {
        case 0:
            s.gotoxy(pick(64) - 4, pick(28) - 4);
            break;
        case 1: {
            static constexpr short usual[] = {7, 11, 12, 7, 11, 12, 0x1E, 0x70};
            s.setColor(pick(4) == 0 ? static_cast<short>(pick(256)) : usual[pick(8)]);
            break;
        }
        case 2:
        case 3:
            s.write(text().c_str());
            break;
        default: {
            static constexpr int usual[] = {32, 178, 219, 0, 32, 219};
            s.putChar(pick(5) == 0 ? pick(256) : usual[pick(6)]);
        }
        }
    }
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

private:
    std::string text() {
        static constexpr char letters[] = "Score: 0123456789Next\n\xB2\xDB\x01\x7F\xFF";
        std::string t;
        for (int n = 1 + pick(8); n > 0; --n)
            t += letters[pick(sizeof letters - 1)];
        return t;
    }
    std::mt19937 random_;
};

struct Mode {
    RenderOptions options;
    int columns;
    int rows;
};

std::string describe(const Mode& m) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %dx%d", m.options.utf8 ? "utf8" : "ascii",
                  m.options.color ? "colour" : "plain", m.columns, m.rows);
    return text;
}

const Mode modes[] = {
    {{true, true}, 80, 24},  {{false, true}, 80, 24}, {{true, false}, 80, 24},
    {{false, false}, 80, 24}, {{true, true}, 56, 21},  {{false, true}, 56, 21},
};

TEST(RenderThroughVterm, RandomEditsWithRendersInBetween) {
    for (const Mode& mode : modes) {
        SCOPED_TRACE(describe(mode));
        Script script(11);
        ScreenBuffer screen;
        Renderer renderer(mode.options);
        renderer.resize(mode.columns, mode.rows);
        VtermScreen vt(mode.columns, mode.rows);
        vt.feed("left over from the shell \x1b[1;41mwith colour\r\n\x1b[4mand more");
        for (int step = 0; step < 1500; ++step) {
            script.step(screen);
            if (script.pick(4) != 0)
                continue;
            std::string out;
            renderer.render(screen, out);
            vt.feed(out);
            ASSERT_EQ(vt.differences(screen, mode.options), "") << "after step " << step;
        }
    }
}

// Every attribute, every code: each cell shows its own glyph and colours.
TEST(RenderThroughVterm, EveryAttributeAndCode) {
    for (const Mode& mode : modes) {
        SCOPED_TRACE(describe(mode));
        ScreenBuffer screen;
        for (int i = 0; i < gameColumns * gameRows; ++i) {
            screen.gotoxy(i % gameColumns, i / gameColumns);
            screen.setColor(static_cast<short>(i % 256));
            screen.putChar((i * 7) % 256);
        }
        Renderer renderer(mode.options);
        renderer.resize(mode.columns, mode.rows);
        std::string out;
        renderer.render(screen, out);
        VtermScreen vt(mode.columns, mode.rows);
        vt.feed(out);
        EXPECT_EQ(vt.differences(screen, mode.options), "");
    }
}

// The terminal changes size under the game: bigger, too small (the notice
// alone), and back, with the game drawing all along.
TEST(RenderThroughVterm, ResizesRepaintFromTheBuffer) {
    for (const Mode& mode : modes) {
        if (mode.columns != 80)
            continue;
        SCOPED_TRACE(describe(mode));
        Script script(5);
        ScreenBuffer screen;
        Renderer renderer(mode.options);
        VtermScreen vt(80, 24);
        auto resize = [&](int columns, int rows) {
            vt.resize(columns, rows);
            renderer.resize(columns, rows);
        };
        auto play = [&](int steps) {
            for (int i = 0; i < steps; ++i)
                script.step(screen);
            std::string out;
            renderer.render(screen, out);
            vt.feed(out);
        };
        resize(80, 24);
        play(200);
        ASSERT_EQ(vt.differences(screen, mode.options), "");
        resize(120, 40);
        play(0);
        EXPECT_EQ(vt.differences(screen, mode.options), "");
        play(100);
        EXPECT_EQ(vt.differences(screen, mode.options), "");

        resize(40, 15);
        play(100);
        EXPECT_EQ(vt.rowText(0), sizeNotice(40, 15));
        for (int y = 1; y < 15; ++y)
            EXPECT_EQ(vt.rowText(y), "") << y;
        resize(50, 30);
        play(100);
        EXPECT_EQ(vt.rowText(0), sizeNotice(50, 30));
        resize(20, 10);
        play(10);
        EXPECT_EQ(vt.rowText(0), sizeNotice(20, 10).substr(0, 20));

        resize(gameColumns, gameRows);
        play(0);
        EXPECT_EQ(vt.differences(screen, mode.options), "");
        play(300);
        EXPECT_EQ(vt.differences(screen, mode.options), "");
        resize(80, 24);
        play(50);
        EXPECT_EQ(vt.differences(screen, mode.options), "");
    }
}

// A game as it is played, frame by frame, and the final picture on the
// normal screen afterwards.
TEST(RenderThroughVterm, RecordedGameAndItsFinalPicture) {
    auto frames = recordGame(3, 400, KeyPlan::BothMoving);
    ASSERT_GT(frames.size(), 300u);
    for (const Mode& mode : modes) {
        SCOPED_TRACE(describe(mode));
        Renderer renderer(mode.options);
        renderer.resize(mode.columns, mode.rows);
        VtermScreen vt(mode.columns, mode.rows);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            std::string out;
            renderer.render(frames[i].screen, out);
            vt.feed(out);
            ASSERT_EQ(vt.differences(frames[i].screen, mode.options), "") << "frame " << i;
        }

        std::string final;
        renderer.renderFinal(frames.back().screen, final);
        std::string withCr; // the terminal's output processing turns LF into CR LF
        for (char c : final)
            withCr += c == '\n' ? std::string("\r\n") : std::string(1, c);
        VtermScreen normal(mode.columns, mode.rows);
        normal.feed(withCr);
        EXPECT_EQ(normal.differences(frames.back().screen, mode.options), "");
        EXPECT_EQ(normal.cursorX(), 0);
    }
}

} // namespace
