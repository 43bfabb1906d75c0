// SPDX-License-Identifier: MIT
// The falling piece, the next-piece preview and the score line.
#include "display/draw.hpp"
#include "display/layout.hpp"

namespace {

// Visits every grid cell of the piece that lies on the board, moving the
// cursor there first, and lets `paint` write it.
template <typename Paint> void walkPiece(const Player& p, Canvas& console, Paint paint) {
    for (int j = 0; j < blockHeight; ++j) {
        for (int i = 0; i < blockWidth; ++i) {
            int c = p.bx + i;
            int r = p.by + j;
            if (c < 0 || c >= mapWidth || r < 0 || r >= mapHeight)
                continue;
            console.gotoxy(c + p.ox, r + p.oy);
            if (p.block[j][i] != cellEmpty)
                paint(p.block[j][i]);
        }
    }
}

} // namespace

void drawBlock(Player p, Canvas& console) {
    console.setColor(p.color);
    walkPiece(p, console, [&console](int code) { console.putChar(code); });
    console.gotoxy(0, 0);
}

void deleteBlock(Player p, Canvas& console) {
    walkPiece(p, console, [&console](int) { console.putChar(cellEmpty); });
}

void drawNextBlock(Player p, int x, int y, Canvas& console) {
    console.setColor(p.color);
    const int(*shape)[blockWidth] = shapeOf(p.nb);
    if (shape == nullptr)
        return;
    for (int j = 0; j < blockHeight; ++j) {
        for (int i = 0; i < blockWidth; ++i) {
            console.gotoxy(x + i + p.ox, y + j + p.oy);
            console.putChar(shape[j][i]);
        }
    }
}

// The score line and the label sit on fixed rows whatever the origin row.
void drawWorld(Player p, Canvas& console) {
    console.setColor(p.color);
    console.gotoxy(p.ox, scoreRow);
    console.print("Score: %d", p.score);
    console.gotoxy(p.ox + panelOffset, 0);
    console.print("Next:\n");
    drawNextBlock(p, panelOffset, 2, console);
    console.gotoxy(0, scoreRow);
}
