// SPDX-License-Identifier: MIT
// Following a plan of placements with the keys a player would press.
#include "pilot.hpp"

namespace shot {

std::string Pilot::keysFor(const Player& p, int tick) {
    // A new piece enters above the board, higher than any piece in play.
    if (p.by < lastRow_) {
        steering_ = next_ < plan_.size();
        if (steering_)
            target_ = plan_[next_++];
    }
    lastRow_ = p.by;
    if (!steering_)
        return "";
    // Turns first, at the top, where nothing is in the way; the game reads
    // the turn key in even frames only.
    if (target_.turns > 0) {
        if (tick % 2 != 0)
            return "";
        target_.turns -= 1;
        return keys_.rotate;
    }
    if (p.bx > target_.column)
        return keys_.left;
    if (p.bx < target_.column)
        return keys_.right;
    return keys_.drop;
}

} // namespace shot
