// SPDX-License-Identifier: MIT
// Frames of a real game, played by the game core on the in-memory back end
// and copied into the terminal's screen buffer after every frame: what the
// renderer has to send in play.
#pragma once

#include <vector>

#include "display/screen_buffer.hpp"

namespace term {

enum class KeyPlan {
    None,       // nobody touches the keyboard
    BothMoving, // both players turn every frame and go left and right in turns
};

struct GameFrame {
    ScreenBuffer screen;
    long long clockMs; // the back end's virtual clock at the frame's end
};

// The start-up picture, then up to `frames` frames of a game seeded with
// `seed` (fewer when it ends).
std::vector<GameFrame> recordGame(unsigned seed, int frames, KeyPlan plan);

} // namespace term
