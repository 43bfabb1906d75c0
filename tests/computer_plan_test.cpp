// SPDX-License-Identifier: MIT
// The computer's planner on its own: the places it offers are the ones the
// rules reach, each of its ways is one the game's controls follow to the
// end, its choices repeat, and its levels differ as their table says.
#include <algorithm>
#include <cstring>
#include <random>

#include "computer/reach.hpp"
#include "solo_board.hpp"
#include "support/fixture.hpp"

namespace {

class Planner : public Fresh {};

// A computer seat that holds `plan` as if it had just made it.
ComputerPlayer holding(const ComputerPlan& plan, int tick, int level) {
    ComputerPlayer c;
    startComputer(c, level, 0);
    c.plan = plan;
    c.planned = true;
    c.lastTick = tick - 1;
    return c;
}

struct Followed {
    SoloFrame lock; // where the piece locked (lock.locked false: it did not)
    long long plans;
};

// Plays frames on one board with a seat that follows `plan` until the
// piece locks; `plans` counts the new plans it had to make on the way.
Followed follow(Player p, const ComputerPlan& plan, int tick, int level) {
    ComputerPlayer c = holding(plan, tick, level);
    for (int frame = 0; frame < 400; ++frame) {
        SoloFrame f = soloFrame(p, computerKeys(c, p, tick), tick);
        if (f.locked)
            return {f, c.plans};
    }
    return {{}, c.plans};
}

bool locksAt(const SoloFrame& lock, const ComputerPlan& plan) {
    const PiecePlace& end = plan.path[plan.length - 1];
    return lock.locked && lock.bx == end.bx && lock.by == end.by &&
           lock.grid == plan.turns[end.turn];
}

void give(Player& p, int type, int bx, int by) {
    p.bt = type;
    std::memcpy(p.block, shapeOf(type), sizeof p.block);
    p.bx = bx;
    p.by = by;
}

// A horizontal bar: the bar turned once.
Player withBar(int bx, int by) {
    Player p = playerWith(1, bx, by);
    rotateBlock(p);
    return p;
}

// Whether a placement puts a solid cell on board cell (row, column).
bool covers(const Reach& r, int index, int row, int column) {
    Player q = placed(r, index);
    Player empty = r.piece[0];
    return q.table[row][column] == cellSolid && empty.table[row][column] == cellEmpty;
}

bool anyCovers(const Reach& r, int row, int columnFrom, int columnTo) {
    for (int i = 0; i < r.placements; ++i)
        for (int c = columnFrom; c <= columnTo; ++c)
            if (covers(r, i, row, c))
                return true;
    return false;
}

// A random stack with holes, overhangs and single cells in the air, as
// penalty cells leave them, up to row `top`.
void randomBoard(Player& p, std::mt19937& random, int top) {
    for (int c = 1; c <= 18; ++c) {
        int height = top + static_cast<int>(random() % static_cast<unsigned>(13 - top));
        for (int r = height; r <= 12; ++r)
            p.table[r][c] = random() % 5 == 0 ? cellEmpty : cellSolid;
    }
    for (int n = 0; n < 3; ++n)
        p.table[6 + random() % 4][1 + random() % 18] = cellSolid;
}

} // namespace

// Every way the search offers, for every resting place, is followed by the
// game's own controls and gravity to exactly that place, from boards full
// of overhangs, pieces of every type, every phase of the rhythm and every
// pace of the levels. A turn in an odd frame, a move the landing test
// refuses or a move too late for the gravity step would leave the way.
TEST_F(Planner, EveryOfferedWayLeadsToItsPlace) {
    std::mt19937 random(11);
    int followed = 0;
    for (int board = 0; board < 8; ++board) {
        Player start = playerWith(0, 2, -3);
        randomBoard(start, random, 5 + board % 4);
        give(start, board % 4, 2, -3);
        int tick = static_cast<int>(random() % 40);
        for (int level : {5, 3, 2, 1}) {
            Reach r;
            ASSERT_TRUE(findPlacements(r, start, tick, computerLevel(level).keyPeriod));
            ASSERT_GT(r.placements, 0);
            for (int i = 0; i < r.placements; ++i, ++followed) {
                ComputerPlan plan;
                pathTo(r, i, plan);
                Followed f = follow(start, plan, tick, level);
                ASSERT_TRUE(locksAt(f.lock, plan))
                    << "board " << board << ", level " << level << ", place " << i
                    << ": planned bx " << int(plan.path[plan.length - 1].bx) << " by "
                    << int(plan.path[plan.length - 1].by) << ", locked bx " << f.lock.bx << " by "
                    << f.lock.by;
                ASSERT_EQ(0, f.plans) << "the follower left the way";
            }
        }
    }
    EXPECT_GT(followed, 500);
}

