// SPDX-License-Identifier: MIT
// Notices over the game's picture: a copy of the buffer with their text in
// the cells the game left blank, so that nothing the game drew is hidden
// and the game's own buffer never holds them.
#include "display/notices.hpp"

ScreenBuffer withNotices(const ScreenBuffer& screen, const std::vector<NoticeLine>& notices) {
    ScreenBuffer shown = screen;
    shown.setColor(textColor);
    for (const NoticeLine& line : notices) {
        for (int x = 0; x < static_cast<int>(line.text.size()) && x < pictureColumns; ++x) {
            unsigned char code = screen.charAt(x, line.row);
            if (code != ' ' && code != 0)
                continue;
            shown.gotoxy(x, line.row);
            shown.putChar(static_cast<unsigned char>(line.text[static_cast<std::size_t>(x)]));
        }
    }
    return shown;
}
