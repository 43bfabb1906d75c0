// SPDX-License-Identifier: MIT
#include "history/replay_line.hpp"

#include <cstdio>

#include "display/layout.hpp"
#include "record/calendar.hpp"
#include "record/stats.hpp"

namespace history {

namespace {

std::string speedText(int quarters) {
    if (quarters >= normalQuarters)
        return std::to_string(quarters / normalQuarters) + "x";
    return "1/" + std::to_string(normalQuarters / quarters) + "x";
}

} // namespace

std::string matchTitle(const record::MatchSetup& header) {
    record::CivilTime t = record::civilTime(header.startedUnix);
    char when[16];
    std::snprintf(when, sizeof when, "%02d:%02d", t.hour, t.minute);
    return std::string(record::modeName(header.mode) + 2) + " " + when;
}

std::string replayLine(const std::string& title, int round, int quarters, bool paused) {
    std::string line =
        "Replay: " + title + ", round " + std::to_string(round) + ", " + speedText(quarters);
    if (paused)
        line += " paused";
    return line.substr(0, static_cast<std::size_t>(pictureColumns - lineColumn));
}

} // namespace history