// A horizontal bar reaches row 12 under a roof over columns 9..18 only by
// sliding in at a row where it does not rest:
// - roof at row 11, row 12 filled in columns 9..14: each way in rests on
//   those cells, so the pocket at columns 15..18 is never offered;
// - roof at row 11 alone: the bar slides through the roof's own cells,
//   since the landing test looks only below them, and falls in;
// - roof at row 9: it slides in below the roof, at the strongest level in
//   time to reach the far end; one key a second (level 1) is too slow.
TEST_F(Planner, UnderAnOverhangOnlyWhatTheRulesReach) {
    struct Case {
        int roofRow;
        int filledTo; // row 12 filled from column 9 to this one (8: none)
        int level;
        bool farEnd; // a place covering row 12 in columns 15..18
    };
    for (Case c : {Case{11, 14, 5, false}, Case{11, 8, 5, true}, Case{9, 8, 5, true},
                   Case{9, 8, 1, false}}) {
        Player p = withBar(2, -3);
        for (int col = 9; col <= 18; ++col)
            p.table[c.roofRow][col] = cellSolid;
        for (int col = 9; col <= c.filledTo; ++col)
            p.table[12][col] = cellSolid;
        Reach r;
        ASSERT_TRUE(findPlacements(r, p, 1, computerLevel(c.level).keyPeriod));
        EXPECT_EQ(c.farEnd, anyCovers(r, 12, 15, 18))
            << "roof at row " << c.roofRow << ", level " << c.level;
        EXPECT_TRUE(anyCovers(r, 12, 1, 4)) << "the open floor";
    }
}

// A bar in a shaft one column wide beside the wall: turning it would put
// a cell into the wall column, moving it would rest it on the stack, so
// the only place is the bottom of the shaft. On an open board the bar in
// column 1 may still not turn where it is: no way starts with that turn.
TEST_F(Planner, NoTurnThatTheWallRefuses) {
    Player shaft = playerWith(1, -1, 2);
    for (int r = 4; r <= 12; ++r)
        fillRow(shaft, r, {1});
    Reach r;
    ASSERT_TRUE(findPlacements(r, shaft, 1, 1));
    ASSERT_EQ(1, r.placements);
    EXPECT_EQ(nodeOf(0, -1, 9), r.placement[0].node);

    Player open = playerWith(1, -1, 5);
    ASSERT_TRUE(findPlacements(r, open, 2, 1));
    for (int i = 0; i < r.placements; ++i) {
        ComputerPlan plan;
        pathTo(r, i, plan);
        ASSERT_GE(plan.length, 2);
        EXPECT_FALSE(plan.path[1].move == Move::Rotate && plan.path[1].bx == -1) << "place " << i;
    }
}

// A penalty cell can arrive right below a falling piece between two lock
// tests. The next gravity step still moves the piece down into the cell's
// place, and the lock test looks only below its new place: the square, two
// cells tall, then stands on the cell with its upper half and locks there;
// a lying bar has nothing above the cell and falls on, through it, to the
// floor. The planner offers each its place, and all its ways hold.
TEST_F(Planner, FromRestingOnAPenaltyCell) {
    struct Case {
        Player piece; // resting on a cell at row 6, column 10
        int restsAt;  // the row of its grid when it stays on its column
    };
    for (const Case& c : {Case{playerWith(0, 8, 3), 4}, Case{withBar(8, 3), 10}}) {
        Player p = c.piece;
        p.table[6][10] = cellSolid;
        ASSERT_TRUE(collided(p));
        for (int level : {5, 1}) {
            Reach r;
            ASSERT_TRUE(findPlacements(r, p, 5, computerLevel(level).keyPeriod));
            bool straightDown = false;
            for (int i = 0; i < r.placements; ++i) {
                straightDown = straightDown || r.placement[i].node == nodeOf(0, 8, c.restsAt);
                ComputerPlan plan;
                pathTo(r, i, plan);
                Followed f = follow(p, plan, 5, level);
                ASSERT_TRUE(locksAt(f.lock, plan)) << "type " << p.bt << ", place " << i;
                ASSERT_EQ(0, f.plans) << "type " << p.bt << ", place " << i;
            }
            EXPECT_TRUE(straightDown) << "type " << p.bt << ", level " << level;
        }
    }
}

