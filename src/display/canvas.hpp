// SPDX-License-Identifier: MIT
// What the game draws on, with the console primitives' names and meaning
// (display/console.hpp): the back end's console for the game without
// options, a match's own screen buffer for every match, so that matches
// side by side in one process never draw on one another. The board record
// and the game each say which they draw on.
#pragma once

#include <cstdarg>

#include "display/print_text.hpp"

class Canvas {
public:
    virtual void gotoxy(int x, int y) = 0;
    // The code last written at (x, y); a space for a cell never written and
    // for any cell outside the picture.
    virtual unsigned char charAt(int x, int y) const = 0;
    virtual void setColor(short color) = 0;
    virtual void putChar(int code) = 0;
    // Text at the cursor; '\n' goes to column 0 of the next row.
    virtual void write(const char* text) = 0;

    // printf-style text, cut as every back end cuts a print().
    void print(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        std::va_list args;
        va_start(args, format);
        PrintText t = formatPrint(format, args);
        va_end(args);
        write(t.text);
    }

protected:
    Canvas() = default;
    Canvas(const Canvas&) = default;
    Canvas& operator=(const Canvas&) = default;
    ~Canvas() = default;
};

// The console of display/console.hpp, as the back end implements it.
Canvas& backEndConsole();
