// Line clearing, scoring and the penalty cell.
#include <cstdlib>

#include "display/console.hpp"
#include "display/draw.hpp"
#include "support/fixture.hpp"

namespace {

struct Duel {
    Player p1 = playerWith(0, 8, -5, 0, 1, 11); // pieces above the board
    Player p2 = playerWith(0, 8, -5, 30, 2, 12);
    void show() {
        drawTable(p1);
        drawTable(p2);
    }
};

// The row and column the next penalty draws will pick, without using them up.
void peekPenalty(int seed, int& y, int& x) {
    std::srand(seed);
    y = std::rand() % 4 + 6;
    x = std::rand() % 18 + 1;
    std::srand(seed);
}

} // namespace

using LineClear = Fresh;
using Penalty = Fresh;

TEST_F(LineClear, FullRowMovesEverythingAboveDownAndScores) {
    Duel d;
    fillRow(d.p1, 12);
    fillRow(d.p1, 11, {1, 2, 3});
    d.p1.table[10][5] = cellSolid;
    d.p1.table[0][9] = cellSolid;
    d.show();
    checkLines(d.p1, d.p1, d.p2);
    EXPECT_EQ(18, d.p1.score);
    EXPECT_EQ(15, solidCells(d.p1, 12, 12));
    EXPECT_EQ(cellEmpty, d.p1.table[12][2]);
    EXPECT_EQ(cellSolid, d.p1.table[11][5]);
    EXPECT_EQ(cellSolid, d.p1.table[1][9]);
    EXPECT_EQ(cellSolid, d.p1.table[0][9]) << "row 0 keeps what it had";
    EXPECT_EQ(cellWall, d.p1.table[12][0]);
    EXPECT_EQ(1, solidCells(d.p2, 0, 12));
    EXPECT_EQ(1, solidCells(d.p2, 6, 9));
    // Both boards on screen match their tables.
    for (int j = 0; j < mapHeight; ++j)
        for (int i = 0; i < mapWidth; ++i) {
            EXPECT_EQ(d.p1.table[j][i], charAt(i, j));
            EXPECT_EQ(d.p2.table[j][i], charAt(30 + i, j));
        }
}

TEST_F(LineClear, AdjacentRowsAllGoButPenaliseOnce) {
    Duel d;
    fillRow(d.p1, 11);
    fillRow(d.p1, 12);
    fillRow(d.p1, 10, {4});
    d.show();
    checkLines(d.p1, d.p1, d.p2);
    EXPECT_EQ(36, d.p1.score);
    EXPECT_EQ(17, solidCells(d.p1, 0, 12));
    EXPECT_EQ(cellEmpty, d.p1.table[12][4]);
    EXPECT_EQ(1, solidCells(d.p2, 0, 12));
}

TEST_F(LineClear, TopRowIsClearedToSpaces) {
    Duel d;
    fillRow(d.p1, 0);
    checkLines(d.p1, d.p1, d.p2);
    EXPECT_EQ(0, solidCells(d.p1, 0, 12));
    EXPECT_EQ(18, d.p1.score);
}

TEST_F(LineClear, FloorNeverClearsAndNoFullRowTouchesNothingElse) {
    Duel d;
    fillRow(d.p1, 12, {18});
    d.show();
    long long writes = screen().writes;
    checkLines(d.p1, d.p1, d.p2);
    EXPECT_EQ(0, d.p1.score);
    EXPECT_EQ(cellWall, d.p1.table[13][5]);
    EXPECT_EQ(0, solidCells(d.p2, 0, 12));
    EXPECT_EQ(writes, screen().writes) << "only an unchanged board redraw";
}

TEST_F(LineClear, SecondPlayerPenalisesTheFirst) {
    Duel d;
    fillRow(d.p2, 12);
    d.show();
    checkLines(d.p2, d.p1, d.p2);
    EXPECT_EQ(18, d.p2.score);
    EXPECT_EQ(1, solidCells(d.p1, 6, 9));
    EXPECT_EQ(0, solidCells(d.p2, 0, 12));
}

TEST_F(LineClear, OpponentPieceIsRepaintedOverItsRedrawnBoard) {
    Duel d;
    d.p2.by = 5; // square on rows 6..7, columns 10..11
    d.show();
    drawBlock(d.p2);
    fillRow(d.p1, 12);
    checkLines(d.p1, d.p1, d.p2);
    EXPECT_EQ(4, mem::countCells(cellSolid, 12, 40, 6, 41, 7));
}

TEST_F(Penalty, RowNeedsFiveFreeCells) {
    for (int freeCells : {4, 5}) {
        Player p = playerWith(0, 8, 1, 30, 2, 12);
        int y, x;
        peekPenalty(11, y, x);
        fillRow(p, y);
        for (int c = 1; c <= freeCells; ++c)
            p.table[y][c] = cellEmpty;
        drawTable(p);
        addBlock(p);
        EXPECT_EQ(18 - freeCells + (freeCells == 5 ? 1 : 0), solidCells(p, y, y))
            << freeCells << " free cells";
    }
}

TEST_F(Penalty, ScreenDecidesTheColumn) {
    Player p = playerWith(0, 8, 1, 30, 2, 12);
    drawTable(p);
    int y, x;
    peekPenalty(5, y, x);
    addBlock(p);
    EXPECT_EQ(cellSolid, p.table[y][x]) << "free on screen: the random column";

    Player q = playerWith(0, 8, 1, 30, 2, 12);
    peekPenalty(5, y, x);
    q.table[y][1] = cellSolid; // first free column is 2
    drawTable(q);
    gotoxy(30 + x, y);
    putChar(cellSolid); // something shown there, e.g. the falling piece
    addBlock(q);
    EXPECT_EQ(cellSolid, q.table[y][2]) << "taken on screen: the first free column";
    EXPECT_EQ(2, solidCells(q, y, y));
}

TEST_F(Penalty, SpaceShownOverASolidCellAddsNothing) {
    Player p = playerWith(0, 8, 1, 30, 2, 12);
    int y, x;
    peekPenalty(3, y, x);
    p.table[y][x] = cellSolid; // on the board, but blanked on screen
    addBlock(p);
    EXPECT_EQ(1, solidCells(p, 0, 12));
}
