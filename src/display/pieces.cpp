// SPDX-License-Identifier: MIT
// The falling piece, the next-piece preview and the score line.
#include "display/console.hpp"
#include "display/draw.hpp"
#include "display/layout.hpp"

namespace {

// Visits every grid cell of the piece that lies on the board, moving the
// cursor there first, and lets `paint` write it.
template <typename Paint> void walkPiece(const Player& p, Paint paint) {
    for (int j = 0; j < blockHeight; ++j) {
        for (int i = 0; i < blockWidth; ++i) {
            int c = p.bx + i;
            int r = p.by + j;
            if (c < 0 || c >= mapWidth || r < 0 || r >= mapHeight)
                continue;
            gotoxy(c + p.ox, r + p.oy);
            if (p.block[j][i] != cellEmpty)
                paint(p.block[j][i]);
        }
    }
}

} // namespace

void drawBlock(Player p) {
    setColor(p.color);
    walkPiece(p, [](int code) { putChar(code); });
    gotoxy(0, 0);
}

void deleteBlock(Player p) {
    walkPiece(p, [](int) { putChar(cellEmpty); });
}

void drawNextBlock(Player p, int x, int y) {
    setColor(p.color);
    const int(*shape)[blockWidth] = shapeOf(p.nb);
    if (shape == nullptr)
        return;
    for (int j = 0; j < blockHeight; ++j) {
        for (int i = 0; i < blockWidth; ++i) {
            gotoxy(x + i + p.ox, y + j + p.oy);
            putChar(shape[j][i]);
        }
    }
}

// The score line and the label sit on fixed rows whatever the origin row.
void drawWorld(Player p) {
    setColor(p.color);
    gotoxy(p.ox, scoreRow);
    print("Score: %d", p.score);
    gotoxy(p.ox + panelOffset, 0);
    print("Next:\n");
    drawNextBlock(p, panelOffset, 2);
    gotoxy(0, scoreRow);
}
