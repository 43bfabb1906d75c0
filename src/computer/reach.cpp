// SPDX-License-Identifier: MIT
// The search for resting places. Rows are taken top to bottom, since a
// piece never goes up; within a row, places are taken from the most time
// left to the least, since every key press and every wait uses a frame.
// Each place keeps only the earliest time the piece can be there: with
// more time it can always wait, so nothing else is lost.
#include "computer/reach.hpp"

#include "computer/cells.hpp"

namespace {

constexpr unsigned char restsKnown = 1;
constexpr unsigned char restsHere = 2;
constexpr unsigned char wallKnown = 4;
constexpr unsigned char wallHere = 8;
constexpr unsigned char isPlacement = 16;
constexpr int placesPerRow = reachTurns * reachColumns;

struct Search {
    Reach& r;
    int keyPeriod;
    int period;    // frames from one gravity step to the next
    int fallPhase; // the gravity frames' count, modulo gravityPeriod
    int row;       // the row being taken
    short bucket[gravityPeriod + 1][placesPerRow];
    int count[gravityPeriod + 1];
};

bool within(int value, int size) { return value >= 0 && value < size; }

// The frame count of the frame with `left` input phases left before the
// gravity step, as far as the key and turn rhythms see it (they divide the
// period): one less than the gravity frame's per frame left.
int tickOfFrame(const Search& s, int left) { return s.fallPhase + gravityPeriod + 1 - left; }

// The first frame from `left` on in which the computer may press a key (the
// rotate key only in even frames); 0 when none comes before the gravity step.
int firstPress(const Search& s, int left, bool rotate) {
    for (int l = left; l >= 1; --l) {
        int t = tickOfFrame(s, l);
        if (t % s.keyPeriod == 0 && (!rotate || t % turnPeriod == 0))
            return l;
    }
    return 0;
}

Player& pieceAt(Reach& r, int n) {
    Player& p = r.piece[turnOf(n)];
    p.bx = columnOf(n);
    p.by = rowOf(n);
    return p;
}

// The landing test where the piece would be: it would rest there.
bool rests(Reach& r, int n) {
    unsigned char& t = r.tested[n];
    if ((t & restsKnown) == 0)
        t |= restsKnown | (collidedInPlace(pieceAt(r, n)) ? restsHere : 0);
    return (t & restsHere) != 0;
}

bool touchesWall(Reach& r, int n) {
    unsigned char& t = r.tested[n];
    if ((t & wallKnown) == 0)
        t |= wallKnown | (checkWallCollInPlace(pieceAt(r, n)) ? wallHere : 0);
    return (t & wallHere) != 0;
}

void addPlacement(Reach& r, int n, int from, Move move) {
    if ((r.tested[n] & isPlacement) != 0 || r.placements == maxPlacements)
        return;
    r.tested[n] |= isPlacement;
    r.placement[r.placements++] = {static_cast<short>(n), static_cast<short>(from), move};
}

void relax(Search& s, int n, int left, Move move, int from) {
    ReachNode& node = s.r.node[n];
    if (left <= node.framesLeft)
        return;
    node = {static_cast<unsigned char>(left), move, static_cast<short>(from)};
    if (rowOf(n) == s.row)
        s.bucket[left][s.count[left]++] = static_cast<short>(n);
}

// The gravity step moves the piece at `n` down a row without a test, then
// the lock test asks whether it rests there.
void fall(Search& s, int n, Move move, int from) {
    int below = nodeOf(turnOf(n), columnOf(n), rowOf(n) + 1);
    if (below < 0)
        return;
    if (rests(s.r, below))
        addPlacement(s.r, below, from, move);
    else
        relax(s, below, s.period, move, from);
}

// The piece is at `n` after the input phase of frame `left`.
void arrive(Search& s, int n, int left, Move move, int from) {
    if (left > 1)
        relax(s, n, left - 1, move, from);
    else
        fall(s, n, move, from);
}

void turn(Search& s, int n, int left) {
    int l = firstPress(s, left, true);
    int turned = nodeOf((turnOf(n) + 1) % reachTurns, columnOf(n), rowOf(n));
    if (l > 0 && turned >= 0 && !rests(s.r, turned))
        arrive(s, turned, l, Move::Rotate, n);
}

void shift(Search& s, int n, int left, int dx) {
    int l = firstPress(s, left, false);
    int moved = nodeOf(turnOf(n), columnOf(n) + dx, rowOf(n));
    if (l > 0 && moved >= 0 && !touchesWall(s.r, moved) && !rests(s.r, moved))
        arrive(s, moved, l, dx < 0 ? Move::Left : Move::Right, n);
}

// A soft drop the stack stops sends the frame to its gravity step, which
// moves the piece down onto the stack and locks it.
void drop(Search& s, int n, int left) {
    int l = firstPress(s, left, false);
    int below = nodeOf(turnOf(n), columnOf(n), rowOf(n) + 1);
    if (l == 0 || below < 0)
        return;
    if (rests(s.r, below))
        addPlacement(s.r, below, n, Move::Drop);
    else
        arrive(s, below, l, Move::Drop, n);
}

void expand(Search& s, int n, int left) {
    if (s.r.turnsUsed > 1)
        turn(s, n, left);
    shift(s, n, left, -1);
    shift(s, n, left, +1);
    drop(s, n, left);
    fall(s, n, Move::Gravity, n);
}

void searchRow(Search& s, int by) {
    s.row = by;
    for (int& c : s.count)
        c = 0;
    for (int t = 0; t < reachTurns; ++t) {
        for (int bx = reachLeftColumn; bx < reachLeftColumn + reachColumns; ++bx) {
            int n = nodeOf(t, bx, by);
            int left = s.r.node[n].framesLeft;
            if (left > 0)
                s.bucket[left][s.count[left]++] = static_cast<short>(n);
        }
    }
    for (int left = gravityPeriod; left >= 1; --left)
        for (int i = 0; i < s.count[left]; ++i)
            if (s.r.node[s.bucket[left][i]].framesLeft == left)
                expand(s, s.bucket[left][i], left);
}

} // namespace

