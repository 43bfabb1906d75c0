// SPDX-License-Identifier: MIT
// The console and platform calls of the game, answered by the current
// terminal session: drawing goes into its screen buffer, keys and waits to
// its input.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "display/console.hpp"
#include "display/print_text.hpp"
#include "game/platform.hpp"
#include "platform/terminal/session.hpp"

namespace {

term::TerminalSession& session() {
    term::TerminalSession* s = term::currentSession();
    if (s == nullptr) {
        std::fputs("blockduel: the game ran without a terminal session\n", stderr);
        std::abort();
    }
    return *s;
}

} // namespace

void gotoxy(int x, int y) { session().screen().gotoxy(x, y); }

unsigned char charAt(short x, short y) { return session().screen().charAt(x, y); }

void setColor(short color) { session().screen().setColor(color); }

void putChar(int code) { session().screen().putChar(code); }

void print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    PrintText t = formatPrint(format, args);
    va_end(args);
    session().screen().write(t.text);
}

bool keyPressed(int virtualKey) { return session().keyPressed(virtualKey); }

void sleepMs(int ms) { session().sleepMs(ms); }

long long clockSeconds() { return session().clockSeconds(); }

void endFrame() { session().endFrame(); }

int readChar() { return session().readChar(); }
