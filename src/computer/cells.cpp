// SPDX-License-Identifier: MIT
// Reading a board and a piece into bits.
#include "computer/cells.hpp"

Cells cellsOf(const Player& p) {
    Cells b{};
    for (int j = 0; j < floorRow; ++j) {
        unsigned r = wallBits;
        for (int c = 1; c < mapWidth - 1; ++c)
            r |= p.table[j][c] != cellEmpty ? 1U << c : 0U;
        b.row[j] = r;
    }
    return b;
}

unsigned gridBits(const int (&block)[blockHeight][blockWidth]) {
    unsigned bits = 0;
    for (int j = 0; j < blockHeight; ++j)
        for (int i = 0; i < blockWidth; ++i)
            if (block[j][i] != cellEmpty)
                bits |= 1U << (blockWidth * j + i);
    return bits;
}
