// SPDX-License-Identifier: MIT
// The game's picture between a screen buffer and the network: what a host
// sends of its buffer, with the match's lines as each guest is to read
// them, and what a guest makes of a picture it receives.
#pragma once

#include "display/notices.hpp"
#include "display/screen_buffer.hpp"
#include "game/match_lines.hpp"
#include "net/picture.hpp"

namespace netplay {

// The picture of a screen buffer, and a buffer brought to a picture.
net::Picture pictureOf(const ScreenBuffer& screen);
void paint(const net::Picture& picture, ScreenBuffer& screen);

// The match's lines of one viewer in place of another's: the cells they may
// take blanked, then `lines` written in.
void paintMatchLines(const MatchLines& lines, net::Picture& picture);

// A notice written into the cells of `picture` that are blank, as a
// console shows it over its buffer.
void paintNotice(const NoticeLine& line, net::Picture& picture);

} // namespace netplay
