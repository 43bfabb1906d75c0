// Checks the Windows console primitives on the console it runs in: what is
// written must show where it was meant to and read back as written. Prints
// one line per failed check to standard error and exits 1 if any failed.
// Standard output must be a console.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/console_session.hpp"
#include "display/console.hpp"

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "FAIL: %s\n", what);
    ++failures;
}

void expectCode(short x, short y, unsigned char want, const char* what) {
    unsigned char got = charAt(x, y);
    if (got != want)
        std::fprintf(stderr, "FAIL: %s: (%d, %d) reads %d, not %d\n", what, x, y, got, want);
    failures += got != want;
}

WORD attributeAt(short x, short y) {
    WORD attr = 0;
    DWORD count = 0;
    ReadConsoleOutputAttribute(GetStdHandle(STD_OUTPUT_HANDLE), &attr, 1, COORD{x, y}, &count);
    return attr;
}

COORD cursor() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
    return info.dwCursorPosition;
}

// Registered before the session begins, so it runs after the session's
// own exit handler has put the code page back.
void checkRestoredAtExit() {
    if (GetConsoleOutputCP() != 850) {
        std::fprintf(stderr, "FAIL: code page %u at exit, not 850\n", GetConsoleOutputCP());
        std::fflush(stderr);
        std::_Exit(1);
    }
}

void checkGlyphs() {
    expect(GetConsoleOutputCP() == 437, "the session uses code page 437");
    setColor(11);
    gotoxy(3, 2);
    putChar(178);
    putChar(219);
    putChar(32);
    expectCode(3, 2, 178, "dark shade");
    expectCode(4, 2, 219, "full block");
    expectCode(5, 2, 32, "space");
    expect(attributeAt(3, 2) == 11 && attributeAt(4, 2) == 11, "cells carry attribute 11");
    setColor(12);
    putChar('x');
    expect(attributeAt(6, 2) == 12, "a new attribute applies to the next write");
}

void checkText() {
    setColor(7);
    gotoxy(10, 5);
    print("ab\ncd %d", 42);
    expectCode(10, 5, 'a', "text before a line feed");
    expectCode(11, 5, 'b', "text before a line feed");
    expectCode(0, 6, 'c', "a line feed moves to column 0 of the next row");
    expectCode(3, 6, '4', "formatted number");
    COORD at = cursor();
    expect(at.X == 5 && at.Y == 6, "the cursor ends after the text");
    expectCode(12, 5, ' ', "nothing written past the line feed");

    // Longer than print's buffer: cut short at the end of it, nothing else.
    gotoxy(0, 8);
    print("%700s|", "");
    COORD after = cursor();
    expect(after.Y * 80 + after.X == 8 * 80 + 511, "overlong text is cut at 511 characters");
}

void checkReadBack() {
    expectCode(70, 20, ' ', "a cell never written reads as a space");
    expectCode(-1, 0, ' ', "a failed read gives a space");
    expectCode(0, 30000, ' ', "a failed read gives a space");
}

} // namespace

int main() {
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        std::fputs("console_probe: standard output is not a console\n", stderr);
        return 2;
    }
    // A code page other than 437, so that the exit check can tell.
    SetConsoleOutputCP(850);
    std::atexit(checkRestoredAtExit);
    beginConsoleSession();
    checkGlyphs();
    checkText();
    checkReadBack();
    gotoxy(0, 22);
    print(failures == 0 ? "probe passed\n" : "probe failed\n");
    return failures == 0 ? 0 : 1;
}
