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
constexpr unsigned entryColumns = 0x7CU; // columns 2..6, where the pieces come in
constexpr int entryHeight = 6;           // height of row 7: stacks above it crowd the entry

int heightOf(int row) { return boardRows - row; }

int rowChanges(const Cells& b) {
    int n = 0;
    for (unsigned r : b.row) // pairs of neighbours (c, c + 1), c = 0..18
        n += bits((r ^ (r >> 1)) & (floorBits >> 1));
    return n;
}

int columnChanges(const Cells& b) {
    int n = 0;
    for (int j = 0; j < boardRows; ++j) {
        unsigned below = j + 1 < boardRows ? b.row[j + 1] : floorBits;
        n += bits((b.row[j] ^ below) & insideBits);
    }
    return n;
}

int holes(const Cells& b) {
    unsigned covered = 0;
    int n = 0;
    for (unsigned r : b.row) {
        n += bits(~r & covered & insideBits);
        covered |= r;
    }
    return n;
}

// A well cell is free with both neighbours occupied; a well of depth d
// counts 1 + 2 + ... + d, as deep wells wait for the bar alone.
// Each column's depth so far is kept in four bit planes (depths up to 15),
// so all columns count at once.
int wells(const Cells& b) {
    unsigned d0 = 0;
    unsigned d1 = 0;
    unsigned d2 = 0;
    unsigned d3 = 0;
    int sum = 0;
    for (unsigned r : b.row) {
        unsigned well = ~r & (r << 1) & (r >> 1) & insideBits;
        unsigned carry = well; // one deeper where the well goes on, 0 elsewhere
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
        sum += bits(d0) + 2 * bits(d1) + 4 * bits(d2) + 8 * bits(d3);
    }
    return sum;
}

// How far the stack stands above entryHeight in the columns where pieces
// come in, squared per column: a piece that cannot get out of there ends
// the game.
int entryCrowding(const Cells& b) {
    unsigned seen = 0;
    int sum = 0;
    for (int j = 0; j < boardRows; ++j) {
        int excess = heightOf(j) - entryHeight;
        if (excess > 0)
            sum += bits(b.row[j] & entryColumns & ~seen) * excess * excess;
        seen |= b.row[j];
    }
    return sum;
}

// The four turns of a piece type as rows of grid bits, turned as the game
// turns them and moved to the grid's top left; turns that are only a shift
// of an earlier one are left out, since a straight drop in every column
// covers them.
struct Turns {
    unsigned rows[4][blockHeight];
    int count;
};

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
    for (int k = 0; k < 4; ++k, rotateBlock(scratch)) {
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
            ++t.count;
        }
    }
    return t;
}

// The grid's row bits in board columns, or false if a cell would leave
// columns 1..18.
bool shiftedRows(const unsigned (&grid)[blockHeight], int bx, unsigned (&out)[blockHeight]) {
    for (int j = 0; j < blockHeight; ++j) {
        out[j] = bx >= 0 ? grid[j] << bx : grid[j] >> -bx;
        if ((out[j] & ~insideBits) != 0 || bits(out[j]) != bits(grid[j]))
            return false;
    }
    return true;
}

bool overlaps(const Cells& b, const unsigned (&piece)[blockHeight], int by) {
    for (int j = 0; j < blockHeight; ++j) {
        int r = by + j;
        if (piece[j] != 0 && r >= 0 && (r >= boardRows || (b.row[r] & piece[j]) != 0))
            return true;
    }
    return false;
}

// The game's clearing on bits: a full row empties and the rows above it
// move down a row; row 0 keeps what it had unless it was the full one.
int clearRows(Cells& b, unsigned& fullRows) {
    int cleared = 0;
    fullRows = 0;
    for (int j = 0; j < boardRows; ++j) {
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

// Drops the piece straight down from the entry rows in column `bx`; false
// if it cannot enter there.
bool dropValue(const Cells& board, const unsigned (&grid)[blockHeight], int bx, int& value) {
    unsigned piece[blockHeight];
    constexpr int entryRow = -3;
    if (!shiftedRows(grid, bx, piece) || overlaps(board, piece, entryRow))
        return false;
    int by = entryRow;
    while (!overlaps(board, piece, by + 1))
        ++by;
    Cells after = board;
    Lock lock{0, 0};
    for (int j = 0; j < blockHeight; ++j) {
        int r = by + j;
        if (r >= 0 && piece[j] != 0) {
            after.row[r] |= piece[j];
            lock.heightSum += bits(piece[j]) * heightOf(r);
        }
    }
    unsigned fullRows = 0;
    int cleared = clearRows(after, fullRows);
    for (int j = 0; j < blockHeight; ++j)
        if (by + j >= 0 && (fullRows >> (by + j) & 1U) != 0)
            lock.eroded += cleared * bits(piece[j]);
    value = lockValue(after, lock);
    return true;
}

} // namespace

Cells cellsOf(const Player& p) {
    Cells b{};
    for (int j = 0; j < boardRows; ++j) {
        unsigned r = wallBits;
        for (int c = 1; c < mapWidth - 1; ++c)
            r |= p.table[j][c] != cellEmpty ? 1U << c : 0U;
        b.row[j] = r;
    }
    return b;
}

int lockValue(const Cells& after, const Lock& lock) {
    const Weights& w = computerWeights;
    if ((after.row[0] & insideBits) != 0)
        return w.toppedOut;
    return w.landing * lock.heightSum + w.eroded * lock.eroded + w.rowChanges * rowChanges(after) +
           w.colChanges * columnChanges(after) + w.holes * holes(after) + w.wells * wells(after) +
           w.entry * entryCrowding(after);
}

int bestDropValue(const Cells& board, int type) {
    Turns turns = turnsOf(type);
    int best = computerWeights.toppedOut;
    for (int t = 0; t < turns.count; ++t) {
        for (int bx = 0; bx < mapWidth; ++bx) {
            int value = 0;
            if (dropValue(board, turns.rows[t], bx, value) && value > best)
                best = value;
        }
    }
    return best;
}
