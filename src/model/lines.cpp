// SPDX-License-Identifier: MIT
// Clearing full rows, scoring them, and the penalty cell for the opponent.
#include "display/draw.hpp"
#include "model/model.hpp"

namespace {

constexpr int lastPlayRow = floorRow - 1;

bool rowFull(const Player& p, int j) {
    for (int c = 0; c < mapWidth; ++c)
        if (p.table[j][c] == cellEmpty)
            return false;
    return true;
}

// Empties row j and moves every row above it down by one; row 0 keeps
// what it had, and the wall columns are never touched.
void clearRow(Player& p, int j) {
    for (int c = 1; c < mapWidth - 1; ++c) {
        p.table[j][c] = cellEmpty;
        p.score += 1;
    }
    for (int k = j; k >= 1; --k)
        for (int c = 1; c < mapWidth - 1; ++c)
            p.table[k][c] = p.table[k - 1][c];
}

} // namespace

// Rows are examined top to bottom; a row that moved down into the one just
// cleared is not examined again, but the rows below it were not moved, so
// adjacent full rows are all found.
int clearFullRows(Player& p) {
    int cleared = 0;
    for (int j = 0; j <= lastPlayRow; ++j) {
        if (rowFull(p, j)) {
            clearRow(p, j);
            ++cleared;
        }
    }
    return cleared;
}

void checkLines(Player& p, Player& p1, Player& p2, Scene scene) {
    Canvas& console = *scene.console;
    if (clearFullRows(p) > 0) {
        Player& opponent = p.id == 1 ? p2 : p1;
        addBlock(opponent, scene);
        drawTable(opponent, console);
        drawWorld(opponent, console);
        // The board redraw wrote over the opponent's falling piece.
        drawBlock(opponent, console);
    }
    drawTable(p, console);
}

// One solid cell in a random row 6..9, if that row has five or more free
// cells. The screen decides whether the random column is taken, so the
// cell never lands where the opponent's falling piece is shown.
void addBlock(Player& p, Scene scene) {
    int y = scene.draws->draw(4) + 6;
    int x = scene.draws->draw(18) + 1;
    int spaceCount = 0;
    int fx = 0;
    for (int c = 0; c < mapWidth; ++c) {
        if (p.table[y][c] == cellEmpty) {
            if (spaceCount == 0)
                fx = c;
            ++spaceCount;
        }
    }
    if (spaceCount <= 4)
        return;
    if (scene.console->charAt(p.ox + x, p.oy + y) == ' ')
        p.table[y][x] = cellSolid;
    else
        p.table[y][fx] = cellSolid;
}
