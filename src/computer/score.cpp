// SPDX-License-Identifier: MIT
// The computer's judgement of a board, on one bit a cell, so that it can
// weigh every place of a piece, and of the next piece, within a frame.
#include "computer/score.hpp"

#include <bit>

namespace {

// Set bits, without the library call that bits becomes on plain
// x86-64; the boards' rows have at most 20 bits.
int bits(unsigned v) {
    v = v - ((v >> 1) & 0x55555555U);
    v = (v & 0x33333333U) + ((v >> 2) & 0x33333333U);
    v = (v + (v >> 4)) & 0x0F0F0F0FU;
    return static_cast<int>((v * 0x01010101U) >> 24);
}

constexpr unsigned floorBits = wallBits | insideBits;
// The columns of a new piece's grid, where every piece comes in.
constexpr unsigned entryColumns = ((1U << blockWidth) - 1) << entryColumn;
constexpr int entryHeight = 6; // height of row 7: stacks above it crowd the entry

int heightOf(int row) { return floorRow - row; }

// What lockValue weighs, counted over the board's rows.
struct Features {
    int rowChanges = 0; // free to occupied along a row, walls included
    int colChanges = 0; // free to occupied down a column, the floor included
    int holes = 0;      // free cells under an occupied one
    int wells = 0;      // well cells, each counted by its depth in its well
    int entry = 0;      // squares of height above entryHeight in the entry columns
};

// Each column's well depth so far is kept in four bit planes (depths up to
// 15), so all columns count at once.
struct WellDepths {
    unsigned d0 = 0;
    unsigned d1 = 0;
    unsigned d2 = 0;
    unsigned d3 = 0;

