// SPDX-License-Identifier: MIT
// The board redraw, piece drawing and the side panel.
#include "display/console.hpp"
#include "display/draw.hpp"
#include "fixture.hpp"

using Drawing = Fresh;

TEST_F(Drawing, BoardRedrawWritesOnlyCellsThatDiffer) {
    print("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    Player p = playerWith(0, 8, 1);
    drawTable(p);
    EXPECT_EQ("\xB2" + std::string(18, ' ') + "\xB2UVWXYZ0123456789", mem::rowText(0, 0, 36))
        << "stray text is overwritten inside the board only";
    long long before = screen().writes;
    drawTable(p);
    EXPECT_EQ(before, screen().writes) << "a screen that matches needs no writes";
    p.table[7][3] = cellSolid;
    drawTable(p);
    EXPECT_EQ(before + 1, screen().writes);
    EXPECT_EQ(cellSolid, charAt(3, 7));
    EXPECT_EQ(11, screen().screen[13][10].attr);
}

TEST_F(Drawing, OnlyPieceCellsOnTheBoardAreDrawn) {
    drawBlock(playerWith(0, 2, -3));
    EXPECT_EQ(0, screen().writes) << "a fresh square is all above the board";
    drawBlock(playerWith(1, 2, -3, 30, 2, 12));
    EXPECT_EQ(1, screen().writes);
    EXPECT_EQ(1, mem::countCells(cellSolid, 12, 34, 0, 34, 0));
    EXPECT_EQ(0, screen().cursorX + screen().cursorY) << "parked at (0, 0)";
}

TEST_F(Drawing, EraseThenDrawRestoresThePicture) {
    Player p = playerWith(3, 6, 4, 30, 2, 12);
    drawTable(p);
    drawBlock(p);
    mem::Backend shown = screen();
    setColor(7);
    deleteBlock(p);
    EXPECT_EQ(0, mem::countCells(cellSolid, 12, 30, 0, 49, 14));
    EXPECT_EQ(4, mem::countCells(' ', 7, 30, 0, 49, 14)) << "spaces in the current attribute";
    drawBlock(p);
    for (int y = 0; y < mapHeight; ++y)
        for (int x = 30; x < 50; ++x)
            EXPECT_TRUE(shown.screen[y][x].code == screen().screen[y][x].code &&
                        shown.screen[y][x].attr == screen().screen[y][x].attr);
}

TEST_F(Drawing, SidePanelOfPlayerTwo) {
    Player p = playerWith(0, 2, -3, 30, 2, 12);
    p.nb = 1; // the bar
    p.score = 18;
    drawWorld(p);
    EXPECT_EQ("Score: 18", mem::rowText(15, 30, 9));
    EXPECT_EQ("Next:", mem::rowText(0, 51, 5));
    EXPECT_EQ(4, mem::countCells(cellSolid, 12, 53, 2, 53, 5));
    EXPECT_EQ(21, mem::countCells(' ', 12, 51, 2, 55, 6)) << "spaces overwrite the old preview";
    EXPECT_EQ(15, screen().cursorY);
}
