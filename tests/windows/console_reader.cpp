// SPDX-License-Identifier: MIT
// Reads another program's console from outside, for the keyboard test: it
// attaches to the console of the running process with the given image name
// (blockduel.exe) and prints the top 80x25 cells of its screen buffer several
// times, a little apart, because the game erases a moving piece and draws it
// again within a frame. Each read is 25 lines with the dark shade (178) as
// '#', the full block (219) as '@' and any other unprintable code as '?',
// followed by a line "--".
// Usage: blockduel_console_reader IMAGE [READS [MS_APART]]
// Exits 1 when the process or its console cannot be reached.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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
bool readScreen(HANDLE screen, FILE* out) {
    static CHAR_INFO cells[height][width];
    SMALL_RECT area{0, 0, width - 1, height - 1};
    if (!ReadConsoleOutputA(screen, &cells[0][0], COORD{width, height}, COORD{0, 0}, &area))
        return false;
    for (const auto& row : cells) {
        char line[width + 1];
        for (int x = 0; x < width; ++x)
            line[x] = shown(row[x]);
        line[width] = '\0';
        std::fprintf(out, "%s\n", line);
    }
    std::fputs("--\n", out);
    return true;
}

int bounded(const char* arg, int fallback, int most) {
    int value = arg != nullptr ? std::atoi(arg) : fallback;
    return value < 1 ? 1 : (value > most ? most : value);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fputs("usage: blockduel_console_reader IMAGE [READS [MS_APART]]\n", stderr);
        return 2;
    }
    // Lines end in LF alone, as the shell that reads them expects.
    _setmode(_fileno(stdout), _O_BINARY);
    int reads = bounded(argc > 2 ? argv[2] : nullptr, 1, 100);
    int apart = bounded(argc > 3 ? argv[3] : nullptr, 30, 1000);
    DWORD pid = findProcess(argv[1]);
    // Our own console, if any, has to go before another can be attached.
    FreeConsole();
    if (pid == 0 || !AttachConsole(pid)) {
        std::fprintf(stderr, "console_reader: no console of a running %s\n", argv[1]);
        return 1;
    }
    HANDLE screen =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    for (int i = 0; i < reads; ++i) {
        if (i > 0)
            Sleep(static_cast<DWORD>(apart));
        if (!readScreen(screen, stdout)) {
            std::fprintf(stderr, "console_reader: cannot read the console of %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
