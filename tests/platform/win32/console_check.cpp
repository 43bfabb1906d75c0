// SPDX-License-Identifier: MIT
// The Windows smoke test's look at the console, two ways:
// - probe: on the console it runs in, what the game relies on beyond what
//   the smoke test sees on screen: the board's glyphs and colours read back
//   as written, and the code page put back at exit. Exits 1 on the first
//   failure, naming it on standard error.
// - read IMAGE READS: attaches to the console of the running process with
//   that image name (blockduel.exe) and prints the top 80x25 cells of its
//   screen buffer READS times (1 to 100), 40 ms apart, because the game
//   erases a moving piece and draws it again within a frame. Each read
//   is 25 lines with the dark shade (178) as '#', the full block (219) as
//   '@' and any other unprintable code as '?', followed by a line "--".
//   Exits 1 when the process or its console cannot be reached.
// - watch IMAGE: the same reads once a second, each flushed at once, until
//   the console cannot be read any more (the game ended), for the door's
//   figures (bench/admission_figures.cpp) to follow a Windows host.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

int probe() {
    expect(outputIsConsole(), "standard output is a console");
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

constexpr SHORT width = 80;
constexpr SHORT height = 25;

// The first process running the given image, or 0.
DWORD findProcess(const char* image) {
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (all == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(all, &entry); more && found == 0;
         more = Process32Next(all, &entry)) {
        if (_stricmp(entry.szExeFile, image) == 0)
            found = entry.th32ProcessID;
    }
    CloseHandle(all);
    return found;
}

char shown(CHAR_INFO cell) {
    auto code = static_cast<unsigned char>(cell.Char.AsciiChar);
    if (code == 178)
        return '#';
    if (code == 219)
        return '@';
    return code >= 32 && code < 127 ? static_cast<char>(code) : '?';
}

// One read of the screen as text, 25 lines of 80 characters and "--".
bool readScreen(HANDLE screen) {
    static CHAR_INFO cells[height][width];
    SMALL_RECT area{0, 0, width - 1, height - 1};
    if (!ReadConsoleOutputA(screen, &cells[0][0], COORD{width, height}, COORD{0, 0}, &area))
        return false;
    for (const auto& row : cells) {
        char line[width + 1];
        for (int x = 0; x < width; ++x)
            line[x] = shown(row[x]);
        line[width] = '\0';
        std::printf("%s\n", line);
    }
    std::puts("--");
    return true;
}

// The screen buffer of the console of the running process with that image
// name, or INVALID_HANDLE_VALUE.
HANDLE attachTo(const char* image) {
    // Lines end in LF alone, as the shell that reads them expects.
    _setmode(_fileno(stdout), _O_BINARY);
    DWORD pid = findProcess(image);
    // Our own console, if any, has to go before another can be attached.
    FreeConsole();
    if (pid == 0 || !AttachConsole(pid)) {
        std::fprintf(stderr, "console_check: no console of a running %s\n", image);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// READS reads, `apartMs` apart; 0 reads: until one fails, which is no
// failure once the first has worked (the game has ended).
int readConsole(const char* image, int reads, DWORD apartMs) {
    HANDLE screen = attachTo(image);
    if (screen == INVALID_HANDLE_VALUE)
        return 1;
    for (int i = 0; reads == 0 || i < reads; ++i) {
        if (i > 0)
            Sleep(apartMs);
        if (!readScreen(screen)) {
            std::fprintf(stderr, "console_check: cannot read the console of %s\n", image);
            return reads == 0 && i > 0 ? 0 : 1;
        }
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "probe") == 0)
        return probe();
    int reads = argc == 4 ? std::atoi(argv[3]) : 0;
    if (reads >= 1 && reads <= 100 && std::strcmp(argv[1], "read") == 0)
        return readConsole(argv[2], reads, 40);
    if (argc == 3 && std::strcmp(argv[1], "watch") == 0)
        return readConsole(argv[2], 0, 1000);
    std::fputs("usage: blockduel_console_check probe | read IMAGE READS | watch IMAGE\n", stderr);
    return 2;
}
