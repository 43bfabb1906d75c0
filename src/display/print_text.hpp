// SPDX-License-Identifier: MIT
// The text of one print() call (console.hpp), formatted alike by every back
// end, so that all of them cut it at the same length and none can overrun:
// what the game prints is a short line, far below the limit.
#pragma once

#include <cstdarg>
#include <cstdio>

struct PrintText {
    char text[256]; // NUL-terminated, cut to fit
    int length;     // of `text`; 0 when the format failed
};

inline PrintText formatPrint(const char* format, std::va_list args) {
    PrintText t;
    int length = std::vsnprintf(t.text, sizeof t.text, format, args);
    if (length < 0) {
        t.text[0] = '\0';
        length = 0;
    }
    constexpr int longest = static_cast<int>(sizeof t.text) - 1;
    t.length = length < longest ? length : longest;
    return t;
}
