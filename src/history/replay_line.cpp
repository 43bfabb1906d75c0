// SPDX-License-Identifier: MIT
#include "history/replay_line.hpp"

#include <cstdio>
#include <string_view>

#include "display/layout.hpp"
#include "game/match_lines.hpp"
#include "record/calendar.hpp"
#include "record/stats.hpp"

namespace history {

namespace {

// Blanks `text` where the status row holds it.
void blankOnStatusRow(net::Picture& picture, std::string_view text) {
    std::string row;
    for (int x = 0; x < pictureColumns; ++x)
        row += static_cast<char>(net::cellAt(picture, x, promptRow).code);
    std::size_t at = row.find(text);
    for (std::size_t k = 0; at != std::string::npos && k < text.size(); ++k)
        net::cellAt(picture, static_cast<int>(at + k), promptRow) = {' ', textColor};
}

} // namespace

std::string matchTitle(const record::MatchSetup& header) {
    record::CivilTime t = record::civilTime(header.startedUnix);
    char when[16];
    std::snprintf(when, sizeof when, "%02d:%02d", t.hour, t.minute);
    return std::string(record::modeName(header.mode) + 2) + " " + when;
}

void leaveOutGameKeys(net::Picture& picture) {
    for (int x = 0; x < pictureColumns; ++x)
        net::cellAt(picture, x, legendRow) = {' ', textColor};
    blankOnStatusRow(picture, pauseHint);
    blankOnStatusRow(picture, resumeHint);
}

std::string replayLine(const std::string& title, int round, int quarters, bool paused) {
    std::string line =
        "Replay: " + title + ", round " + std::to_string(round) + ", " + speedText(quarters);
    if (paused)
        line += " paused";
    return line.substr(0, static_cast<std::size_t>(pictureColumns - lineColumn));
}

} // namespace history
