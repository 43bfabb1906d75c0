// SPDX-License-Identifier: MIT
// Whole games with the computer on the in-memory back end: its pieces
// rest where it planned, it never presses a key the rules refuse, it wins
// against nobody, it plans again when a penalty cell lands in its way, and
// it leaves the game's pieces and key polls as they were.
#include <cstring>
#include <vector>

#include "display/draw.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "solo_board.hpp"
#include "support/fixture.hpp"

namespace {

class ComputerGame : public Fresh {
protected:
    Game g;
    void start(bool one, bool two, int level = 3) {
        GameSetup setup;
        setup.computer[0] = one;
        setup.computer[1] = two;
        setup.level = level;
        startGame(g, setup);
    }
};

// What the computer's key would do to a copy of its record: false when the
// rules refuse it (a blocked soft drop is not refused: it locks the piece).
bool wouldMove(Player p, const ComputerKeys& k, int tick) {
    Player before = p;
    if (k.rotate && tick % 2 == 0)
        turnPiece(p);
    if (k.left)
        shiftPiece(p, -1);
    if (k.right)
        shiftPiece(p, +1);
    int t = tick;
    if (k.drop)
        dropPiece(p, t);
    bool pressed = k.rotate || k.left || k.right || k.drop;
    return !pressed || t != tick || p.bx != before.bx || p.by != before.by ||
           std::memcmp(p.block, before.block, sizeof p.block) != 0;
}

} // namespace

// Alone on a board, each piece is planned once and locks where the plan
// ends, at every level.
TEST_F(ComputerGame, PiecesRestWherePlanned) {
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        Solo s = startSolo(level, static_cast<unsigned>(level));
        const ComputerPlayer& c = s.c;
        int pieces = 0;
        for (int frame = 0; frame < 3 * 660; ++frame) {
            SoloFrame f = playSolo(s);
            if (!f.locked)
                continue;
            ++pieces;
            const PiecePlace& end = c.plan.path[c.plan.length - 1];
            ASSERT_EQ(end.bx, f.bx) << "level " << level << ", piece " << pieces;
            ASSERT_EQ(end.by, f.by) << "level " << level << ", piece " << pieces;
            ASSERT_EQ(c.plan.turns[end.turn], f.grid);
            ASSERT_EQ(pieces, c.plans) << "level " << level << ": planned again without cause";
            if (f.toppedOut)
                break;
        }
        EXPECT_GT(pieces, 10) << "level " << level;
    }
}

// In demo games at every level, penalty cells and all, no key the
// computer presses is refused, and no piece takes longer than its fall.
TEST_F(ComputerGame, NeverPressesARefusedKey) {
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        SetUp();
        std::srand(static_cast<unsigned>(level) + 20);
        start(true, true, level);
        int sinceSpawn[2] = {0, 0};
        int refused = 0;
        for (int frame = 0; frame < 20000; ++frame) {
            Player* board[2] = {&g.p1, &g.p2};
            for (int b = 0; b < 2; ++b) {
                ComputerPlayer look = g.seat[b].brain; // what it will decide this frame
                refused +=
                    wouldMove(*board[b], computerKeys(look, *board[b], g.tick), g.tick) ? 0 : 1;
            }
            const int before[2] = {g.p1.by, g.p2.by};
            bool going = playFrame(g);
            for (int b = 0; b < 2; ++b) {
                bool respawned = board[b]->by == -3 && before[b] != -3;
                sinceSpawn[b] = respawned ? 0 : sinceSpawn[b] + 1;
                ASSERT_LT(sinceSpawn[b], 200) << "level " << level << ", board " << b;
            }
            if (!going)
                break;
        }
        EXPECT_EQ(0, refused) << "level " << level;
    }
}

// Against an idle player one, the computer clears rows and player one's
// stack reaches the top first.
TEST_F(ComputerGame, BeatsAnIdlePlayer) {
    for (unsigned seed : {1U, 2U, 3U}) {
        SetUp();
        std::srand(seed);
        start(false, true);
        int frames = 0;
        while (playFrame(g) && frames < 20000)
            ++frames;
        EXPECT_TRUE(checkGameOver(g.p1)) << "seed " << seed;
        EXPECT_FALSE(checkGameOver(g.p2)) << "seed " << seed;
        EXPECT_GT(g.p2.score, 0) << "seed " << seed;
        EXPECT_EQ(11, screen().screen[16][0].attr) << "Game Over in player one's colour";
    }
}

