// Colours and cursor moves: the attribute mapping, the shortest forms, and
// that every move lands where it should on a real terminal emulator.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "escapes.hpp"
#include "vterm_screen.hpp"

namespace {

using namespace term::escapes;

std::string change(int from, int to) { return std::string(colourChange(from, to).view()); }
std::string move(int fx, int fy, int tx, int ty) {
    return std::string(cursorMove(fx, fy, tx, ty).view());
}

TEST(Colours, ConsoleBitsMapToAnsiWithBlueAndRedSwapped) {
    // console bits: 1 blue, 2 green, 4 red; ANSI numbers: 1 red, 2 green, 4 blue
    EXPECT_EQ(foregroundParameter(1), 34);  // blue
    EXPECT_EQ(foregroundParameter(2), 32);  // green
    EXPECT_EQ(foregroundParameter(4), 31);  // red
    EXPECT_EQ(foregroundParameter(3), 36);  // blue + green: cyan
    EXPECT_EQ(foregroundParameter(5), 35);  // blue + red: magenta
    EXPECT_EQ(foregroundParameter(6), 33);  // green + red: yellow
    EXPECT_EQ(foregroundParameter(0), 30);
    EXPECT_EQ(foregroundParameter(11), 96); // bright cyan, player one
    EXPECT_EQ(foregroundParameter(12), 91); // bright red, player two
    EXPECT_EQ(foregroundParameter(8), 90);
    EXPECT_EQ(foregroundParameter(15), 97);
    EXPECT_EQ(foregroundParameter(7), 39); // plain grey: the terminal's own
}

TEST(Colours, BackgroundIsTheHighNibble) {
    EXPECT_EQ(backgroundParameter(0x07), 49); // black: the terminal's own
    EXPECT_EQ(backgroundParameter(0x17), 44);
    EXPECT_EQ(backgroundParameter(0x47), 41);
    EXPECT_EQ(backgroundParameter(0x77), 47);
    EXPECT_EQ(backgroundParameter(0x97), 104);
    EXPECT_EQ(backgroundParameter(0xC7), 101);
    EXPECT_EQ(backgroundParameter(0xF0), 107);
    for (int attr = 0; attr < 256; ++attr)
        EXPECT_EQ(backgroundParameter(attr), backgroundParameter((attr & 0xF0) | 7)) << attr;
}

TEST(Colours, ChangesAreTheShortestSgr) {
    EXPECT_EQ(change(7, 7), "");
    EXPECT_EQ(change(7, 11), "\x1b[96m");
    EXPECT_EQ(change(11, 12), "\x1b[91m");
    EXPECT_EQ(change(12, 7), "\x1b[m");
    EXPECT_EQ(change(0x1C, 0x2C), "\x1b[42m");
    EXPECT_EQ(change(0x1C, 0x0B), "\x1b[0;96m"); // shorter than "39;49" style
    // Not knowing the terminal's attribute: always from a reset.
    EXPECT_EQ(change(-1, 7), "\x1b[m");
    EXPECT_EQ(change(-1, 11), "\x1b[0;96m");
    EXPECT_EQ(change(-1, 0x4E), "\x1b[0;93;41m");
}

TEST(CursorMoves, ShortestFormsForTheCommonCases) {
    EXPECT_EQ(move(-1, -1, 0, 0), "\x1b[H");
    EXPECT_EQ(move(-1, -1, 0, 4), "\x1b[5H");
    EXPECT_EQ(move(-1, -1, 9, 0), "\x1b[;10H");
    EXPECT_EQ(move(-1, -1, 10, 5), "\x1b[6;11H");
    EXPECT_EQ(move(3, 5, 3, 5), "");
    EXPECT_EQ(move(3, 5, 4, 5), "\x1b[C");
    EXPECT_EQ(move(3, 5, 12, 5), "\x1b[9C");
    EXPECT_EQ(move(9, 5, 7, 5), "\b\b");
    EXPECT_EQ(move(30, 5, 0, 5), "\r");
    EXPECT_EQ(move(30, 5, 0, 6), "\r\n");
    EXPECT_EQ(move(30, 5, 1, 6), "\r\n\x1b[C");
    EXPECT_EQ(move(30, 5, 2, 6), "\x1b[7;3H"); // a tie goes to the absolute move
    EXPECT_EQ(move(3, 5, 3, 4), "\x1b[A");
    EXPECT_EQ(move(40, 20, 0, 0), "\x1b[H");
}

// Any move, from anywhere the renderer may know the cursor to be, lands on
// its target in a real terminal emulator, whatever the terminal's width.
TEST(CursorMoves, EveryMoveLandsOnItsTarget) {
    std::mt19937 random(7);
    for (int columns : {56, 80}) {
        term::VtermScreen vt(columns, 24);
        for (int i = 0; i < 3000; ++i) {
            int fx = static_cast<int>(random() % 56), fy = static_cast<int>(random() % 21);
            int tx = static_cast<int>(random() % 56), ty = static_cast<int>(random() % 21);
            vt.feed(move(-1, -1, fx, fy));
            ASSERT_EQ(vt.cursorX(), fx);
            ASSERT_EQ(vt.cursorY(), fy);
            std::string m = move(fx, fy, tx, ty);
            vt.feed(m);
            ASSERT_EQ(vt.cursorX(), tx) << "from " << fx << "," << fy;
            ASSERT_EQ(vt.cursorY(), ty) << "from " << fx << "," << fy;
            EXPECT_LE(m.size(), move(-1, -1, tx, ty).size()); // never worse than CUP
        }
    }
}

// With the terminal's output processing on, each LF also returns the
// carriage; the moves that use LF come out the same.
TEST(CursorMoves, LineMovesDoNotDependOnOutputProcessing) {
    term::VtermScreen vt(80, 24);
    for (int down = 1; down <= 3; ++down) {
        for (int tx : {0, 1, 7}) {
            std::string m = move(20, 4, tx, 4 + down);
            std::string crlf;
            for (char c : m)
                crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
            vt.feed(move(-1, -1, 20, 4) + crlf);
            EXPECT_EQ(vt.cursorX(), tx);
            EXPECT_EQ(vt.cursorY(), 4 + down);
        }
    }
}

} // namespace
