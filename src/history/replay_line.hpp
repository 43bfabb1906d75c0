// SPDX-License-Identifier: MIT
// The line a replay shows over the picture: that it is a replay, of which
// match, which round and at what speed.
#pragma once

#include <string>

#include "net/picture.hpp"
#include "record/results.hpp"

namespace history {

// The speeds, in quarters of the game's own pace.
constexpr int slowestQuarters = 1;
constexpr int normalQuarters = 4;
constexpr int fastestQuarters = 32;

// A speed as the line and the help say it: "1/4x", "2x".
inline std::string speedText(int quarters) {
    if (quarters >= normalQuarters)
        return std::to_string(quarters / normalQuarters) + "x";
    return "1/" + std::to_string(normalQuarters / quarters) + "x";
}
// The line's place: right of the frame rate ("100FPS" at most), where
// nothing else of a match on this console is drawn.
constexpr int lineColumn = 7;

// What the line calls a match: its mode and the time it began (UTC),
// "computer 19:55"; the recording's name has the date.
std::string matchTitle(const record::MatchSetup& header);

// "Replay: <title>, round N, 2x", and " paused" while paused; at most as
// long as the picture leaves room for beside the frame rate.
std::string replayLine(const std::string& title, int round, int quarters, bool paused);

// A network guest's picture as its replay shows it, without what names the
// match's keys, which do nothing there: the row of the key legend, where the
// replay's own keys show, and what the status row says of P.
void leaveOutGameKeys(net::Picture& picture);

} // namespace history
