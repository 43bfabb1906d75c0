// SPDX-License-Identifier: MIT
// Whole frames and whole games on the in-memory back end.
#include <algorithm>
#include <cstring>
#include <vector>

#include "display/draw.hpp"
#include "fixture.hpp"
#include "game/keys.hpp"
#include "game/rhythm.hpp"

using Frames = FreshGame;

TEST_F(Frames, PieceFallsEveryTenFramesAndLocksOnArrival) {
    give(g.p1, 1, 2, -3); // bar: lowest cell in row 12 when by is 9
    int next = g.p1.nb;
    for (int step = 0; step <= 10; ++step) {
        ASSERT_TRUE(play(1));
        EXPECT_EQ(-2 + step, g.p1.by);
        EXPECT_EQ(g.p1.by, g.p2.by) << "one rhythm for both";
        ASSERT_TRUE(play(9));
    }
    EXPECT_EQ(4, mem::countCells(cellSolid, 11, 4, 8, 4, 11)) << "drawn where it is";
    EXPECT_EQ(4, mem::countCells(cellSolid, 11, 4, 0, 4, 12)) << "erased where it was";
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

// Under --speed-up the fall interval shortens every 30 s of a round, down
// to its floor, and each round starts at the steady interval again. The
// pieces are kept aloft, so every change of row is a gravity step. At the
// floor a blocked soft drop still brings the step to its own frame and
// restarts the rhythm from there.
TEST_F(Frames, UnderSpeedUpTheFallIntervalShortensAsTheRoundGoesOn) {
    struct Moment {
        int round;
        int second; // of the round: the interval from the first step since
        int interval;
    };
    const Moment moments[] = {{1, 0, 10}, {1, 29, 10}, {1, 30, 8}, {1, 59, 8},
                              {1, 60, 6}, {1, 150, 6}, {2, 0, 10}, {2, 31, 8}};
    for (int round = 1; round <= 2; ++round) {
        start(GameSetup{.speedUp = true}, 7 + round);
        std::vector<int> falls; // the frames that took a gravity step
        for (int frame = 0; frame < 160 * framesPerSecond; ++frame) {
            for (Player* p : {&g.p1, &g.p2})
                p->by = p->by > 3 ? 0 : p->by;
            int row = g.p1.by;
            ASSERT_TRUE(play(1));
            if (g.p1.by != row)
                falls.push_back(frame);
        }
        for (const Moment& m : moments) {
            if (m.round != round)
                continue;
            auto next = std::lower_bound(falls.begin(), falls.end(), m.second * framesPerSecond);
            ASSERT_GE(falls.end() - next, 2);
            EXPECT_EQ(m.interval, next[1] - next[0])
                << "round " << round << ", " << m.second << " s";
        }
    }
    give(g.p1, 0, 2, 9); // one row above the floor
    give(g.p2, 0, 2, 2);
    g.tick = g.nextFall - 2;
    mem::holdKey(vkDown, screen().frame, screen().frame);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(4, solidCells(g.p1, 11, 12)) << "player one locked at once";
    EXPECT_EQ(3, g.p2.by);
    ASSERT_TRUE(play(5));
    EXPECT_EQ(3, g.p2.by);
    ASSERT_TRUE(play(1));
    EXPECT_EQ(4, g.p2.by) << "the floor's interval after the blocked drop";
}

TEST_F(Frames, RotationOnlyInEvenFramesNeverIntoAWallNorOfTheSquare) {
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
    give(g.p1, 0, 5, 3);
    mem::holdKey(vkUp, 2, 3);
    ASSERT_TRUE(play(2));
    EXPECT_EQ(0, std::memcmp(g.p1.block, block1, sizeof g.p1.block)) << "the square never turns";
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

// Player one's bar completes row 12 and scores; its penalty cell can stop
// player two's piece in the same lock phase. Rows 6..9 of player two's
// board are full but for column 3, below its bar, and columns 10..13,
// which the screen still shows solid: wherever the random column falls,
// the cell goes into the first free column, and the bar locks on it.
TEST_F(Frames, ALockScoresAndItsPenaltyCanLockPlayerTwoAtOnce) {
    fillRow(g.p1, 12, {4});
    give(g.p1, 1, 2, 8); // bar in column 4; lands in row 12 this frame
    give(g.p2, 1, 1, 4); // bar in column 3, rows 5..8 after this gravity step
    for (int y = 6; y <= 9; ++y)
        fillRow(g.p2, y, {3});
    drawTable(g.p2);
    for (int y = 6; y <= 9; ++y)
        fillRow(g.p2, y, {3, 10, 11, 12, 13});
    g.tick = 10;
    ASSERT_TRUE(play(1));
    EXPECT_EQ(18, g.p1.score);
    EXPECT_EQ(cellSolid, g.p2.table[5][3]) << "player two's bar locked";
    EXPECT_EQ(-3, g.p2.by);
    EXPECT_EQ("Score: 0", mem::rowText(15, 0, 8)) << "the panel was drawn before the lock";
    ASSERT_TRUE(play(10));
    EXPECT_EQ("Score: 18", mem::rowText(15, 0, 9));
}

// A top-out ends the game in that frame, after player one's lock test and
// before player two's, and the prompt starts the next row in the loser's
// colour. Without colours the colour of "Game Over" cannot say which board
// lost, so words after it do; with colours, and in a match, whose result
// line names the winner, "Game Over" stands alone.
TEST_F(Frames, TopOutEndsTheGameAndWithoutColoursNamesTheBoardThatLost) {
    struct Case {
        bool noColor;
        bool match;
        int loser;
        const char* shown;
    };
    const Case cases[] = {
        {true, false, 0, "Game Over \xfa Left board lost"},
        {true, false, 1, "Game Over \xfa Right board lost"},
        {false, false, 0, "Game Over"},
        {false, false, 1, "Game Over"},
        {true, true, 1, "Game Over"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown + std::string(c.noColor ? ", no colours" : "") +
                     (c.match ? ", a match" : "") + ", loser " + std::to_string(c.loser));
        start(GameSetup{.match = c.match, .noColor = c.noColor});
        Player& loser = c.loser == 0 ? g.p1 : g.p2;
        Player& other = c.loser == 0 ? g.p2 : g.p1;
        give(loser, 1, 2, -3);
        loser.table[1][4] = cellSolid; // the bar lands on it with its lowest cell in row 0
        give(other, 0, 2, 9);          // would lock in the same frame
        ASSERT_FALSE(play(1));
        EXPECT_EQ(1, screen().frame) << "the top-out frame ends as any other";
        EXPECT_EQ(c.loser == 0 ? 0 : 4, solidCells(other, 0, 12)) << "no lock test after a top-out";
        std::string row = mem::rowText(16, 0, 40);
        EXPECT_EQ(c.shown, row.erase(row.find_last_not_of(' ') + 1));
        closeGame();
        EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(17, 0, 26));
        EXPECT_EQ(c.loser == 0 ? 11 : 12, screen().screen[17][25].attr);
        EXPECT_EQ(1, screen().readChars);
    }
}

// Escape ends a game, a demo as any other, after the frame's readouts: the
// grey prompt comes under them and the wait for Enter follows. By then the
// computer has played both boards: idle pieces only ever land in the entry
// columns 3..6, so locked cells further right, or points, show it steered.
TEST(WholeGame, EscapeEndsADemoAfterTheReadouts) {
    mem::reset();
    mem::holdKey(vkEscape, 600, 600);
    runGame(GameSetup{.computer = {true, true}});
    const mem::Backend& b = mem::backend();
    EXPECT_EQ(601, b.frame);
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(20, 0, 26));
    EXPECT_EQ(7, b.screen[20][5].attr);
    EXPECT_EQ(1, b.readChars);
    for (int ox : {0, 30}) {
        short color = ox == 0 ? 11 : 12;
        bool steered = mem::countCells(cellSolid, color, ox + 8, 0, ox + 18, 12) > 0;
        EXPECT_TRUE(steered || mem::rowText(15, ox, 8) != "Score: 0") << "board at " << ox;
    }
}
