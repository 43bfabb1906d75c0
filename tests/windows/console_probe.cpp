// SPDX-License-Identifier: MIT
// Checks, on the console it runs in, what the game relies on beyond what the
// smoke test sees on screen: the board's glyphs and colours read back as
// written, and the code page put back at exit. Exits 1 on the first failure,
// naming it on standard error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "display/console.hpp"
#include "platform/win32/console_session.hpp"

namespace {

void expect(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "FAIL: %s\n", what);
    std::exit(1);
}

WORD attributeAt(short x, short y) {
    WORD attr = 0;
    DWORD count = 0;
    ReadConsoleOutputAttribute(GetStdHandle(STD_OUTPUT_HANDLE), &attr, 1, COORD{x, y}, &count);
    return attr;
}

// Registered before the session begins, so it runs after the session's
// own exit handler has put the code page back.
void checkRestoredAtExit() {
    if (GetConsoleOutputCP() != 850) {
        std::fprintf(stderr, "FAIL: code page %u at exit, not 850\n", GetConsoleOutputCP());
        std::_Exit(1);
    }
}

} // namespace

int main() {
    if (!outputIsConsole()) {
        std::fputs("console_probe: standard output is not a console\n", stderr);
        return 2;
    }
    SetConsoleOutputCP(850); // not 437, so that the exit check can tell
    std::atexit(checkRestoredAtExit);
    beginConsoleSession();
    expect(GetConsoleOutputCP() == 437, "the session uses code page 437");
    setColor(11);
    gotoxy(3, 2);
    putChar(178);
    putChar(219);
    setColor(12);
    putChar('x');
    expect(charAt(3, 2) == 178, "the dark shade (178) reads back as written");
    expect(charAt(4, 2) == 219, "the full block (219) reads back as written");
    expect(charAt(5, 2) == 'x' && charAt(6, 2) == ' ', "the cursor advances one cell a character");
    expect(attributeAt(4, 2) == 11 && attributeAt(5, 2) == 12, "each cell carries its colour");
    return 0;
}
