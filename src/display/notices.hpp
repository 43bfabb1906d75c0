// SPDX-License-Identifier: MIT
// Lines a back end shows over the game's picture, on cells where the game
// has drawn nothing: how to join a network game, a player who left, the
// door turning strangers away. They are never in the game's own buffer, so
// the game never reads them back.
#pragma once

#include <string>
#include <vector>

#include "display/screen_buffer.hpp"

struct NoticeLine {
    int row;
    std::string text;
};

// `screen` with the notices written into the cells it leaves blank.
ScreenBuffer withNotices(const ScreenBuffer& screen, const std::vector<NoticeLine>& notices);
