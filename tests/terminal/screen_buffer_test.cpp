// The console's screen buffer: read-back of codes, the cursor, the edges.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "screen.hpp"

namespace {

using term::Cell;
using term::gameColumns;
using term::gameRows;
using term::ScreenBuffer;

bool allCellsAre(const ScreenBuffer& s, Cell expected) {
    for (int y = 0; y < gameRows; ++y)
        for (int x = 0; x < gameColumns; ++x)
            if (!(s.cell(x, y) == expected))
                return false;
    return true;
}

TEST(ScreenBuffer, CellsNeverWrittenReadBackAsSpaces) {
    ScreenBuffer s;
    EXPECT_TRUE(allCellsAre(s, Cell{' ', 7}));
    EXPECT_EQ(s.charAt(0, 0), ' ');
    EXPECT_EQ(s.charAt(gameColumns - 1, gameRows - 1), ' ');
}

TEST(ScreenBuffer, ReadsBackTheCodesWrittenNotGlyphs) {
    ScreenBuffer s;
    s.gotoxy(3, 4);
    s.setColor(11);
    s.putChar(178);
    s.putChar(219);
    s.setColor(12);
    s.putChar(0);
    s.putChar(0x1FF); // only the low byte is a code
    EXPECT_EQ(s.charAt(3, 4), 178);
    EXPECT_EQ(s.charAt(4, 4), 219);
    EXPECT_EQ(s.charAt(5, 4), 0);
    EXPECT_EQ(s.charAt(6, 4), 0xFF);
    EXPECT_EQ(s.cell(4, 4), (Cell{219, 11}));
    EXPECT_EQ(s.cell(5, 4), (Cell{0, 12}));
    EXPECT_EQ(s.cursorX(), 7);
    EXPECT_EQ(s.cursorY(), 4);
}

TEST(ScreenBuffer, WritesOffTheGridAreDroppedAndNeverWrap) {
    ScreenBuffer s;
    s.setColor(12);
    s.gotoxy(gameColumns - 1, 0);
    s.write("AB");
    s.putChar('C');
    EXPECT_EQ(s.charAt(gameColumns - 1, 0), 'A');
    EXPECT_EQ(s.charAt(0, 1), ' '); // no wrap to the next row

    ScreenBuffer t;
    for (auto [x, y] :
         {std::pair{-10, 0}, {0, -1}, {gameColumns, 3}, {2, gameRows}, {-500, 9999}}) {
        t.gotoxy(x, y);
        t.putChar(219);
        t.write("text");
    }
    EXPECT_TRUE(allCellsAre(t, Cell{' ', 7}));
    EXPECT_EQ(t.charAt(-1, 0), ' ');
    EXPECT_EQ(t.charAt(gameColumns, 0), ' ');
    EXPECT_EQ(t.charAt(0, gameRows), ' ');
}

TEST(ScreenBuffer, CursorComesOntoTheGridFromTheLeft) {
    ScreenBuffer s;
    s.gotoxy(-2, 5);
    s.write("abcd");
    EXPECT_EQ(s.charAt(0, 5), 'c');
    EXPECT_EQ(s.charAt(1, 5), 'd');
}

TEST(ScreenBuffer, NewlineGoesToColumnZeroOfTheNextRow) {
    ScreenBuffer s;
    s.gotoxy(10, 2);
    s.write("ab\ncd\n\nef");
    EXPECT_EQ(s.charAt(10, 2), 'a');
    EXPECT_EQ(s.charAt(11, 2), 'b');
    EXPECT_EQ(s.charAt(0, 3), 'c');
    EXPECT_EQ(s.charAt(1, 3), 'd');
    EXPECT_EQ(s.charAt(0, 4), ' ');
    EXPECT_EQ(s.charAt(0, 5), 'e');
    EXPECT_EQ(s.cursorX(), 2);
    EXPECT_EQ(s.cursorY(), 5);

    // Past the right edge, a newline still starts the next row.
    s.gotoxy(gameColumns + 5, 7);
    s.write("xyz\nq");
    EXPECT_EQ(s.charAt(0, 8), 'q');
}

} // namespace
