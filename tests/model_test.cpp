// SPDX-License-Identifier: MIT
// Spawning and the piece rules.
#include <cstdlib>
#include <cstring>

#include "support/fixture.hpp"

using Model = Fresh;

TEST_F(Model, InitPlayerCopiesTemplateAndDrawsFirstAndNextTypes) {
    // The first and next types come from the generator: the same seed gives
    // the same pair, and over many seeds every type comes first and next.
    bool seenFirst[4] = {};
    bool seenNext[4] = {};
    for (unsigned seed = 1; seed <= 200; ++seed) {
        Player a;
        Player b;
        std::srand(seed);
        initPlayer(a, 0, 0, 1, 11);
        std::srand(seed);
        initPlayer(b, 0, 0, 1, 11);
        ASSERT_TRUE(a.bt == b.bt && a.nb == b.nb) << seed;
        ASSERT_TRUE(a.bt >= 0 && a.bt < 4 && a.nb >= 0 && a.nb < 4) << seed;
        seenFirst[a.bt] = seenNext[a.nb] = true;
    }
    for (int type = 0; type < 4; ++type)
        EXPECT_TRUE(seenFirst[type] && seenNext[type]) << type;

    std::srand(99);
    Player p;
    std::memset(&p, 0x55, sizeof p);
    initPlayer(p, 30, 0, 2, 12);
    EXPECT_EQ(0, std::memcmp(p.table, masterTable, sizeof p.table));
    EXPECT_EQ(0, p.table[14][7]);
    EXPECT_EQ(0, p.score);
    EXPECT_EQ(0, std::memcmp(p.block, shapeOf(p.bt), sizeof p.block));
    for (int n = 0; n < 20; ++n) { // every later piece is the one previewed
        int previewed = p.nb;
        p.by = 5;
        newBlock(p);
        EXPECT_EQ(previewed, p.bt);
        EXPECT_EQ(0, std::memcmp(p.block, shapeOf(previewed), sizeof p.block));
        EXPECT_EQ(2, p.bx);
        EXPECT_EQ(-3, p.by);
    }
}

TEST_F(Model, CollidedLooksOnlyDirectlyBelowSolidCells) {
    Player square = playerWith(0, 5, 10); // columns 7..8, rows 11..12: on the floor
    EXPECT_EQ(1, collided(square));
    square.by = 8;                   // rows 9..10
    square.table[12][7] = cellSolid; // two rows below
    square.table[11][9] = cellSolid; // below and beside
    square.table[9][7] = cellSolid;  // under the piece itself
    EXPECT_EQ(0, collided(square));
    square.table[11][8] = cellSolid; // directly below a solid cell
    EXPECT_EQ(1, collided(square));
}

// A bar in column 0 (or 19) counts for both tests from row -1 down, never above.
TEST_F(Model, WallsCountFromRowMinusOneDown) {
    for (int bx : {-2, 17}) {
        Player bar = playerWith(1, bx, 0);
        for (int bottom = -3; bottom <= 13; ++bottom) {
            bar.by = bottom - 3;
            EXPECT_EQ(bottom >= -1, checkWallColl(bar)) << bx << " " << bottom;
            EXPECT_EQ(bottom >= -1, collided(bar)) << bx << " " << bottom;
        }
    }
    EXPECT_EQ(0, checkWallColl(playerWith(3, 15, 4))); // column 18: inside
}

TEST_F(Model, RotationTurnsClockwiseAboutTheCentre) {
    for (int type = 0; type < 4; ++type) {
        Player p = playerWith(type, 4, 4);
        for (int n = 0; n < 4; ++n)
            rotateBlock(p);
        EXPECT_EQ(0, std::memcmp(p.block, shapeOf(type), sizeof p.block)) << "type " << type;
    }
    Player foot = playerWith(2, 4, 4); // the top goes right, the foot down
    rotateBlock(foot);
    for (int r = 0; r < blockHeight; ++r)
        for (int c = 0; c < blockWidth; ++c)
            EXPECT_EQ((r == 2 && c >= 2) || (r == 3 && c == 2) ? cellSolid : cellEmpty,
                      foot.block[r][c])
                << r << "," << c;
}

TEST_F(Model, PlaceBlockOverwritesAndDropsCellsOffTheBoard) {
    Player bar = playerWith(1, 2, -3); // a fresh bar shows one cell, in row 0
    placeBlock(bar);
    EXPECT_EQ(1, solidCells(bar, 0, 12));
    EXPECT_EQ(cellSolid, bar.table[0][4]);
    Player off = playerWith(2, -2, 12); // over the left wall, the floor and row 14
    placeBlock(off);
    EXPECT_EQ(cellSolid, off.table[12][0]);
    EXPECT_EQ(cellSolid, off.table[13][0]);
    EXPECT_EQ(cellSolid, off.table[14][0]);
    EXPECT_EQ(cellSolid, off.table[14][1]);
}

TEST_F(Model, GameOverOnlyForPlayingCellsOfRowZero) {
    Player p = playerWith(0, 5, 5);
    p.table[1][9] = cellSolid;
    p.table[0][0] = p.table[0][19] = 42;
    EXPECT_EQ(0, checkGameOver(p));
    p.table[0][18] = cellSolid;
    EXPECT_EQ(1, checkGameOver(p));
    p.table[0][18] = cellEmpty;
    p.table[0][1] = 0;
    EXPECT_EQ(1, checkGameOver(p));
}
