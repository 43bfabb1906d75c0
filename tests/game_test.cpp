// SPDX-License-Identifier: MIT
// Whole frames and whole games on the in-memory back end.
#include <cstring>

#include "display/draw.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "support/fixture.hpp"

namespace {

class Frames : public Fresh {
protected:
    Game g;
    void SetUp() override {
        Fresh::SetUp();
        startGame(g);
    }
    static void give(Player& p, int type, int bx, int by) {
        p.bt = type;
        std::memcpy(p.block, shapeOf(type), sizeof p.block);
        p.bx = bx;
        p.by = by;
    }
    // Plays frames until `count` have run or the game ends; false if it ended.
    bool play(int count) {
        for (int n = 0; n < count; ++n)
            if (!playFrame(g))
                return false;
        return true;
    }
};

} // namespace

TEST_F(Frames, FirstFrameBringsBothPiecesInAndDrawsThem) {
    ASSERT_TRUE(play(1));
    EXPECT_EQ(-2, g.p1.by);
    EXPECT_EQ(-2, g.p2.by);
    // Every shape shows at least one cell in row 0 at this height.
    EXPECT_GE(mem::countCells(cellSolid, 11, 3, 0, 5, 0), 1);
    EXPECT_GE(mem::countCells(cellSolid, 12, 33, 0, 35, 0), 1);
    EXPECT_EQ("Next:", mem::rowText(0, 21, 5));
    EXPECT_EQ("Score: 0", mem::rowText(15, 30, 8));
}

TEST_F(Frames, PieceFallsEveryTenFramesAndLocksOnArrival) {
    give(g.p1, 1, 2, -3); // bar: lowest cell in row 12 when by is 9
    int next = g.p1.nb;
    for (int step = 0; step <= 10; ++step) {
        ASSERT_TRUE(play(1));
        EXPECT_EQ(-2 + step, g.p1.by);
        ASSERT_TRUE(play(9));
    }
    EXPECT_EQ(0, solidCells(g.p1, 0, 12));
    ASSERT_TRUE(play(1)); // arrives on the floor and locks in the same frame
    EXPECT_EQ(4, solidCells(g.p1, 9, 12));
    EXPECT_EQ(-3, g.p1.by);
    EXPECT_EQ(next, g.p1.bt);
}

TEST_F(Frames, BlockedSoftDropRestartsTheRhythmForBoth) {
    give(g.p1, 0, 2, 9); // one row above the floor
    give(g.p2, 0, 2, 2);
    g.tick = 3;
    mem::holdKey(vkDown, 0, 0);
    mem::holdKey(vkS, 0, 1); // free: moves player two down without touching tick
    ASSERT_TRUE(play(1));
    EXPECT_EQ(51, g.tick);
    EXPECT_EQ(4, solidCells(g.p1, 11, 12)) << "player one locked";
    EXPECT_EQ(4, g.p2.by) << "a soft drop and an extra gravity step";
    ASSERT_TRUE(play(9));
    EXPECT_EQ(5, g.p2.by);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(6, g.p2.by) << "the next gravity frame is ten frames later";
}

TEST_F(Frames, RotationOnlyInEvenFramesAndNeverIntoAWall) {
    give(g.p1, 1, 2, 3);
    give(g.p2, 1, -1, 4); // bar in column 1; turned, it would reach column 0
    g.tick = 1;
    mem::holdKey(vkUp, 0, 1);
    mem::holdKey(vkW, 0, 1);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(cellSolid, g.p1.block[0][2]) << "odd frame: not turned";
    ASSERT_TRUE(play(1));
    EXPECT_EQ(cellSolid, g.p1.block[2][4]);
    EXPECT_EQ(0, std::memcmp(g.p2.block, block2, sizeof g.p2.block));
    EXPECT_EQ(4, mem::countCells(cellSolid, 12, 31, 4, 31, 7)) << "repainted in place";
}

