// SPDX-License-Identifier: MIT
// A moment as a date and a time of day, in UTC, for the names and titles
// of kept matches: no time zone, no locale, the same on every system.
#pragma once

namespace record {

struct CivilTime {
    long long year;
    int month; // 1 to 12
    int day;   // 1 to 31
    int hour;
    int minute;
    int second;
};

// Seconds since 1970-01-01 00:00 UTC as a date and time, by the proleptic
// Gregorian calendar.
CivilTime civilTime(long long unixTime);

} // namespace record