// The same record, frame count and level give the same plan, and leave the
// seat's generator in the same state.
TEST_F(Planner, SameInputsSamePlan) {
    std::mt19937 random(5);
    for (int n = 0; n < 12; ++n) {
        Player p = playerWith(n % 4, 2, -3);
        randomBoard(p, random, 6);
        for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
            ComputerPlan a{};
            ComputerPlan b{};
            unsigned ra = 77 + n;
            unsigned rb = 77 + n;
            ASSERT_TRUE(planPiece(a, p, n, computerLevel(level), ra));
            ASSERT_TRUE(planPiece(b, p, n, computerLevel(level), rb));
            ASSERT_EQ(a.length, b.length);
            EXPECT_EQ(0, std::memcmp(a.path, b.path, sizeof a.path[0] * a.length));
            EXPECT_EQ(ra, rb);
        }
    }
}

// Level by level: the pace of key presses is the table's, the strongest
// weighs the next piece (and so chooses differently from level 4 on some
// boards), the weakest sometimes takes a poor place, and it shows: level 1
// tops out alone within five minutes where level 5 plays on.
TEST_F(Planner, LevelsDifferAsTheTableSays) {
    std::mt19937 random(9);
    int lookAheadDiffers = 0;
    int poorAtLevel1 = 0;
    int poorAtLevel4 = 0;
    constexpr int boards = 150;
    for (int n = 0; n < boards; ++n) {
        Player p = playerWith(n % 4, 2, -3);
        p.nb = static_cast<int>(random() % 4);
        randomBoard(p, random, 6);
        auto target = [&p](const ComputerLevel& level, unsigned seed) {
            ComputerPlan plan{};
            if (!planPiece(plan, p, 1, level, seed))
                return -1;
            const PiecePlace& end = plan.path[plan.length - 1];
            return end.turn * 10000 + end.bx * 100 + end.by;
        };
        ComputerLevel one = computerLevel(1);
        ComputerLevel fair = one;
        fair.poorChoicePercent = 0;
        unsigned seed = 1234U + static_cast<unsigned>(n) * 7919U;
        poorAtLevel1 += target(one, seed) != target(fair, seed) ? 1 : 0;
        ComputerLevel four = computerLevel(4);
        ComputerLevel fourFair = four;
        fourFair.poorChoicePercent = 0;
        poorAtLevel4 += target(four, seed) != target(fourFair, seed) ? 1 : 0;
        lookAheadDiffers += target(computerLevel(5), seed) != target(four, seed) ? 1 : 0;
    }
    EXPECT_GT(lookAheadDiffers, boards / 20);
    int percent = computerLevel(1).poorChoicePercent;
    EXPECT_GT(poorAtLevel1, boards * percent / 300) << "about " << percent << " % expected";
    EXPECT_LT(poorAtLevel1, boards * percent / 100 * 2);
    EXPECT_EQ(0, poorAtLevel4);

    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        Solo s = startSolo(level, 3);
        int lastPress = -1000;
        int shortestGap = 1000;
        bool toppedOut = false;
        for (int frame = 0; frame < 5 * 660 && !toppedOut; ++frame) {
            toppedOut = playSolo(s).toppedOut;
            const ComputerKeys& k = s.c.keys;
            if (k.rotate || k.left || k.right || k.drop) {
                shortestGap = std::min(shortestGap, frame - lastPress);
                lastPress = frame;
            }
        }
        EXPECT_EQ(computerLevel(level).keyPeriod, shortestGap) << "level " << level;
        EXPECT_EQ(level == 1, toppedOut) << "level " << level;
    }
}