TEST_F(Frames, BothPlayersMoveInTheSameFrameUntilWallOrStack) {
    give(g.p1, 0, 2, 4);
    give(g.p2, 0, 2, 4);
    g.p1.table[6][3] = cellSolid; // the square would rest on it one column left
    g.tick = 1;
    mem::holdKey(vkLeft, 0, 5);
    mem::holdKey(vkA, 0, 5);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(1, g.p2.bx);
    EXPECT_EQ(2, g.p1.bx) << "refused: it would rest on the stack";
    ASSERT_TRUE(play(5));
    EXPECT_EQ(-1, g.p2.bx) << "the left wall stops it";
}

TEST_F(Frames, ClearScoresAndSendsOnePenaltyCell) {
    fillRow(g.p1, 12, {4});
    fillRow(g.p1, 11, {4, 9});
    give(g.p1, 1, 2, 8); // bar in column 4; lands in row 12 this frame
    g.tick = 10;
    ASSERT_TRUE(play(1));
    EXPECT_EQ(18, g.p1.score);
    EXPECT_EQ(1, solidCells(g.p2, 6, 9));
    EXPECT_EQ(cellEmpty, g.p1.table[12][9]) << "the partial row moved down";
    EXPECT_EQ("Score: 0", mem::rowText(15, 0, 8)) << "the panel was drawn before the lock";
    ASSERT_TRUE(play(10));
    EXPECT_EQ("Score: 18", mem::rowText(15, 0, 9));
}

// Player two's bar hangs in column 3 over rows 6..9, each full but for
// column 3 and columns 10..13. A penalty in a random column of 10..13 leaves
// the bar falling; any other column sends it under the bar, which locks at once.
TEST_F(Frames, PenaltyFromPlayerOneCanLockPlayerTwoAtOnce) {
    for (bool underTheBar : {true, false}) {
        SetUp();
        fillRow(g.p1, 12, {4});
        give(g.p1, 1, 2, 8);
        give(g.p2, 1, 1, 4);
        for (int y = 6; y <= 9; ++y)
            fillRow(g.p2, y, {3, 10, 11, 12, 13});
        g.tick = 10;
        drawTable(g.p2);
        for (unsigned seed = 1;; ++seed) { // the penalty draws come first in this frame
            int y = 0;
            int x = 0;
            peekPenalty(seed, y, x);
            if ((x < 10 || x > 13) == underTheBar)
                break;
        }
        ASSERT_TRUE(play(1));
        EXPECT_EQ(underTheBar, g.p2.by == -3);
        EXPECT_EQ(underTheBar, g.p2.table[5][3] == cellSolid);
    }
}

TEST_F(Frames, TopOutEndsTheGameAndSparesPlayerTwo) {
    give(g.p1, 1, 2, -3);
    g.p1.table[1][4] = cellSolid; // the bar lands on it with its lowest cell in row 0
    give(g.p2, 0, 2, 9);          // would lock in the same frame
    ASSERT_FALSE(play(1));
    EXPECT_EQ("Game Over", mem::rowText(16, 0, 9));
    EXPECT_EQ(0, solidCells(g.p2, 0, 12)) << "player two's lock test never ran";
    closeGame();
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(17, 0, 26));
    EXPECT_EQ(11, screen().screen[17][25].attr) << "in the loser's attribute";
}

TEST(WholeGame, PlaysItselfOutToGameOver) {
    mem::reset();
    runGame();
    auto& b = mem::backend();
    EXPECT_EQ(1, b.readChars);
    ASSERT_EQ("Game Over", mem::rowText(16, 0, 9));
    short loser = b.screen[16][0].attr;
    EXPECT_TRUE(loser == 11 || loser == 12);
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(17, 0, 26));
    EXPECT_EQ(loser, b.screen[17][0].attr);
    EXPECT_EQ(17, b.promptY);
    EXPECT_GT(b.frame, 100);
}

TEST(WholeGame, EscapeEndsAfterTheReadoutsWithAGreyPrompt) {
    mem::reset();
    mem::holdKey(vkEscape, 30, 30);
    runGame();
    auto& b = mem::backend();
    EXPECT_EQ(31, b.frame);
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(20, 0, 26));
    EXPECT_EQ(7, b.screen[20][5].attr);
    EXPECT_EQ(1, b.readChars);
}