    // One deeper where the well goes on, 0 elsewhere; the sum of depths.
    int add(unsigned well) {
        unsigned carry = well;
        unsigned n0 = d0 ^ carry;
        carry &= d0;
        unsigned n1 = d1 ^ carry;
        carry &= d1;
        unsigned n2 = d2 ^ carry;
        carry &= d2;
        unsigned n3 = d3 ^ carry;
        d0 = n0 & well;
        d1 = n1 & well;
        d2 = n2 & well;
        d3 = n3 & well;
        return bits(d0) + 2 * bits(d1) + 4 * bits(d2) + 8 * bits(d3);
    }
};

// The row under row j: the floor under the last.
unsigned rowBelow(const Cells& b, int j) { return j == floorRow - 1 ? floorBits : b.row[j + 1]; }

// One pass from the top of the stack down. The empty rows above it count
// only their two wall changes each: they have no holes, wells or column
// changes, and nothing above the entry height.
Features featuresOf(const Cells& b) {
    Features f;
    int first = 0;
    while (first + 1 < floorRow && (b.row[first + 1] & insideBits) == 0)
        ++first;
    f.rowChanges = 2 * first;
    unsigned covered = 0;
    unsigned seen = 0;
    WellDepths depths{};
    for (int j = first; j < floorRow; ++j) {
        unsigned r = b.row[j];
        unsigned below = rowBelow(b, j);
        f.rowChanges += bits((r ^ (r >> 1)) & (floorBits >> 1)); // neighbours (c, c + 1)
        f.colChanges += bits((r ^ below) & insideBits);
        f.holes += bits(~r & covered & insideBits);
        covered |= r;
        f.wells += depths.add(~r & (r << 1) & (r >> 1) & insideBits);
        int excess = heightOf(j) - entryHeight;
        if (excess > 0)
            f.entry += bits(r & entryColumns & ~seen) * excess * excess;
        seen |= r;
    }
    return f;
}

// The turns of a piece type as rows of grid bits, turned as the game
// turns them and moved to the grid's top left; turns that are only a shift
// of an earlier one are left out, since a straight drop in every column
// covers them.
struct Turns {
    unsigned rows[quarterTurns][blockHeight];
    int width[quarterTurns];           // columns of the grid the turn fills, from column 0
    int low[quarterTurns][blockWidth]; // the lowest grid row of each such column
    int count;
};

// A turn's width and the lowest cell of each of its columns.
void measure(Turns& t, int k) {
    t.width[k] = 0;
    for (int i = 0; i < blockWidth; ++i) {
        t.low[k][i] = -1;
        for (int j = 0; j < blockHeight; ++j)
            if ((t.rows[k][j] >> i & 1U) != 0)
                t.low[k][i] = j;
        if (t.low[k][i] >= 0)
            t.width[k] = i + 1;
    }
}

// The grid rows moved up and left as far as they go, so that turns that
// differ only by a shift compare equal.
void normalise(unsigned (&rows)[blockHeight]) {
    unsigned all = 0;
    for (unsigned r : rows)
        all |= r;
    if (all == 0)
        return;
    int left = std::countr_zero(all);
    int top = 0;
    while (rows[top] == 0)
        ++top;
    for (int j = 0; j < blockHeight; ++j)
        rows[j] = j + top < blockHeight ? rows[j + top] >> left : 0;
}

bool sameRows(const unsigned (&a)[blockHeight], const unsigned (&b)[blockHeight]) {
    for (int j = 0; j < blockHeight; ++j)
        if (a[j] != b[j])
            return false;
    return true;
}

Turns turnsOf(int type) {
    Turns t{};
    Player scratch{};
    const int(*shape)[blockWidth] = shapeOf(type);
    if (shape == nullptr)
        return t;
    for (int j = 0; j < blockHeight; ++j)
        for (int i = 0; i < blockWidth; ++i)
            scratch.block[j][i] = shape[j][i];
    for (int k = 0; k < quarterTurns; ++k, rotateBlock(scratch)) {
        unsigned rows[blockHeight] = {};
        unsigned cells = gridBits(scratch.block);
        for (int j = 0; j < blockHeight; ++j)
            rows[j] = cells >> (blockWidth * j) & 0x1FU;
        normalise(rows);
        bool seen = false;
        for (int s = 0; s < t.count && !seen; ++s)
            seen = sameRows(rows, t.rows[s]);
        if (!seen) {
            for (int j = 0; j < blockHeight; ++j)
                t.rows[t.count][j] = rows[j];
            measure(t, t.count);
            ++t.count;
        }
    }
    return t;
}

// The first occupied row of each column (13, the floor, when none is).
struct Tops {
    int row[mapWidth];
};

Tops topsOf(const Cells& b) {
    Tops t{};
    for (int c = 1; c < mapWidth - 1; ++c) {
        t.row[c] = floorRow;
        for (int j = floorRow - 1; j >= 0; --j)
            if ((b.row[j] >> c & 1U) != 0)
                t.row[c] = j;
    }
    return t;
}

// The game's clearing on bits: a full row empties and the rows above it
// move down a row; row 0 keeps what it had unless it was the full one.
int clearRows(Cells& b, unsigned& fullRows) {
    int cleared = 0;
    fullRows = 0;
    for (int j = 0; j < floorRow; ++j) {
        if ((b.row[j] & insideBits) != insideBits)
            continue;
        ++cleared;
        fullRows |= 1U << j;
        if (j == 0)
            b.row[0] = wallBits;
        for (int k = j; k >= 1; --k)
            b.row[k] = b.row[k - 1];
    }
    return cleared;
}

// Drops turn `k` straight down from the entry rows with its left column
// at board column `bx`. Everything above a column's top cell is free, so
// the piece stops where the lowest cell of one of its columns meets that
// column's top. False if it cannot enter there.
bool dropValue(const Cells& board, const Tops& tops, const Turns& turns, int k, int bx,
               int& value) {
    int by = floorRow;
    for (int i = 0; i < turns.width[k]; ++i)
        if (turns.low[k][i] >= 0 && tops.row[bx + i] - 1 - turns.low[k][i] < by)
            by = tops.row[bx + i] - 1 - turns.low[k][i];
    if (by < entryRow)
        return false;
    Cells after = board;
    Lock lock{0, 0};
    for (int j = 0; j < blockHeight; ++j) {
        unsigned piece = turns.rows[k][j] << bx;
        int r = by + j;
        if (r >= 0 && piece != 0) {
            after.row[r] |= piece;
            lock.heightSum += bits(piece) * heightOf(r);
        }
    }
    unsigned fullRows = 0;
    int cleared = clearRows(after, fullRows);
    for (int j = 0; j < blockHeight; ++j)
        if (by + j >= 0 && (fullRows >> (by + j) & 1U) != 0)
            lock.eroded += cleared * bits(turns.rows[k][j]);
    value = lockValue(after, lock);
    return true;
}

} // namespace

int lockValue(const Cells& after, const Lock& lock) {
    const Weights& w = computerWeights;
    if ((after.row[0] & insideBits) != 0)
        return w.toppedOut;
    Features f = featuresOf(after);
    return w.landing * lock.heightSum + w.eroded * lock.eroded + w.rowChanges * f.rowChanges +
           w.colChanges * f.colChanges + w.holes * f.holes + w.wells * f.wells + w.entry * f.entry;
}

int bestDropValue(const Cells& board, int type) {
    Turns turns = turnsOf(type);
    Tops tops = topsOf(board);
    int best = computerWeights.toppedOut;
    for (int k = 0; k < turns.count; ++k) {
        for (int bx = 1; bx + turns.width[k] - 1 <= mapWidth - 2; ++bx) {
            int value = 0;
            if (dropValue(board, tops, turns, k, bx, value) && value > best)
                best = value;
        }
    }
    return best;
}
