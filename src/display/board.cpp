// SPDX-License-Identifier: MIT
// The board redraw: the console's own buffer is the record of what is shown,
// so only cells whose character differs from the board are written.
#include "display/draw.hpp"

void drawTable(Player p, Canvas& console) {
    console.setColor(p.color);
    for (int j = 0; j < mapHeight; ++j) {
        for (int i = 0; i < mapWidth; ++i) {
            int x = p.ox + i;
            int y = p.oy + j;
            if (console.charAt(x, y) != p.table[j][i]) {
                console.gotoxy(x, y);
                console.putChar(p.table[j][i]);
            }
        }
    }
}
