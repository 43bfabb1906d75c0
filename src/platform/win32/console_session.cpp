// SPDX-License-Identifier: MIT
// The console state the game borrows for its run.
#include "platform/win32/console_session.hpp"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "cli/wrap_words.hpp"
#include "display/layout.hpp"

namespace {

// Set once before the handlers that read them are installed.
UINT savedCodePage = 0;
WORD savedAttributes = 0;
bool attributesSaved = false;
DWORD savedInputMode = 0;
bool inputModeSaved = false;
CONSOLE_CURSOR_INFO savedCursor = {};
bool cursorSaved = false;

// The farewell, read by the handler's thread: the length is set last, and
// cleared before the text changes.
char farewell[512];
std::atomic<DWORD> farewellLength{0};

HANDLE output() { return GetStdHandle(STD_OUTPUT_HANDLE); }
HANDLE input() { return GetStdHandle(STD_INPUT_HANDLE); }

// Safe to run twice: a Ctrl-C during the final wait may race the exit.
void restoreConsole() {
    if (savedCodePage != 0)
        SetConsoleOutputCP(savedCodePage);
    if (attributesSaved)
        SetConsoleTextAttribute(output(), savedAttributes);
    if (inputModeSaved)
        SetConsoleMode(input(), savedInputMode);
    if (cursorSaved)
        SetConsoleCursorInfo(output(), &savedCursor);
}

// A selection with the mouse (the console's quick edit mode) holds every
// write to the console until it ends, and with it a network game's frames
// and its connections; and the cursor has no place over a picture drawn
// by cells.
void holdForNetwork() {
    inputModeSaved = GetConsoleMode(input(), &savedInputMode) != 0;
    if (inputModeSaved)
        SetConsoleMode(input(), (savedInputMode | ENABLE_EXTENDED_FLAGS) & ~ENABLE_QUICK_EDIT_MODE);
    cursorSaved = GetConsoleCursorInfo(output(), &savedCursor) != 0;
    if (cursorSaved) {
        CONSOLE_CURSOR_INFO hidden = savedCursor;
        hidden.bVisible = FALSE;
        SetConsoleCursorInfo(output(), &hidden);
    }
}

// On the row below the picture, which starts at the top of the console.
void sayFarewell() {
    DWORD length = farewellLength.exchange(0);
    if (length == 0)
        return;
    SetConsoleCursorPosition(output(), COORD{0, static_cast<SHORT>(pictureRows)});
    DWORD written = 0;
    WriteFile(output(), farewell, length, &written, nullptr);
}

// Runs on a thread of its own; returning FALSE lets the default handler
// end the process as usual.
BOOL WINAPI restoreOnSignal(DWORD event) {
    restoreConsole();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        sayFarewell();
    return FALSE;
}

} // namespace

bool outputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(output(), &mode) != 0;
}

std::string consoleProblem(bool network) {
    if (!outputIsConsole())
        return "standard output is not a console; run the game in a console window.";
    if (!network)
        return "";
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode))
        return "standard input is not a console; run the game in a console window, "
               "without redirection.";
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output(), &info) &&
        (info.dwSize.X < pictureColumns || info.dwSize.Y < pictureRows))
        return "the console is " + std::to_string(info.dwSize.X) + "x" +
               std::to_string(info.dwSize.Y) + " (columns x rows); the game needs at least " +
               std::to_string(pictureColumns) + "x" + std::to_string(pictureRows) +
               ". Make the window larger and start again.";
    return "";
}

void sayConsoleProblem(const std::string& problem) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    int width = 0;
    // One column short of the window: the console moves to the next line as
    // soon as one is full, so a full line and its break would leave a blank one.
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        width = info.srWindow.Right - info.srWindow.Left;
    std::string text = wrapWords("blockduel: " + problem, width) + "\n";
    std::fputs(text.c_str(), stderr);
}

void beginConsoleSession(bool network) {
    if (network)
        holdForNetwork();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output(), &info)) {
        savedAttributes = info.wAttributes;
        attributesSaved = true;
    }
    savedCodePage = GetConsoleOutputCP();
    std::atexit(restoreConsole);
    SetConsoleCtrlHandler(restoreOnSignal, TRUE);
    SetConsoleOutputCP(gameCodePage);
}

// Line feeds go out as CR LF, as the console's own programs write them.
void setFarewell(const std::string& text) {
    farewellLength = 0;
    DWORD length = 0;
    for (char c : text) {
        if (length + 2 > sizeof farewell)
            break;
        if (c == '\n')
            farewell[length++] = '\r';
        farewell[length++] = c;
    }
    farewellLength = length;
}

void discardTypedInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        FlushConsoleInputBuffer(input);
}
