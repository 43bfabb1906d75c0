// SPDX-License-Identifier: MIT
#include "cli/match_keeping.hpp"

#include <cstdio>

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
    case Mode::Computer: break;
    }
    return record::PlayMode::Computer;
}

int boardOfYou(Mode mode) {
    if (mode == Mode::Demo)
        return -1;
    return mode == Mode::Join || mode == Mode::Watch ? 1 : 0;
}

const char* programVersion() { return BLOCKDUEL_VERSION; }

bool keepsMatches(Mode mode) {
    return mode == Mode::Computer || mode == Mode::Demo || mode == Mode::Match ||
           mode == Mode::Host;
}

// The civil date of a day count from 1970-01-01, by the proleptic
// Gregorian calendar (H. Hinnant's days_from_civil, run backwards).
std::string timeStamp(long long unixTime) {
    long long days = unixTime >= 0 ? unixTime / 86400 : (unixTime - 86399) / 86400;
    long long seconds = unixTime - days * 86400;
    long long z = days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long dayOfEra = z - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long mp = (5 * dayOfYear + 2) / 153;
    long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
    long long month = mp < 10 ? mp + 3 : mp - 9;
    long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[96]; // room for any year the numbers can hold
    std::snprintf(text, sizeof text, "%04lld%02lld%02lld-%02lld%02lld%02lld", year, month, day,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}
