// SPDX-License-Identifier: MIT
// The console's screen buffer, which the game reads back, and the glyphs
// its codes show as.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "display/screen_buffer.hpp"
#include "platform/terminal/glyphs.hpp"

namespace {

using namespace term;

TEST(ScreenBuffer, ReadsBackTheCodesWrittenAndDropsWhatFallsOffTheGrid) {
    ScreenBuffer s;
    EXPECT_EQ(s.cell(pictureColumns - 1, pictureRows - 1), (Cell{' ', 7})); // never written
    s.gotoxy(-2, 3); // the first two codes fall off the left edge
    s.setColor(11);
    s.write("ab\xDB");
    s.putChar(0);
    s.putChar(0x1B2); // only the low byte is a code
    EXPECT_EQ(s.cell(0, 3), (Cell{219, 11}));
    EXPECT_EQ(s.charAt(1, 3), 0);
    EXPECT_EQ(s.charAt(2, 3), 178);
    s.gotoxy(pictureColumns - 1, 5);
    s.write("AB\n\nC"); // no wrap at the edge; a line feed starts the next row
    EXPECT_EQ(s.charAt(pictureColumns - 1, 5), 'A');
    EXPECT_EQ(s.charAt(0, 7), 'C');
    for (auto [x, y] :
         {std::pair{-1, 0}, {pictureColumns, 0}, {0, -1}, {0, pictureRows}, {-500, 9999}}) {
        s.gotoxy(x, y);
        s.write("X");
    }
    int written = 0;
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x)
            written += !(s.cell(x, y) == Cell{' ', 7});
    EXPECT_EQ(written, 5); // three on row 3, 'A' and 'C'
}

// What copies the cells out copies them again only when the generation moved.
TEST(ScreenBuffer, TheGenerationMovesWithEveryChangeAndOnlyThen) {
    ScreenBuffer s;
    std::uint64_t was = s.generation();
    auto moved = [&] {
        bool did = s.generation() != was;
        was = s.generation();
        return did;
    };
    s.gotoxy(3, 4);
    s.write("ab");
    EXPECT_TRUE(moved());
    s.gotoxy(3, 4);
    s.write("ab");
    EXPECT_FALSE(moved()) << "the same cells written again";
    s.gotoxy(-1, 4);
    s.write("x");
    EXPECT_FALSE(moved()) << "off the grid";
    s.gotoxy(4, 4);
    s.setColor(12);
    s.putChar('b');
    EXPECT_TRUE(moved()) << "a colour alone";
    ScreenBuffer other = s;
    s = other;
    EXPECT_TRUE(moved()) << "cells put in whole";
}

TEST(Glyphs, CodePageInUtf8AndLegibleAsciiStandIns) {
    std::set<std::string> seen;
    for (int code = 1; code < 256; ++code) {
        std::string g = glyphOf(static_cast<unsigned char>(code), true);
        EXPECT_EQ(g == std::string(1, static_cast<char>(code)), code >= 32 && code < 127) << code;
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 255U); // pictures for 1..31 and 127, each code its own
    EXPECT_STREQ(glyphOf(0, true), " ");
    EXPECT_STREQ(glyphOf(0, false), " ");
    for (auto [code, glyph] : {std::pair{178, "\u2593"},
                               {219, "\u2588"},
                               {176, "\u2591"},
                               {179, "\u2502"},
                               {196, "\u2500"},
                               {218, "\u250C"},
                               {128, "\u00C7"}})
        EXPECT_STREQ(glyphOf(static_cast<unsigned char>(code), true), glyph) << code;
    // In ASCII, wall, piece and empty cell still look different.
    EXPECT_EQ((std::set<std::string>{glyphOf(178, false), glyphOf(219, false), " "}).size(), 3U);
}

} // namespace