int nodeOf(int turn, int bx, int by) {
    int row = by - reachTopRow;
    int column = bx - reachLeftColumn;
    if (!within(turn, reachTurns) || !within(row, reachRows) || !within(column, reachColumns))
        return -1;
    return (row * reachTurns + turn) * reachColumns + column;
}

int turnOf(int node) { return node / reachColumns % reachTurns; }
int columnOf(int node) { return node % reachColumns + reachLeftColumn; }
int rowOf(int node) { return node / placesPerRow + reachTopRow; }

bool findPlacements(Reach& r, const Player& p, int tick, int keyPeriod) {
    return findPlacements(r, p, tick, steadyRhythm(tick), keyPeriod);
}

bool findPlacements(Reach& r, const Player& p, int tick, FallRhythm rhythm, int keyPeriod) {
    r.piece[0] = p;
    for (int t = 1; t < reachTurns; ++t) {
        r.piece[t] = r.piece[t - 1];
        rotateBlock(r.piece[t]);
    }
    r.turnsUsed = p.bt == 0 ? 1 : reachTurns; // the square is never turned
    r.placements = 0;
    r.start = nodeOf(0, p.bx, p.by);
    for (int n = 0; n < reachNodes; ++n) {
        r.tested[n] = 0;
        r.node[n] = {0, Move::Start, -1};
    }
    if (r.start < 0)
        return false;
    int period =
        rhythm.period >= 1 && rhythm.period <= gravityPeriod ? rhythm.period : gravityPeriod;
    int left = rhythm.nextFall - tick + 1;
    left = left < 1 ? 1 : left > gravityPeriod ? gravityPeriod : left;
    int phase = (rhythm.nextFall % gravityPeriod + gravityPeriod) % gravityPeriod;
    Search s{r, keyPeriod > 0 && period % keyPeriod == 0 ? keyPeriod : 1, period, phase, p.by, {},
             {}};
    r.node[r.start].framesLeft = static_cast<unsigned char>(left);
    for (int by = p.by; by < reachTopRow + reachRows; ++by)
        searchRow(s, by);
    return true;
}

void pathTo(const Reach& r, int index, ComputerPlan& plan) {
    const Placement& end = r.placement[index];
    short chain[maxPathSteps];
    int n = 0;
    for (int k = end.from; k >= 0 && n < maxPathSteps - 1; k = r.node[k].from)
        chain[n++] = static_cast<short>(k);
    plan.length = 0;
    auto add = [&plan](int node, Move move) {
        plan.path[plan.length++] = {static_cast<unsigned char>(turnOf(node)),
                                    static_cast<signed char>(columnOf(node)),
                                    static_cast<signed char>(rowOf(node)), move};
    };
    while (n > 0) {
        --n;
        add(chain[n], r.node[chain[n]].move);
    }
    add(end.node, end.move);
    plan.lockByDrop = end.move == Move::Drop;
    for (int t = 0; t < reachTurns; ++t)
        plan.turns[t] = gridBits(r.piece[t].block);
    Cells board = cellsOf(r.piece[0]);
    for (int j = 0; j < floorRow; ++j)
        plan.board[j] = board.row[j];
}

Player placed(const Reach& r, int index) {
    int n = r.placement[index].node;
    Player q = r.piece[turnOf(n)];
    q.bx = columnOf(n);
    q.by = rowOf(n);
    placeBlock(q);
    return q;
}
