// SPDX-License-Identifier: MIT
// The computer's planner on its own: the places it offers are the ones the
// rules reach, each of its ways is one the game's controls follow to the
// end, its choices repeat, its slips stay among the places it can reach,
// and level 1 reaches both walls.
#include <random>

#include "computer/choose.hpp"
#include "computer/reach.hpp"
#include "fixture.hpp"
#include "solo_board.hpp"

namespace {

using Planner = Fresh;

// A level with one key press every `keyPeriod` frames that reacts at once,
// weighs `lookAhead` places with the next piece and slips as told.
ComputerLevel pace(int keyPeriod, int lookAhead = 0, int slipPercent = 0, int slipRange = 0) {
    return {keyPeriod, keyPeriod, 0, lookAhead, slipPercent, slipRange};
}

// Plays frames on one board with a seat at `skill` that holds `plan` as if
// it had just made it: the piece must lock where the plan ends, the seat
// never having to plan again on the way. The lock goes to `lock` if given.
testing::AssertionResult followed(Player p, const ComputerPlan& plan, int tick,
                                  const ComputerLevel& skill, SoloFrame* lock = nullptr,
                                  FallRhythm rhythm = {-1, 0}) {
    bool steady = rhythm.period == 0;
    rhythm = steady ? steadyRhythm(tick) : rhythm;
    ComputerPlayer c;
    startComputer(c, computerMinLevel, 0);
    c.skill = skill;
    c.plan = plan;
    c.planned = true;
    c.lastTick = tick - 1;
    c.pieceRow = p.by; // the piece it planned for, not a new one
    const PiecePlace& end = plan.path[plan.length - 1];
    for (int frame = 0; frame < 400; ++frame) {
        Moves keys = steady ? computerKeys(c, p, tick) : computerKeys(c, p, tick, rhythm);
        SoloFrame f = soloFrame(p, keys, tick, rhythm);
        if (!f.locked)
            continue;
        if (lock != nullptr)
            *lock = f;
        if (c.plans == 0 && f.bx == end.bx && f.by == end.by && f.grid == plan.turns[end.turn])
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << "planned bx " << int(end.bx) << " by " << int(end.by) << ", locked bx " << f.bx
               << " by " << f.by << " after " << c.plans << " new plans";
    }
    return testing::AssertionFailure() << "never locked";
}

// Searches from `start` and follows every way offered with the game's own
// controls and gravity, one key every `keyPeriod` frames, in the steady
// rhythm unless `rhythm` has a period.
void followEveryWay(Reach& r, const Player& start, int tick, int keyPeriod,
                    FallRhythm rhythm = {-1, 0}) {
    bool steady = rhythm.period == 0;
    ASSERT_TRUE(steady ? findPlacements(r, start, tick, keyPeriod)
                       : findPlacements(r, start, tick, rhythm, keyPeriod));
    ASSERT_GT(r.placements, 0);
    for (int i = 0; i < r.placements; ++i) {
        ComputerPlan plan;
        pathTo(r, i, plan);
        ASSERT_TRUE(followed(start, plan, tick, pace(keyPeriod), nullptr, rhythm))
            << "a key every " << keyPeriod << " frames, place " << i << ", a row every "
            << rhythm.period << " frames";
    }
}

// A horizontal bar: the bar turned once.
Player withBar(int bx, int by) {
    Player p = playerWith(1, bx, by);
    rotateBlock(p);
    return p;
}

// Whether any placement puts a solid cell on board row `row`, in a column
// from `columnFrom` to `columnTo`, where the board had none.
bool anyCovers(const Reach& r, int row, int columnFrom, int columnTo) {
    for (int i = 0; i < r.placements; ++i) {
        Player q = placed(r, i);
        for (int c = columnFrom; c <= columnTo; ++c)
            if (q.table[row][c] == cellSolid && r.piece[0].table[row][c] == cellEmpty)
                return true;
    }
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
// key pace the search allows, in the steady rhythm and in every quickened
// one, whose next step may come at any frame. A turn in an odd frame, a
// move the landing test refuses or a move too late for the gravity step
// would leave the way.
TEST_F(Planner, EveryOfferedWayLeadsToItsPlace) {
    std::mt19937 random(11);
    int followedWays = 0;
    for (int board = 0; board < 8; ++board) {
        Player start = playerWith(board % 4, 2, -3);
        randomBoard(start, random, 5 + board % 4);
        int tick = static_cast<int>(random() % 40);
        for (int keyPeriod : {1, 2, 5, 10}) {
            Reach r;
            ASSERT_NO_FATAL_FAILURE(followEveryWay(r, start, tick, keyPeriod)) << "board " << board;
            followedWays += r.placements;
        }
        for (int period = speedUpFloor; period < gravityPeriod; period += speedUpStep) {
            int next = tick + static_cast<int>(random() % static_cast<unsigned>(period));
            for (int keyPeriod : {1, 2}) {
                Reach r;
                ASSERT_NO_FATAL_FAILURE(followEveryWay(r, start, tick, keyPeriod, {next, period}))
                    << "board " << board;
                followedWays += r.placements;
            }
        }
    }
    EXPECT_GT(followedWays, 1000);
}

// A horizontal bar reaches row 12 under a roof over columns 9..18 only by
// sliding in at a row where it does not rest:
// - roof at row 11, row 12 filled in columns 9..14: each way in rests on
//   those cells, so the pocket at columns 15..18 is never offered;
// - roof at row 11 alone: the bar slides through the roof's own cells,
//   since the landing test looks only below them, and falls in;
// - roof at row 9: it slides in below the roof, with a key every frame in
//   time to reach the far end; with one key a second too slow.
TEST_F(Planner, UnderAnOverhangOnlyWhatTheRulesReach) {
    struct Case {
        int roofRow;
        int filledTo; // row 12 filled from column 9 to this one (8: none)
        int keyPeriod;
        bool farEnd; // a place covering row 12 in columns 15..18
    };
    for (Case c : {Case{11, 14, 1, false}, Case{11, 8, 1, true}, Case{9, 8, 1, true},
                   Case{9, 8, 10, false}}) {
        Player p = withBar(2, -3);
        for (int col = 9; col <= 18; ++col)
            p.table[c.roofRow][col] = cellSolid;
        for (int col = 9; col <= c.filledTo; ++col)
            p.table[12][col] = cellSolid;
        Reach r;
        ASSERT_TRUE(findPlacements(r, p, 1, c.keyPeriod));
        EXPECT_EQ(c.farEnd, anyCovers(r, 12, 15, 18))
            << "roof at row " << c.roofRow << ", a key every " << c.keyPeriod << " frames";
        EXPECT_TRUE(anyCovers(r, 12, 1, 4)) << "the open floor";
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
        for (int keyPeriod : {1, 10}) {
            Reach r;
            ASSERT_NO_FATAL_FAILURE(followEveryWay(r, p, 5, keyPeriod)) << "type " << p.bt;
            bool straightDown = false;
            for (int i = 0; i < r.placements; ++i)
                straightDown = straightDown || r.placement[i].node == nodeOf(0, 8, c.restsAt);
            EXPECT_TRUE(straightDown) << "type " << p.bt << ", a key every " << keyPeriod;
        }
    }
}

// The place a plan ends at, as one number; -1 when there is no plan.
int planned(const Player& p, const ComputerLevel& level, unsigned seed, ComputerPlan& plan) {
    if (!planPiece(plan, p, 1, level, seed))
        return -1;
    const PiecePlace& end = plan.path[plan.length - 1];
    return end.turn * 10000 + end.bx * 100 + end.by;
}

// On boards full of overhangs: the same inputs give the same choice; the
// next piece changes some choices; a slip always takes another place than
// the best, one the game's controls reach; level 1 slips on about the
// share of pieces its table row says.
TEST_F(Planner, ChoicesLookAheadAndSlipAsTheLevelSays) {
    std::mt19937 random(9);
    const ComputerLevel fair = pace(1);
    const ComputerLevel withNext = pace(1, 4);
    const ComputerLevel slipping = pace(1, 0, 100, 3);
    ComputerLevel first = computerLevel(computerMinLevel);
    ComputerLevel firstFair = first;
    firstFair.slipPercent = 0;
    int lookAheadDiffers = 0;
    int firstSlips = 0;
    constexpr int boards = 150;
    for (int n = 0; n < boards; ++n) {
        Player p = playerWith(n % 4, 2, -3);
        p.nb = static_cast<int>(random() % 4);
        randomBoard(p, random, 6);
        auto seed = 1234U + static_cast<unsigned>(n) * 7919U;
        ComputerPlan plan{};
        int best = planned(p, fair, seed, plan);
        ASSERT_EQ(best, planned(p, fair, seed, plan)) << "board " << n;
        lookAheadDiffers += planned(p, withNext, seed, plan) != best ? 1 : 0;
        firstSlips += planned(p, first, seed, plan) != planned(p, firstFair, seed, plan) ? 1 : 0;
        ASSERT_NE(best, planned(p, slipping, seed, plan)) << "board " << n;
        ASSERT_TRUE(followed(p, plan, 1, slipping)) << "board " << n;
    }
    EXPECT_GT(lookAheadDiffers, boards / 20);
    int percent = first.slipPercent;
    EXPECT_GT(firstSlips, boards * percent / 200) << "about " << percent << " % expected";
    EXPECT_LT(firstSlips, boards * percent * 3 / 200) << "about " << percent << " % expected";
}

// A slip goes down the ranking but never to a place that ends the game
// while another does not: on a stack up to row 1 with a well four columns
// wide, every place outside the well tops out.
TEST_F(Planner, SlipsNeverEndTheGameWhileAPlaceIsOpen) {
    const ComputerLevel careless = pace(1, 0, 100, 60);
    for (int type = 0; type < 4; ++type) {
        Player p = playerWith(type, 2, -3);
        for (int r = 1; r <= 12; ++r)
            fillRow(p, r, {9, 10, 11, 12});
        for (unsigned seed = 1; seed <= 20; ++seed) {
            ComputerPlan plan{};
            ASSERT_TRUE(planPiece(plan, p, 1, careless, seed));
            SoloFrame lock{};
            ASSERT_TRUE(followed(p, plan, 1, careless, &lock)) << "type " << type;
            ASSERT_FALSE(lock.toppedOut) << "type " << type << ", seed " << seed;
        }
    }
}

// Level 1, the beginner, still reaches both walls: from where a new piece
// has fallen by the time it first looks, in every phase of the rhythm, on
// an empty board, every piece has places on the floor at column 1 and at
// column 18.
TEST_F(Planner, LevelOneReachesBothWalls) {
    const ComputerLevel& first = computerLevel(computerMinLevel);
    int fallen = (first.reactionFrames + gravityPeriod - 1) / gravityPeriod;
    for (int type = 0; type < 4; ++type) {
        for (int tick = 0; tick < gravityPeriod; ++tick) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", tick " << tick);
            Player p = playerWith(type, entryColumn, entryRow + fallen);
            Reach r;
            ASSERT_TRUE(findPlacements(r, p, tick, first.keyPeriod));
            EXPECT_TRUE(anyCovers(r, floorRow - 1, 1, 1));
            EXPECT_TRUE(anyCovers(r, floorRow - 1, mapWidth - 2, mapWidth - 2));
        }
    }
}
