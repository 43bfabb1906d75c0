// SPDX-License-Identifier: MIT
// A player at the keyboard who follows a plan: for each new piece, turn it,
// move it to its column and hold the drop key until it lands. The keys come
// out as the bytes a terminal sends for them.
#pragma once

#include <span>
#include <string>

#include "model/model.hpp"

namespace shot {

// Where one piece goes: quarter turns clockwise, then the board column of
// its grid (the piece's `bx`).
struct Placement {
    int turns;
    int column;
};

// The bytes each key of one player sends in a terminal without the kitty
// protocol.
struct KeyBytes {
    const char* rotate;
    const char* left;
    const char* right;
    const char* drop;
};

class Pilot {
public:
    Pilot(std::span<const Placement> plan, const KeyBytes& keys) : plan_(plan), keys_(keys) {}

    // The keys for the next frame, from the piece as it is now and the
    // frame counter (turns are only read in even frames). Nothing once the
    // plan is done.
    std::string keysFor(const Player& p, int tick);

    // Pieces taken from the plan so far.
    int placed() const { return static_cast<int>(next_); }

private:
    std::span<const Placement> plan_;
    KeyBytes keys_;
    std::size_t next_ = 0;
    bool steering_ = false; // the piece in play has a placement
    Placement target_ = {};
    int lastRow_ = mapHeight; // the piece's row in the previous frame
};

} // namespace shot
