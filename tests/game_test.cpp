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
    void give(Player& p, int type) {
        p.bt = type;
        std::memcpy(p.block, shapeOf(type), sizeof p.block);
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
    EXPECT_EQ(0, mem::countCells(cellSolid, 11, 0, 0, 19, 14));
    ASSERT_TRUE(play(1));
    EXPECT_EQ(-2, g.p1.by);
    EXPECT_EQ(-2, g.p2.by);
    EXPECT_EQ(1, g.tick);
    // Every shape shows at least one cell in row 0 at this height.
    EXPECT_GE(mem::countCells(cellSolid, 11, 3, 0, 5, 0), 1);
    EXPECT_GE(mem::countCells(cellSolid, 12, 33, 0, 35, 0), 1);
    EXPECT_EQ("Next:", mem::rowText(0, 21, 5));
    EXPECT_EQ("Score: 0", mem::rowText(15, 30, 8));
}

TEST_F(Frames, PieceFallsEveryTenFramesAndLocksOnArrival) {
    give(g.p1, 1); // bar: lowest cell in row 12 when by is 9
    int next = g.p1.nb;
    ASSERT_TRUE(play(1));
    for (int step = 1; step <= 10; ++step) {
        ASSERT_TRUE(play(9));
        EXPECT_EQ(-2 + step - 1, g.p1.by);
        ASSERT_TRUE(play(1));
        EXPECT_EQ(-2 + step, g.p1.by);
    }
    EXPECT_EQ(0, solidCells(g.p1, 0, 12));
    ASSERT_TRUE(play(10)); // arrives on the floor and locks in the same frame
    EXPECT_EQ(4, solidCells(g.p1, 9, 12));
    EXPECT_EQ(cellSolid, g.p1.table[12][4]);
    EXPECT_EQ(-3, g.p1.by);
    EXPECT_EQ(next, g.p1.bt);
}

TEST_F(Frames, BlockedSoftDropRestartsTheRhythmForBoth) {
    give(g.p1, 0);
    g.p1.by = 9; // one row above the floor
    g.p2.by = 2;
    g.tick = 3;
    mem::holdKey(vkDown, 0, 0);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(51, g.tick);
    EXPECT_EQ(4, solidCells(g.p1, 11, 12)) << "player one locked";
    EXPECT_EQ(3, g.p2.by) << "player two took an extra gravity step";
    ASSERT_TRUE(play(9));
    EXPECT_EQ(3, g.p2.by);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(4, g.p2.by) << "next gravity frame is ten frames later";
}

TEST_F(Frames, FreeSoftDropLeavesTheRhythmAlone) {
    give(g.p2, 0);
    g.p2.by = 3;
    g.tick = 3;
    mem::holdKey(vkS, 0, 1);
    ASSERT_TRUE(play(2));
    EXPECT_EQ(5, g.p2.by);
    EXPECT_EQ(5, g.tick);
}

TEST_F(Frames, RotationOnlyInEvenFrames) {
    give(g.p1, 1);
    give(g.p2, 0);
    g.p1.by = 3;
    g.tick = 1;
    mem::holdKey(vkUp, 0, 1);
    mem::holdKey(vkW, 0, 1);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(cellSolid, g.p1.block[0][2]) << "odd frame: not turned";
    ASSERT_TRUE(play(1));
    EXPECT_EQ(cellEmpty, g.p1.block[0][2]);
    EXPECT_EQ(cellSolid, g.p1.block[2][4]);
    EXPECT_EQ(0, std::memcmp(g.p2.block, block1, sizeof g.p2.block));
    int rotatePolls = 0;
    for (auto [frame, key] : screen().polls)
        rotatePolls += key == vkUp || key == vkW;
    EXPECT_EQ(2, rotatePolls) << "both rotate keys polled in the even frame only";
}

TEST_F(Frames, RotationIntoTheWallIsUndone) {
    give(g.p1, 1);
    g.p1.bx = -1; // bar in column 1; turned, it would reach column 0
    g.p1.by = 4;
    g.tick = 2;
    mem::holdKey(vkUp, 0, 0);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(0, std::memcmp(g.p1.block, block2, sizeof g.p1.block));
    EXPECT_EQ(4, mem::countCells(cellSolid, 11, 1, 4, 1, 7)) << "repainted in place";
}

TEST_F(Frames, BothPlayersMoveInTheSameFrame) {
    give(g.p1, 0);
    give(g.p2, 0);
    g.p1.by = g.p2.by = 4;
    g.tick = 1;
    mem::holdKey(vkLeft, 0, 2);
    mem::holdKey(vkA, 0, 2);
    mem::holdKey(vkRight, 1, 1);
    ASSERT_TRUE(play(3));
    EXPECT_EQ(0, g.p1.bx) << "left, then right and left again in frame 1, then left";
    EXPECT_EQ(-1, g.p2.bx);
    mem::holdKey(vkA, 3, 10);
    ASSERT_TRUE(play(5));
    EXPECT_EQ(-1, g.p2.bx) << "the left wall stops it";
}

