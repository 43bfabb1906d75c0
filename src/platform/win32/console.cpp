// SPDX-License-Identifier: MIT
// The console primitives on the Windows console. Every call fetches the
// standard output handle afresh, and all text goes out with WriteConsoleA so
// that the bytes reach the console untranslated and before the next cursor
// move. Every write also goes to the console's picture beside it, which a
// network host sends its guests; charAt still reads the console itself.
#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "display/console.hpp"
#include "display/print_text.hpp"
#include "platform/win32/console_screen.hpp"

namespace {

HANDLE output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

void writeBytes(const char* bytes, DWORD count) {
    if (count == 0)
        return;
    DWORD written = 0;
    WriteConsoleA(output(), bytes, count, &written, nullptr);
}

} // namespace

void gotoxy(int x, int y) {
    COORD at{static_cast<SHORT>(x), static_cast<SHORT>(y)};
    SetConsoleCursorPosition(output(), at);
    consoleScreen().gotoxy(x, y);
}

unsigned char charAt(short x, short y) {
    HANDLE out = output();
    // The query's answer is not needed: it shows that the handle is a
    // console, and a failure is reported where the cursor stands.
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        print("GetConsoleScreenBufferInfo (%d)\n", static_cast<int>(GetLastError()));
    char buf[2] = {' ', '\0'};
    DWORD num_read = 0;
    if (!ReadConsoleOutputCharacterA(out, buf, 1, COORD{x, y}, &num_read))
        return ' ';
    return static_cast<unsigned char>(buf[0]);
}

void setColor(short color) {
    SetConsoleTextAttribute(output(), static_cast<WORD>(color));
    consoleScreen().setColor(color);
}

void putChar(int code) {
    char byte = static_cast<char>(code);
    writeBytes(&byte, 1);
    consoleScreen().putChar(code);
}

// A line feed goes out as CR LF, as the C runtime's text mode would write
// it: the carriage return puts the cursor in column 0 whatever the
// console's newline handling, and the line feed moves it down a row.
void print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    PrintText t = formatPrint(format, args);
    va_end(args);
    const char* end = t.text + t.length;
    const char* start = t.text;
    for (const char* c = t.text; c != end; ++c) {
        if (*c != '\n')
            continue;
        writeBytes(start, static_cast<DWORD>(c - start));
        writeBytes("\r\n", 2);
        start = c + 1;
    }
    writeBytes(start, static_cast<DWORD>(end - start));
    consoleScreen().write(t.text);
}
