// SPDX-License-Identifier: MIT
// The game, built to stop itself with SIGSTOP at the moments where a stop
// from outside matters most, as one that lands at the worst moment:
// BLOCKDUEL_STOP_AT=POINT,FIRST,EVERY,COUNT stops it at pass number FIRST
// of POINT ("write": just before a write to the terminal; "jobcontrol":
// between the loop's look at the ending signals and its look at job
// control) and every EVERY passes after it, COUNT times in all. Without it
// the game is the game.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/terminal/terminal.hpp"

namespace {

term::StopPoint point = term::StopPoint::BeforeWrite;
long first = 0;
long every = 1;
long count = 0;
long passes = 0;

void stopAtSomePasses(term::StopPoint at) {
    if (at != point)
        return;
    ++passes;
    if (count > 0 && passes >= first && (passes - first) % every == 0) {
        --count;
        raise(SIGSTOP);
    }
}

bool parse(const char* schedule) {
    const char* comma = std::strchr(schedule, ',');
    if (comma == nullptr)
        return false;
    std::string_view name(schedule, static_cast<std::size_t>(comma - schedule));
    if (name == "write")
        point = term::StopPoint::BeforeWrite;
    else if (name == "jobcontrol")
        point = term::StopPoint::BeforeJobControl;
    else
        return false;
    char* end = nullptr;
    first = std::strtol(comma + 1, &end, 10);
    every = *end == ',' ? std::strtol(end + 1, &end, 10) : 0;
    count = *end == ',' ? std::strtol(end + 1, &end, 10) : 0;
    return *end == '\0' && first > 0 && every > 0 && count > 0;
}

// Before main, so that the game's first pass is counted.
const bool armed = [] {
    const char* schedule = std::getenv("BLOCKDUEL_STOP_AT");
    if (schedule == nullptr || !parse(schedule))
        return false;
    term::atStopPoint = stopAtSomePasses;
    return true;
}();

} // namespace
