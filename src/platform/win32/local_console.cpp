// SPDX-License-Identifier: MIT
// The network game's calls on the Windows console: the start-up checks,
// the console session as a game at one keyboard has it, the code asked for
// with the console's own line input before the game takes the console, and
// the join command named for cmd.exe.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "cli/state_folder.hpp"
#include "game/local.hpp"
#include "netplay/serving.hpp"
#include "platform/win32/console_keys.hpp"
#include "platform/win32/console_screen.hpp"
#include "platform/win32/console_session.hpp"
#include "platform/win32/program_name.hpp"
#include "platform/win32/serving_wait.hpp"

namespace {

// Reads of a line that never ends stop here; what came is refused.
constexpr std::size_t maxDrained = std::size_t{64} * 1024;
// Ctrl-Z, which a console line holds where a terminal's Ctrl-D ends the input.
constexpr char endOfInput = '\x1a';

// Line feeds go out as CR LF, as the console's own programs write them.
void writeText(std::string_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        DWORD written = 0;
        if (!line.empty() &&
            !WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
            return;
        if (end == std::string_view::npos)
            return;
        WriteFile(out, "\r\n", 2, &written, nullptr);
        text.remove_prefix(end + 1);
    }
}

} // namespace

// A game at this keyboard reads its picture back from the console's screen
// buffer, so a file or pipe cannot stand in for the output; over the
// network the input must be the console too, and big enough from the start.
std::string localProblem(ConsoleUse use) { return consoleProblem(use == ConsoleUse::Network); }

void localSay(const std::string& text) { writeText(text); }

void localComplain(const std::string& message) { sayConsoleProblem(message); }

std::string localStateFolder() { return windowsStateFolderPath(std::getenv("LOCALAPPDATA")); }

unsigned localProcessId() { return static_cast<unsigned>(GetCurrentProcessId()); }

// The console's line input hands the line over whole, with its own echo
// and editing; Ctrl-C ends the program as it ends any command, and Ctrl-Z
// at the start of the line ends the input. A line longer than `maxLength`
// is read to its end and refused.
LineRead localAskLine(const std::string& question, std::string& line, std::size_t maxLength) {
    localSay(question);
    line.clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string got;
    while (got.find('\n') == std::string::npos && got.size() <= maxDrained) {
        char bytes[256];
        DWORD n = 0;
        if (!ReadFile(input, bytes, sizeof bytes, &n, nullptr) &&
            GetLastError() != ERROR_BROKEN_PIPE)
            return LineRead::Failed;
        if (n == 0)
            break;
        got.append(bytes, n);
    }
    if (got.empty() || got[0] == endOfInput)
        return LineRead::End;
    got.erase(std::min(got.find('\n'), got.size()));
    while (!got.empty() && got.back() == '\r')
        got.pop_back();
    if (got.size() > maxLength)
        return LineRead::TooLong;
    line = got;
    return LineRead::Line;
}

// The path the system started this program from; the name alone when cmd
// finds this very program by it.
std::string localCommandName(const char* /*argv0*/) { return programForCommand(); }

char localContinuation() { return '^'; }

namespace {
// What the console was taken for, for how it is given back.
ConsoleUse takenFor = ConsoleUse::Game;
} // namespace

// Over the network the game's picture starts on a blank console at the top
// of its buffer, where the guests' pictures start too; the keys typed
// before are no keys of the game.
bool localTake(ConsoleUse use) {
    takenFor = use;
    beginConsoleSession(use == ConsoleUse::Network);
    if (use != ConsoleUse::Network)
        return true;
    consoleScreen().clear();
    discardTypedInput();
    forgetHeldKeys();
    return true;
}

// The final picture stays. After a network game what comes next starts
// below it; the keys of a match are no input for the shell.
void localFinish() {
    if (takenFor == ConsoleUse::Network) {
        consoleScreen().setNotices({});
        consoleScreen().show();
        consoleScreen().cursorBelow();
    }
    if (takenFor != ConsoleUse::Game)
        discardTypedInput();
}

void localRestore() {
    consoleScreen().clear();
    discardTypedInput();
}

void localFarewell(const std::string& text) { setFarewell(text); }

// The console's colours are its own: NO_COLOR is a terminal's convention.
bool localColors() { return true; }

LocalScreen& localScreen() { return consoleScreen(); }

void localServe(NetService* service) { setServed(service); }

bool localKeyReleases() { return true; }
