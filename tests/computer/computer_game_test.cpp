// SPDX-License-Identifier: MIT
// Whole games with the computer on the in-memory back end: it keeps the
// pace of its level, its pieces rest where it planned, it plans again when
// a penalty cell lands in its way, and it leaves the game's pieces and key
// polls as they were.
#include <algorithm>
#include <bit>
#include <vector>

#include "display/draw.hpp"
#include "fixture.hpp"
#include "game/keys.hpp"
#include "game/rhythm.hpp"
#include "solo_board.hpp"

using ComputerGame = FreshGame;

// Alone on a board at every level, for five minutes: no key before the
// level's reaction time has passed since a new piece came; a turn or a
// sideways key only in frames of the level's key pace (a turn only in a
// frame that polls it), Down only there or at its own pace; each piece
// planned at most once, and every piece that fell longer than the reaction
// time planned and locked where its plan ends.
TEST_F(ComputerGame, SoloGamesKeepTheLevelsPace) {
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        const ComputerLevel& skill = computerLevel(level);
        Solo s = startSolo(level, 3);
        const ComputerPlayer& c = s.c;
        int pieces = 0;
        int unplanned = 0;
        int age = 0; // frames since the piece came
        long long plansBefore = 0;
        for (int frame = 0; frame < 5 * 60 * framesPerSecond; ++frame, ++age) {
            int tick = s.tick;
            SoloFrame f = playSolo(s);
            const Moves& k = c.keys;
            ASSERT_FALSE(k.any() && age < skill.reactionFrames);
            bool moved = k.has(Action::Turn) || k.has(Action::Left) || k.has(Action::Right);
            ASSERT_FALSE(moved && tick % skill.keyPeriod != 0) << "tick " << tick;
            ASSERT_FALSE(k.has(Action::Turn) && tick % turnPeriod != 0);
            bool offPace = tick % skill.keyPeriod != 0 && tick % skill.dropPeriod != 0;
            ASSERT_FALSE(k.has(Action::Drop) && offPace) << "tick " << tick;
            if (!f.locked)
                continue;
            ++pieces;
            age = -1;
            ASSERT_LE(c.plans - plansBefore, 1) << "planned again";
            unplanned += c.plans == plansBefore && age > skill.reactionFrames ? 1 : 0;
            const PiecePlace& end = c.plan.path[c.plan.length - 1];
            ASSERT_TRUE(c.plans == plansBefore ||
                        (f.bx == end.bx && f.by == end.by && f.grid == c.plan.turns[end.turn]))
                << "piece " << pieces;
            plansBefore = c.plans;
            if (f.toppedOut)
                break;
        }
        EXPECT_GT(pieces, 10);
        EXPECT_EQ(0, unplanned);
    }
}

// The first look at a new piece, the plan, comes after the level's reaction
// time, or at once when the piece would lock in the next gravity step; for
// each new piece again. The bar enters upright in column 4; a cell there
// at row 2 stops it after one more row.
TEST_F(ComputerGame, FirstLookAtANewPiece) {
    for (int cellRow : {-1, 2}) {
        ComputerPlayer c;
        startComputer(c, computerMinLevel, 0);
        int expected = cellRow < 0 ? c.skill.reactionFrames : 0;
        Player p = playerWith(1, entryColumn, entryRow);
        if (cellRow >= 0)
            p.table[cellRow][entryColumn + 2] = cellSolid;
        int tick = 0;
        for (int piece = 0; piece < 3; ++piece) {
            if (piece > 0) { // the last piece seen lower, as before it locked
                p.by = entryRow + 1;
                computerKeys(c, p, tick++);
                p.by = entryRow;
            }
            long long plans = c.plans;
            int waited = 0;
            while (c.plans == plans && waited <= c.skill.reactionFrames)
                computerKeys(c, p, tick + waited++);
            tick += waited;
            EXPECT_EQ(expected, waited - 1) << "cell at row " << cellRow << ", piece " << piece;
        }
    }
}

