// SPDX-License-Identifier: MIT
// The match's lines written into a picture.
#include "netplay/pictures.hpp"

namespace netplay {

void paintMatchLines(const MatchLines& lines, net::Picture& picture) {
    for (const MatchSpan& span : matchSpans)
        for (int x = span.x; x < span.x + span.width && x < pictureColumns; ++x)
            net::cellAt(picture, x, span.y) = net::PictureCell{' ', textColor};
    for (int i = 0; i < lines.count; ++i) {
        const MatchLine& line = lines.line[i];
        for (int k = 0; line.text[k] != '\0' && line.x + k < pictureColumns; ++k)
            net::cellAt(picture, line.x + k, line.y) = {static_cast<unsigned char>(line.text[k]),
                                                        static_cast<unsigned char>(line.color)};
    }
}

} // namespace netplay