TEST_F(Frames, SidewaysMoveOntoTheStackIsRefused) {
    give(g.p1, 0);
    g.p1.by = 6; // square on rows 7..8, columns 4..5
    g.tick = 1;
    g.p1.table[9][3] = cellSolid;
    mem::holdKey(vkLeft, 0, 0);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(2, g.p1.bx);
}

TEST_F(Frames, ClearScoresAndSendsOnePenaltyCell) {
    give(g.p1, 1);
    fillRow(g.p1, 12, {4});
    fillRow(g.p1, 11, {4, 9});
    g.p1.bx = 2;
    g.p1.by = 8; // bar in column 4, rows 8..11; lands in row 12 this frame
    g.tick = 10;
    ASSERT_TRUE(play(1));
    EXPECT_EQ(18, g.p1.score);
    EXPECT_EQ("Score: 0", mem::rowText(15, 0, 8)) << "the panel was drawn before the lock";
    EXPECT_EQ(1, solidCells(g.p2, 0, 12));
    EXPECT_EQ(1, solidCells(g.p2, 6, 9));
    EXPECT_EQ(cellSolid, g.p1.table[12][4]) << "the partial row moved down";
    EXPECT_EQ(cellEmpty, g.p1.table[12][9]);
    ASSERT_TRUE(play(10));
    EXPECT_EQ("Score: 18", mem::rowText(15, 0, 9)) << "shown with the next panel redraw";
}

TEST_F(Frames, TopOutEndsTheGameAndSparesPlayerTwo) {
    give(g.p1, 1);
    give(g.p2, 0);
    g.p1.table[1][4] = cellSolid; // the bar lands on it with its lowest cell in row 0
    g.p2.by = 9;                  // would lock in the same frame
    ASSERT_FALSE(play(1));
    EXPECT_EQ(-2, g.p1.by);
    EXPECT_EQ("Game Over", mem::rowText(16, 0, 9));
    EXPECT_EQ(0, solidCells(g.p2, 0, 12)) << "player two's lock test never ran";
    closeGame();
    EXPECT_EQ(1, screen().readChars);
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(17, 0, 26));
    EXPECT_EQ(11, screen().screen[17][25].attr) << "in the loser's attribute";
    EXPECT_EQ(11, screen().screen[16][0].attr);
}

// Player two's bar hangs in column 3 over rows 6..9, each of which is full
// but for column 3 and columns 10..13. A penalty in a random column of
// 10..13 leaves the bar falling; any other column sends it to column 3,
// right below a cell of the bar, and player two locks in the same frame.
TEST_F(Frames, PenaltyFromPlayerOneCanLockPlayerTwoAtOnce) {
    for (bool intoColumnThree : {true, false}) {
        SetUp();
        give(g.p1, 1);
        give(g.p2, 1);
        fillRow(g.p1, 12, {4});
        g.p1.by = 8;
        g.p2.bx = 1;
        g.p2.by = 4;
        for (int y = 6; y <= 9; ++y)
            fillRow(g.p2, y, {3, 10, 11, 12, 13});
        g.tick = 10;
        drawTable(g.p2);
        for (int seed = 1;; ++seed) { // the penalty draws come first in this frame
            std::srand(seed);
            std::rand();
            int x = std::rand() % 18 + 1;
            if ((x < 10 || x > 13) == intoColumnThree) {
                std::srand(seed);
                break;
            }
        }
        ASSERT_TRUE(play(1));
        EXPECT_EQ(18, g.p1.score);
        EXPECT_EQ(intoColumnThree, g.p2.by == -3);
        EXPECT_EQ(intoColumnThree, g.p2.table[5][3] == cellSolid);
    }
}

TEST_F(Frames, EscapeEndsAfterTheReadouts) {
    mem::holdKey(vkEscape, 4, 4);
    EXPECT_TRUE(play(4));
    EXPECT_FALSE(play(1));
    EXPECT_EQ(5, g.tick);
    closeGame();
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(20, 0, 26));
    EXPECT_EQ(7, screen().screen[20][0].attr);
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
    EXPECT_EQ(26, b.promptX);
    EXPECT_GT(b.frame, 100);
}

TEST(WholeGame, EscapePromptInGrey) {
    mem::reset();
    mem::holdKey(vkEscape, 30, 30);
    runGame();
    auto& b = mem::backend();
    EXPECT_EQ(31, b.frame);
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(20, 0, 26));
    EXPECT_EQ(7, b.screen[20][5].attr);
    EXPECT_EQ(1, b.readChars);
}
