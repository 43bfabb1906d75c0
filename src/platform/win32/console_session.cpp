// SPDX-License-Identifier: MIT
// The console state the game borrows for its run.
#include "platform/win32/console_session.hpp"

#include <windows.h>

#include <cstdlib>

namespace {

// Set once before the handlers that read them are installed.
UINT savedCodePage = 0;
WORD savedAttributes = 0;
bool attributesSaved = false;

HANDLE output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

// Safe to run twice: a Ctrl-C during the final wait may race the exit.
void restoreConsole() {
    if (savedCodePage != 0)
        SetConsoleOutputCP(savedCodePage);
    if (attributesSaved)
        SetConsoleTextAttribute(output(), savedAttributes);
}

// Runs on a thread of its own; returning FALSE lets the default handler
// end the process as usual.
BOOL WINAPI restoreOnSignal(DWORD /*event*/) {
    restoreConsole();
    return FALSE;
}

} // namespace

bool outputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(output(), &mode) != 0;
}

void beginConsoleSession() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output(), &info)) {
        savedAttributes = info.wAttributes;
        attributesSaved = true;
    }
    savedCodePage = GetConsoleOutputCP();
    std::atexit(restoreConsole);
    SetConsoleCtrlHandler(restoreOnSignal, TRUE);
    SetConsoleOutputCP(437);
}

void discardTypedInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        FlushConsoleInputBuffer(input);
}
