// SPDX-License-Identifier: MIT
// How a falling piece may move, and when it becomes part of the board.
#include "model/model.hpp"

namespace {

bool solid(const Player& p, int j, int i) { return p.block[j][i] != cellEmpty; }
bool onBoardColumn(int c) { return c >= 0 && c < mapWidth; }
// Rows -1..13: the ones with a board row directly below them.
bool hasRowBelow(int r) { return r + 1 >= 0 && r + 1 < mapHeight; }

// Whether `hit` holds for any solid piece cell in a board column and in
// rows -1..13, visiting the grid row by row.
template <typename Hit> int anyTestedCell(const Player& p, Hit hit) {
    for (int j = 0; j < blockHeight; ++j) {
        for (int i = 0; i < blockWidth; ++i) {
            int r = p.by + j;
            int c = p.bx + i;
            if (solid(p, j, i) && onBoardColumn(c) && hasRowBelow(r) && hit(r, c))
                return 1;
        }
    }
    return 0;
}

} // namespace

// The piece cannot go one row further down. Only the cells directly below
// its solid cells count, never the cells the piece itself covers.
int collidedInPlace(const Player& p) {
    return anyTestedCell(p, [&p](int r, int c) { return p.table[r + 1][c] != cellEmpty; });
}

// The piece touches a wall column; walls are known by their column alone.
int checkWallCollInPlace(const Player& p) {
    return anyTestedCell(p, [](int, int c) { return c == 0 || c == mapWidth - 1; });
}

int collided(Player p) { return collidedInPlace(p); }
int checkWallColl(Player p) { return checkWallCollInPlace(p); }

// A clockwise quarter turn of the whole grid about its centre cell.
void rotateBlock(Player& p) {
    int tmp[blockHeight][blockWidth];
    for (int r = 0; r < blockHeight; ++r)
        for (int c = 0; c < blockWidth; ++c)
            tmp[r][c] = p.block[blockHeight - 1 - c][r];
    for (int r = 0; r < blockHeight; ++r)
        for (int c = 0; c < blockWidth; ++c)
            p.block[r][c] = tmp[r][c];
}

// Solid cells outside the board, above row 0 in particular, are lost.
void placeBlock(Player& p) {
    for (int j = 0; j < blockHeight; ++j) {
        for (int i = 0; i < blockWidth; ++i) {
            int r = p.by + j;
            int c = p.bx + i;
            if (solid(p, j, i) && onBoardColumn(c) && r >= 0 && r < mapHeight)
                p.table[r][c] = p.block[j][i];
        }
    }
}

int checkGameOver(Player p) {
    for (int c = 1; c < mapWidth - 1; ++c)
        if (p.table[0][c] != cellEmpty)
            return 1;
    return 0;
}
