// The board redraw, piece drawing and the side panel.
#include "display/console.hpp"
#include "display/draw.hpp"
#include "support/fixture.hpp"

using BoardRedraw = Fresh;
using PieceDrawing = Fresh;

TEST_F(BoardRedraw, WritesOnlyCellsThatDiffer) {
    Player p = playerWith(0, 8, 1, 30);
    drawTable(p);
    EXPECT_EQ(mapWidth * mapHeight - 18 * 13, screen().writes)
        << "a blank screen already shows the empty cells";
    EXPECT_EQ(cellWall, charAt(30, 0));
    EXPECT_EQ(11, screen().screen[13][40].attr);

    long long before = screen().writes;
    drawTable(p);
    EXPECT_EQ(before, screen().writes) << "a screen that matches needs no writes";

    p.table[7][3] = cellSolid;
    drawTable(p);
    EXPECT_EQ(before + 1, screen().writes);
    EXPECT_EQ(cellSolid, charAt(33, 7));
    EXPECT_EQ(34, screen().cursorX) << "no parking after the redraw";
}

TEST_F(BoardRedraw, OverwritesStrayTextOnlyInsideTheBoard) {
    print("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    Player p = playerWith(0, 8, 1);
    drawTable(p);
    EXPECT_EQ(std::string(1, char(cellWall)) + std::string(18, ' ') +
                  std::string(1, char(cellWall)) + "UVWXYZ0123456789",
              mem::rowText(0, 0, 36));
}

TEST_F(PieceDrawing, OnlyCellsOnTheBoardAreDrawn) {
    Player square = playerWith(0, 2, -3);
    drawBlock(square);
    EXPECT_EQ(0, screen().writes) << "a fresh square is all above the board";
    Player bar = playerWith(1, 2, -3, 30, 2, 12);
    drawBlock(bar);
    EXPECT_EQ(1, screen().writes);
    EXPECT_EQ(1, mem::countCells(cellSolid, 12, 34, 0, 34, 0));
    EXPECT_EQ(0, screen().cursorX);
    EXPECT_EQ(0, screen().cursorY);
}

TEST_F(PieceDrawing, EraseThenDrawRestoresThePicture) {
    Player p = playerWith(3, 6, 4, 30, 2, 12);
    drawTable(p);
    drawBlock(p);
    mem::Backend shown = screen();
    setColor(7);
    deleteBlock(p);
    EXPECT_EQ(0, mem::countCells(cellSolid, 12, 30, 0, 49, 14));
    EXPECT_EQ(7, screen().attr) << "erasing keeps the current attribute";
    EXPECT_EQ(4, mem::countCells(' ', 7, 30, 0, 49, 14));
    drawBlock(p);
    for (int y = 0; y < mapHeight; ++y)
        for (int x = 30; x < 50; ++x) {
            EXPECT_EQ(shown.screen[y][x].code, screen().screen[y][x].code);
            EXPECT_EQ(shown.screen[y][x].attr, screen().screen[y][x].attr);
        }
}

TEST_F(PieceDrawing, SidePanelOfPlayerTwo) {
    Player p = playerWith(0, 2, -3, 30, 2, 12);
    p.nb = 1; // the bar
    p.score = 18;
    drawWorld(p);
    EXPECT_EQ("Score: 18", mem::rowText(15, 30, 9));
    EXPECT_EQ("Next:", mem::rowText(0, 51, 5));
    EXPECT_EQ(4, mem::countCells(cellSolid, 12, 51, 2, 55, 6));
    EXPECT_EQ(4, mem::countCells(cellSolid, 12, 53, 2, 53, 5));
    EXPECT_EQ(21, mem::countCells(' ', 12, 51, 2, 55, 6)) << "spaces overwrite the old preview";
    EXPECT_EQ(0, screen().cursorX);
    EXPECT_EQ(15, screen().cursorY);
}
