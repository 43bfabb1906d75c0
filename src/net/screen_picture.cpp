// SPDX-License-Identifier: MIT
// Pictures from and into screen buffers.
#include "net/screen_picture.hpp"

namespace net {

Picture pictureOf(const ScreenBuffer& screen) {
    Picture picture;
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            const Cell& c = screen.cell(x, y);
            cellAt(picture, x, y) = {c.code, static_cast<unsigned char>(c.attr & 0xFF)};
        }
    return picture;
}

void paint(const Picture& picture, ScreenBuffer& screen) {
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            const PictureCell& p =
                picture[static_cast<std::size_t>(y) * pictureColumns + static_cast<std::size_t>(x)];
            if (screen.cell(x, y) == Cell{p.code, p.attr})
                continue;
            screen.gotoxy(x, y);
            screen.setColor(p.attr);
            screen.putChar(p.code);
        }
}

void paintNotice(const NoticeLine& line, Picture& picture) {
    if (line.row < 0 || line.row >= pictureRows)
        return;
    for (int x = 0; x < static_cast<int>(line.text.size()) && x < pictureColumns; ++x) {
        PictureCell& cell = cellAt(picture, x, line.row);
        if (cell.code == ' ' || cell.code == 0)
            cell = {static_cast<unsigned char>(line.text[static_cast<std::size_t>(x)]),
                    static_cast<unsigned char>(textColor)};
    }
}

} // namespace net
