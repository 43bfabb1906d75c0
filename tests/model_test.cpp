// Spawning and the piece rules.
#include <cstdlib>
#include <cstring>

#include "support/fixture.hpp"

using Spawn = Fresh;
using PieceRules = Fresh;

TEST_F(Spawn, InitPlayerCopiesTemplateAndDrawsTwoTypesInOrder) {
    std::srand(99);
    int first = std::rand() % 4;
    int second = std::rand() % 4;
    std::srand(99);
    Player p;
    std::memset(&p, 0x55, sizeof p);
    initPlayer(p, 30, 0, 2, 12);
    EXPECT_EQ(0, std::memcmp(p.table, masterTable, sizeof p.table));
    EXPECT_EQ(0, p.table[14][7]);
    EXPECT_EQ(0, p.score);
    EXPECT_EQ(first, p.bt);
    EXPECT_EQ(second, p.nb);
    EXPECT_EQ(0, std::memcmp(p.block, shapeOf(first), sizeof p.block));
    EXPECT_EQ(2, p.bx);
    EXPECT_EQ(-3, p.by);
    EXPECT_EQ(30, p.ox);
    EXPECT_EQ(2, p.id);
    EXPECT_EQ(12, p.color);
}

TEST_F(Spawn, NewBlockTakesThePreviewedType) {
    Player p;
    initPlayer(p, 0, 0, 1, 11);
    for (int n = 0; n < 20; ++n) {
        int previewed = p.nb;
        p.bx = 9;
        p.by = 5;
        newBlock(p);
        EXPECT_EQ(previewed, p.bt);
        EXPECT_EQ(0, std::memcmp(p.block, shapeOf(previewed), sizeof p.block));
        EXPECT_EQ(2, p.bx);
        EXPECT_EQ(-3, p.by);
    }
}

TEST_F(Spawn, OnlyAFreshBarReachesTheBoard) {
    for (int type = 0; type < 4; ++type) {
        Player p = playerWith(type, 2, -3);
        placeBlock(p);
        EXPECT_EQ(type == 1 ? 1 : 0, solidCells(p, 0, 12)) << "type " << type;
        EXPECT_EQ(type == 1 ? cellSolid : cellEmpty, p.table[0][4]);
    }
}

TEST_F(PieceRules, CollidedLooksOnlyDirectlyBelowSolidCells) {
    Player square = playerWith(0, 5, 10); // columns 7..8, rows 11..12: on the floor
    EXPECT_EQ(1, collided(square));
    square.by = 8; // rows 9..10
    EXPECT_EQ(0, collided(square));
    square.table[12][7] = cellSolid; // two rows below
    square.table[11][9] = cellSolid; // below and beside
    EXPECT_EQ(0, collided(square));
    square.table[11][8] = cellSolid; // directly below a solid cell
    EXPECT_EQ(1, collided(square));

    Player overlapping = playerWith(0, 5, 3);
    overlapping.table[4][7] = cellSolid; // under the piece itself
    EXPECT_EQ(0, collided(overlapping));
}

TEST_F(PieceRules, WallsCountFromRowMinusOneDown) {
    Player bar = playerWith(1, -2, -6); // bar in column 0, rows -6..-3
    for (int bottom = -3; bottom <= 13; ++bottom) {
        bar.by = bottom - 3;
        int expected = bottom >= -1 ? 1 : 0;
        EXPECT_EQ(expected, checkWallColl(bar)) << "bottom row " << bottom;
        EXPECT_EQ(expected, collided(bar)) << "bottom row " << bottom;
    }
    Player right = playerWith(1, 17, -2); // column 19, lowest cell row 1
    EXPECT_EQ(1, checkWallColl(right));
    right.by = -5; // lowest cell row -2
    EXPECT_EQ(0, checkWallColl(right));
    Player inside = playerWith(3, 6, 4);
    EXPECT_EQ(0, checkWallColl(inside));
}

TEST_F(PieceRules, RotationTurnsClockwiseAboutTheCentre) {
    for (int type = 0; type < 4; ++type) {
        Player p = playerWith(type, 4, 4);
        for (int n = 0; n < 4; ++n)
            rotateBlock(p);
        EXPECT_EQ(0, std::memcmp(p.block, shapeOf(type), sizeof p.block)) << "type " << type;
    }
    Player bar = playerWith(1, 4, 4);
    rotateBlock(bar);
    for (int r = 0; r < blockHeight; ++r)
        for (int c = 0; c < blockWidth; ++c)
            EXPECT_EQ(r == 2 && c >= 1 ? cellSolid : cellEmpty, bar.block[r][c]) << r << "," << c;
    Player foot = playerWith(2, 4, 4); // the top goes right, the foot down
    rotateBlock(foot);
    EXPECT_EQ(cellSolid, foot.block[2][4]);
    EXPECT_EQ(cellSolid, foot.block[3][2]);
    EXPECT_EQ(cellEmpty, foot.block[0][2]);
    EXPECT_EQ(cellEmpty, foot.block[2][1]);
}

TEST_F(PieceRules, PlaceBlockOverwritesAndDropsCellsOffTheBoard) {
    Player p = playerWith(3, 16, 11); // row of three reaches column 19, the wall
    p.table[13][18] = 42;
    placeBlock(p);
    EXPECT_EQ(cellSolid, p.table[12][18]);
    EXPECT_EQ(cellSolid, p.table[13][17]);
    EXPECT_EQ(cellSolid, p.table[13][18]);
    EXPECT_EQ(cellSolid, p.table[13][19]);

    Player off = playerWith(2, -2, 12); // over the left wall, the floor and row 14
    placeBlock(off);
    EXPECT_EQ(cellSolid, off.table[12][0]);
    EXPECT_EQ(cellSolid, off.table[13][0]);
    EXPECT_EQ(cellSolid, off.table[14][0]);
    EXPECT_EQ(cellSolid, off.table[14][1]);
}

TEST_F(PieceRules, GameOverOnlyForPlayingCellsOfRowZero) {
    Player p = playerWith(0, 5, 5);
    EXPECT_EQ(0, checkGameOver(p));
    p.table[1][9] = cellSolid;
    EXPECT_EQ(0, checkGameOver(p));
    p.table[0][0] = 42;
    p.table[0][19] = 42;
    EXPECT_EQ(0, checkGameOver(p));
    p.table[0][18] = cellSolid;
    EXPECT_EQ(1, checkGameOver(p));
    p.table[0][18] = cellEmpty;
    p.table[0][1] = 0;
    EXPECT_EQ(1, checkGameOver(p));
}
