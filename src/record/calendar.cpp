// SPDX-License-Identifier: MIT
#include "record/calendar.hpp"

namespace record {

namespace {

constexpr long long secondsADay = 86400;
constexpr long long daysAnEra = 146097; // 400 years

long long floorDivide(long long a, long long b) { return a >= 0 ? a / b : (a - b + 1) / b; }

} // namespace

// H. Hinnant's civil_from_days: the day count shifted to eras of 400 years
// that start on 1 March, so that the leap day ends each year.
CivilTime civilTime(long long unixTime) {
    long long days = floorDivide(unixTime, secondsADay);
    long long seconds = unixTime - days * secondsADay;
    long long z = days + 719468;
    long long era = floorDivide(z, daysAnEra);
    long long dayOfEra = z - era * daysAnEra;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long mp = (5 * dayOfYear + 2) / 153;
    int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year,
            month,
            day,
            static_cast<int>(seconds / 3600),
            static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60)};
}

} // namespace record