// The game's generator is drawn only by the game: in demo games at every
// level, the generator replayed from the same seed on a scratch board gives
// each next piece as newBlock drew it after its lock, after the two draws
// of the penalty cell when the lock cleared rows.
TEST_F(ComputerGame, PiecesComeFromTheGamesOwnDraws) {
    struct Lock {
        bool cleared;
        int next;
    };
    int clears = 0;
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        start(GameSetup{.computer = {true, true}, .level = {level, level}});
        std::vector<Lock> locks; // in the order the lock phase made them
        for (int frame = 0; frame < 8000; ++frame) {
            const int scores[2] = {g.p1.score, g.p2.score};
            bool going = playFrame(g);
            bool gravityFrame = (going ? g.tick - 1 : g.tick) % gravityPeriod == 0;
            const Player* board[2] = {&g.p1, &g.p2};
            for (int b = 0; b < 2; ++b)
                if (gravityFrame && board[b]->by == entryRow) // locked, and the next piece came
                    locks.push_back({board[b]->score > scores[b], board[b]->nb});
            if (!going)
                break;
        }
        std::srand(7);
        Player scratch;
        initPlayer(scratch, 60, 0, 1, 11); // the two players of the start-up
        initPlayer(scratch, 60, 0, 1, 11);
        for (std::size_t i = 0; i < locks.size(); ++i) {
            if (locks[i].cleared)
                addBlock(scratch);
            newBlock(scratch);
            ASSERT_EQ(scratch.nb, locks[i].next) << "level " << level << ", lock " << i;
            clears += locks[i].cleared ? 1 : 0;
        }
        EXPECT_GE(locks.size(), 5U) << "level " << level;
    }
    EXPECT_GT(clears, 3) << "clears, and so penalty draws, in the demos";
}

// A penalty cell put on the planned way, above where the falling piece is
// to rest, makes the computer plan again, for another place.
TEST_F(ComputerGame, PenaltyCellInTheWayMakesANewPlan) {
    start(GameSetup{.computer = {false, true}, .level = {computerDefaultLevel, computerMaxLevel}});
    g.seat[1].brain.skill.slipPercent = 0; // it takes the best place
    ASSERT_TRUE(playFrame(g));
    const ComputerPlayer& c = g.seat[1].brain;
    ASSERT_EQ(1, c.plans);
    const PiecePlace end = c.plan.path[c.plan.length - 1];
    int lowest = static_cast<int>(std::bit_width(c.plan.turns[end.turn])) - 1; // its lowest cell
    ASSERT_EQ(12, end.by + lowest / blockWidth) << "an empty board: it rests on the floor";
    g.p2.table[9][end.bx + lowest % blockWidth] = cellSolid; // where addBlock may put one
    drawTable(g.p2);
    while (g.p2.by != entryRow)
        ASSERT_TRUE(playFrame(g));
    EXPECT_EQ(2, c.plans) << "one new plan, for the changed board";
    const PiecePlace& now = c.plan.path[c.plan.length - 1];
    EXPECT_FALSE(now.bx == end.bx && now.by == end.by && now.turn == end.turn)
        << "the old place would leave a covered hole";
}

// The keys each frame polls, in order: without options exactly those of
// two people (the rotate keys only in even frames, then player one's, then
// player two's, then Escape); against the computer the person's arrows and
// letters together; in a demo only Escape. Player one holds Down a while
// (the computer drops by itself), so a blocked soft drop jumps the frame
// count and turns the parity over.
TEST_F(ComputerGame, KeyPollsInTheirOrder) {
    const std::vector<int> twoPeople[2] = {
        {vkLeft, vkRight, vkDown, vkA, vkD, vkS, vkEscape},
        {vkUp, vkW, vkLeft, vkRight, vkDown, vkA, vkD, vkS, vkEscape}};
    const std::vector<int> againstComputer[2] = {
        {vkLeft, vkA, vkRight, vkD, vkDown, vkS, vkEscape},
        {vkUp, vkW, vkLeft, vkA, vkRight, vkD, vkDown, vkS, vkEscape}};
    const std::vector<int> demo[2] = {{vkEscape}, {vkEscape}};
    struct Case {
        int computers;
        const std::vector<int>* polls; // [odd frame, even frame]
    };
    for (Case c : {Case{0, twoPeople}, Case{1, againstComputer}, Case{2, demo}}) {
        start(GameSetup{.computer = {c.computers == 2, c.computers >= 1}});
        std::vector<int> polled;
        screen().keyScript = [&polled](int frame, int key) {
            polled.push_back(key);
            return key == vkDown && frame < 20;
        };
        std::vector<int> expected;
        bool jumped = false;
        for (int frame = 0; frame < 60; ++frame) {
            const std::vector<int>& keys = c.polls[g.tick % turnPeriod == 0 ? 1 : 0];
            expected.insert(expected.end(), keys.begin(), keys.end());
            int tick = g.tick;
            ASSERT_TRUE(playFrame(g));
            jumped = jumped || g.tick != tick + 1;
        }
        EXPECT_EQ(expected, polled) << c.computers << " computers";
        EXPECT_TRUE(jumped) << "a blocked soft drop turned the parity over";
    }
}
