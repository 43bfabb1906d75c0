// SPDX-License-Identifier: MIT
// Pictures from and into screen buffers.
#include "netplay/pictures.hpp"

#include <cstddef>

namespace netplay {

namespace {

net::PictureCell& cellAt(net::Picture& picture, int x, int y) {
    return picture[static_cast<std::size_t>(y) * pictureColumns + static_cast<std::size_t>(x)];
}

} // namespace

net::Picture pictureOf(const ScreenBuffer& screen) {
    net::Picture picture;
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            const Cell& c = screen.cell(x, y);
            cellAt(picture, x, y) = {c.code, static_cast<unsigned char>(c.attr & 0xFF)};
        }
    return picture;
}

void paint(const net::Picture& picture, ScreenBuffer& screen) {
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            const net::PictureCell& p =
                picture[static_cast<std::size_t>(y) * pictureColumns + static_cast<std::size_t>(x)];
            if (screen.cell(x, y) == Cell{p.code, p.attr})
                continue;
            screen.gotoxy(x, y);
            screen.setColor(p.attr);
            screen.putChar(p.code);
        }
}

void paintMatchLines(const MatchLines& lines, net::Picture& picture) {
    for (const MatchSpan& span : matchSpans)
        for (int x = span.x; x < span.x + span.width && x < pictureColumns; ++x)
            cellAt(picture, x, span.y) = net::PictureCell{' ', textColor};
    for (int i = 0; i < lines.count; ++i) {
        const MatchLine& line = lines.line[i];
        for (int k = 0; line.text[k] != '\0' && line.x + k < pictureColumns; ++k)
            cellAt(picture, line.x + k, line.y) = {static_cast<unsigned char>(line.text[k]),
                                                   static_cast<unsigned char>(line.color)};
    }
}

void paintNotice(const NoticeLine& line, net::Picture& picture) {
    if (line.row < 0 || line.row >= pictureRows)
        return;
    for (int x = 0; x < static_cast<int>(line.text.size()) && x < pictureColumns; ++x) {
        net::PictureCell& cell = cellAt(picture, x, line.row);
        if (cell.code == ' ' || cell.code == 0)
            cell = {static_cast<unsigned char>(line.text[static_cast<std::size_t>(x)]),
                    static_cast<unsigned char>(textColor)};
    }
}

} // namespace netplay