// A penalty cell put on the planned way, below the falling piece, makes
// the computer plan again, and the piece locks where the new plan ends.
TEST_F(ComputerGame, PenaltyCellInTheWayMakesANewPlan) {
    start(false, true, 5);
    ASSERT_TRUE(playFrame(g));
    const ComputerPlayer& c = g.seat[1].brain;
    ASSERT_EQ(1, c.plans);
    // The lowest solid cell of the piece where it is to rest.
    const PiecePlace& end = c.plan.path[c.plan.length - 1];
    unsigned grid = c.plan.turns[end.turn];
    int row = -1;
    int column = -1;
    for (int cell = 0; cell < blockWidth * blockHeight; ++cell) {
        if ((grid >> cell & 1U) != 0 && end.by + cell / blockWidth >= row) {
            row = end.by + cell / blockWidth;
            column = end.bx + cell % blockWidth;
        }
    }
    ASSERT_EQ(12, row) << "an empty board: it rests on the floor";
    g.p2.table[9][column] = cellSolid; // where addBlock may put one
    drawTable(g.p2);
    while (g.p2.by != -3) {
        ASSERT_TRUE(playFrame(g));
        if (g.p2.by == -3)
            break;
    }
    EXPECT_EQ(2, c.plans) << "one new plan, for the changed board";
    const PiecePlace& now = c.plan.path[c.plan.length - 1];
    unsigned placed = c.plan.turns[now.turn];
    EXPECT_FALSE(now.bx == end.bx && now.by == end.by && now.turn == end.turn)
        << "the old place would leave a covered hole";
    for (int cell = 0; cell < blockWidth * blockHeight; ++cell) {
        if ((placed >> cell & 1U) != 0) {
            EXPECT_EQ(cellSolid, g.p2.table[now.by + cell / blockWidth][now.bx + cell % blockWidth])
                << "locked where the new plan ends";
        }
    }
}

// A lock as the game's generator sees it.
struct DrawnLock {
    int draws; // 3 when its rows cleared (the penalty cell's two first), else 1
    int type;  // the type drawn for the preview
};

// Plays until the game ends (or 8000 frames), noting each lock that
// brought a next piece, in the order the lock phase made them.
std::vector<DrawnLock> playNotingLocks(Game& g) {
    std::vector<DrawnLock> locks;
    for (int frame = 0; frame < 8000; ++frame) {
        const int scores[2] = {g.p1.score, g.p2.score};
        bool going = playFrame(g);
        bool gravityFrame = (going ? g.tick - 1 : g.tick) % 10 == 0;
        const Player* board[2] = {&g.p1, &g.p2};
        for (int b = 0; b < 2; ++b) {
            if (gravityFrame && board[b]->by == -3) // locked, and the next piece came
                locks.push_back({board[b]->score > scores[b] ? 3 : 1, board[b]->nb});
        }
        if (!going)
            break;
    }
    return locks;
}

// The game's generator is drawn only by the game: replaying it from the
// same seed, each spawned piece is its next draw, after the two draws of a
// penalty cell when the lock cleared rows; with a person on each board,
// with the computer on one, and on both.
TEST_F(ComputerGame, PiecesComeFromTheGamesOwnDraws) {
    for (int computers = 0; computers <= 2; ++computers) {
        SetUp();
        std::srand(99);
        start(computers == 2, computers >= 1, 4);
        std::vector<DrawnLock> locks = playNotingLocks(g);
        std::srand(99);
        for (int n = 0; n < 4; ++n) // start-up: two types for each player
            std::rand();
        int clears = 0;
        for (std::size_t i = 0; i < locks.size(); ++i) {
            int value = 0;
            for (int d = 0; d < locks[i].draws; ++d)
                value = std::rand();
            ASSERT_EQ(value % 4, locks[i].type) << computers << " computers, lock " << i;
            clears += locks[i].draws == 3 ? 1 : 0;
        }
        EXPECT_GE(locks.size(), 5U) << computers << " computers";
        EXPECT_TRUE(computers < 2 || clears > 3) << "clears, and so penalty draws, in a demo";
    }
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
        SetUp();
        std::vector<int> polled;
        screen().keyScript = [&polled](int frame, int key) {
            polled.push_back(key);
            return key == vkDown && frame < 20;
        };
        if (c.computers == 0)
            startGame(g);
        else
            start(c.computers == 2, true);
        std::vector<int> expected;
        bool jumped = false;
        for (int frame = 0; frame < 60; ++frame) {
            const std::vector<int>& keys = c.polls[g.tick % 2 == 0 ? 1 : 0];
            expected.insert(expected.end(), keys.begin(), keys.end());
            int tick = g.tick;
            ASSERT_TRUE(playFrame(g));
            jumped = jumped || g.tick != tick + 1;
        }
        EXPECT_EQ(expected, polled) << c.computers << " computers";
        EXPECT_TRUE(jumped) << "a blocked soft drop turned the parity over";
    }
}

// A demo plays by itself until Escape, then the prompt and the wait for
// Enter, as any game. By then the computer has played both boards: idle
// pieces only ever land in the entry columns 3..6, so locked cells further
// right, or points, show that it steered.
TEST(WholeDemo, PlaysUntilEscape) {
    mem::reset();
    mem::holdKey(vkEscape, 600, 600);
    GameSetup setup;
    setup.computer[0] = setup.computer[1] = true;
    runGame(setup);
    auto& b = mem::backend();
    EXPECT_EQ(601, b.frame);
    EXPECT_EQ("Kilepeshez nyomjon ENTER-t", mem::rowText(20, 0, 26));
    EXPECT_EQ(1, b.readChars);
    for (int ox : {0, 30}) {
        short color = ox == 0 ? 11 : 12;
        bool steered = mem::countCells(cellSolid, color, ox + 8, 0, ox + 18, 12) > 0;
        EXPECT_TRUE(steered || mem::rowText(15, ox, 8) != "Score: 0") << "board at " << ox;
    }
}
