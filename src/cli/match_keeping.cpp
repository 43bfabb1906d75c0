// SPDX-License-Identifier: MIT
#include "cli/match_keeping.hpp"

#include <cstdio>

#include "record/calendar.hpp"

#ifndef BLOCKDUEL_VERSION
#define BLOCKDUEL_VERSION "unknown"
#endif

record::PlayMode playModeOf(Mode mode) {
    switch (mode) {
    case Mode::Demo: return record::PlayMode::Demo;
    case Mode::Match: return record::PlayMode::Match;
    case Mode::Host: return record::PlayMode::Host;
    case Mode::Join:
    case Mode::Watch: return record::PlayMode::Guest;
    case Mode::Local:
    case Mode::Replay:
    case Mode::Stats:
    case Mode::Serve:
    case Mode::Computer: break;
    }
    return record::PlayMode::Computer;
}

int boardOfYou(Mode mode) {
    if (mode == Mode::Demo || mode == Mode::Match || mode == Mode::Watch)
        return -1; // nobody, or two people at one keyboard
    return mode == Mode::Join ? 1 : 0;
}

const char* programVersion() { return BLOCKDUEL_VERSION; }

bool keepsMatches(Mode mode) {
    return mode == Mode::Computer || mode == Mode::Demo || mode == Mode::Match ||
           mode == Mode::Host || mode == Mode::Join || mode == Mode::Watch;
}

std::string timeStamp(long long unixTime) {
    record::CivilTime t = record::civilTime(unixTime);
    char text[96]; // room for any year the numbers can hold
    std::snprintf(text, sizeof text, "%04lld%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}
