// SPDX-License-Identifier: MIT
// Line clearing, scoring and the penalty cell.
#include <cstdlib>

#include "display/console.hpp"
#include "display/draw.hpp"
#include "support/fixture.hpp"

namespace {

class Lines : public Fresh {
protected:
    Player p1 = playerWith(0, 8, -5, 0, 1, 11); // pieces above the board
    Player p2 = playerWith(0, 8, -5, 30, 2, 12);
    void show() {
        drawTable(p1);
        drawTable(p2);
    }
};

} // namespace

TEST_F(Lines, FullRowsMoveEverythingAboveDownAndPenaliseOnce) {
    fillRow(p1, 12);
    fillRow(p1, 11);
    fillRow(p1, 10, {1, 2, 3});
    p1.table[9][5] = cellSolid;
    p1.table[0][9] = cellSolid;
    show();
    checkLines(p1, p1, p2);
    EXPECT_EQ(36, p1.score);
    EXPECT_EQ(15, solidCells(p1, 12, 12));
    EXPECT_EQ(cellEmpty, p1.table[12][2]);
    EXPECT_EQ(cellSolid, p1.table[11][5]);
    EXPECT_EQ(cellSolid, p1.table[1][9]);
    EXPECT_EQ(cellSolid, p1.table[0][9]) << "row 0 keeps what it had";
    EXPECT_EQ(1, solidCells(p2, 0, 12));
    EXPECT_EQ(1, solidCells(p2, 6, 9));
    for (int j = 0; j < mapHeight; ++j) // both boards on screen match their tables
        for (int i = 0; i < mapWidth; ++i) {
            EXPECT_EQ(p1.table[j][i], charAt(i, j));
            EXPECT_EQ(p2.table[j][i], charAt(30 + i, j));
        }
}

TEST_F(Lines, TopRowClearsAndPlayerTwoPenalisesPlayerOne) {
    fillRow(p2, 0);
    checkLines(p2, p1, p2);
    EXPECT_EQ(0, solidCells(p2, 0, 12));
    EXPECT_EQ(18, p2.score);
    EXPECT_EQ(1, solidCells(p1, 6, 9));
}

TEST_F(Lines, NoFullRowTouchesNothingElse) {
    fillRow(p1, 12, {18});
    show();
    long long writes = screen().writes;
    checkLines(p1, p1, p2);
    EXPECT_EQ(0, p1.score);
    EXPECT_EQ(0, solidCells(p2, 0, 12));
    EXPECT_EQ(writes, screen().writes) << "only an unchanged board redraw";
}

TEST_F(Lines, OpponentPieceIsRepaintedOverItsRedrawnBoard) {
    p2.by = 5; // square on rows 6..7, columns 10..11
    show();
    drawBlock(p2);
    fillRow(p1, 12);
    checkLines(p1, p1, p2);
    EXPECT_EQ(4, mem::countCells(cellSolid, 12, 40, 6, 41, 7));
}

TEST_F(Lines, PenaltyRowNeedsFiveFreeCells) {
    for (int freeCells : {4, 5}) {
        Player p = playerWith(0, 8, 1, 30, 2, 12);
        int y = 0;
        int x = 0;
        peekPenalty(11, y, x);
        fillRow(p, y);
        for (int c = 1; c <= freeCells; ++c)
            p.table[y][c] = cellEmpty;
        drawTable(p);
        addBlock(p);
        EXPECT_EQ(18 - freeCells + (freeCells == 5), solidCells(p, y, y)) << freeCells;
    }
}

// The screen, not the board, decides whether the random column is taken.
TEST_F(Lines, PenaltyColumnComesFromTheScreen) {
    int y = 0;
    int x = 0;
    peekPenalty(5, y, x);
    drawTable(p2);
    addBlock(p2);
    EXPECT_EQ(cellSolid, p2.table[y][x]) << "free on screen: the random column";

    Player q = playerWith(0, 8, 1, 30, 2, 12);
    peekPenalty(5, y, x);
    q.table[y][1] = cellSolid; // the first free column is 2
    drawTable(q);
    gotoxy(30 + x, y);
    putChar(cellSolid); // something shown there, e.g. the falling piece
    addBlock(q);
    EXPECT_EQ(cellSolid, q.table[y][2]) << "taken on screen: the first free column";
    EXPECT_EQ(2, solidCells(q, y, y));

    Player r = playerWith(0, 8, 1, 30, 2, 12);
    peekPenalty(3, y, x);
    r.table[y][x] = cellSolid; // on the board, but blank on screen
    addBlock(r);
    EXPECT_EQ(1, solidCells(r, 0, 12)) << "written again: nothing gained";
}
