// SPDX-License-Identifier: MIT
// The match's lines as each guest is to read them, in a picture the host
// sends.
#pragma once

#include "game/match_lines.hpp"
#include "net/picture.hpp"

namespace netplay {

// The match's lines of one viewer in place of another's: the cells they may
// take blanked, then `lines` written in.
void paintMatchLines(const MatchLines& lines, net::Picture& picture);

} // namespace netplay
