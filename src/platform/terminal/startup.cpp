// SPDX-License-Identifier: MIT
// Start-up checks and the environment's say on glyphs and colours.
#include "platform/terminal/startup.hpp"

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <optional>
#include <unistd.h>

#include "cli/wrap_words.hpp"
#include "platform/terminal/signals.hpp"
#include "platform/terminal/tty.hpp"
#include "text/printable.hpp"

namespace term {

namespace {

std::optional<TerminalSession> taken;

// Whatever way the process leaves through exit(), the terminal goes back.
void restoreAtExit() {
    if (TerminalSession* session = currentSession())
        session->restoreTerminal();
}

} // namespace

std::string startProblem(int inFd, int outFd, const char* termName) {
    if (!isatty(inFd) || !isatty(outFd))
        return "standard input and output must be a terminal; "
               "start the game in a terminal window, without redirection.";
    if (termName == nullptr || *termName == '\0')
        return "TERM is not set, so the terminal type is unknown; "
               "the game needs a terminal that understands ANSI escape sequences.";
    if (std::strcmp(termName, "dumb") == 0)
        return "this terminal (TERM=dumb) cannot move the cursor or show colours; "
               "the game needs a terminal that understands ANSI escape sequences.";
    int columns = 0;
    int rows = 0;
    // A terminal that reports no size gets the benefit of the doubt.
    if (windowSize(outFd, columns, rows) && (columns < pictureColumns || rows < pictureRows))
        return "the terminal is " + std::to_string(columns) + "x" + std::to_string(rows) +
               " (columns x rows); the game needs at least " + std::to_string(pictureColumns) +
               "x" + std::to_string(pictureRows) + ". Make the window larger and start again.";
    return "";
}

void sayProblem(const std::string& problem) {
    int columns = 0;
    int rows = 0;
    if (!windowSize(STDERR_FILENO, columns, rows))
        columns = 0; // a file or a pipe: lines as long as they come
    std::string text = wrapWords("blockduel: " + problem, columns) + "\n";
    std::fputs(text.c_str(), stderr);
}

namespace {

// A codeset ("UTF-8") or a locale's name ("en_GB.utf8") that says UTF-8.
bool namesUtf8(const char* name) {
    if (name == nullptr)
        return false;
    std::string lower(name);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}

// The locale's name as the environment gives it: the first of LC_ALL,
// LC_CTYPE and LANG that is set to something.
const char* localeNameFromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return nullptr;
}

} // namespace

RenderOptions renderOptionsFromEnvironment() {
    RenderOptions options;
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        options.utf8 = namesUtf8(nl_langinfo(CODESET));
    } else {
        // A locale this system cannot load: not generated here, or, for a
        // statically linked build, kept in a format of another C library.
        // The terminal is still the one the name describes.
        options.utf8 = namesUtf8(localeNameFromEnvironment());
    }
    options.color = colorsWanted();
    return options;
}

bool colorsWanted() {
    const char* noColor = std::getenv("NO_COLOR");
    return noColor == nullptr || *noColor == '\0';
}

// Without the handlers a signal would end the game with the terminal left
// raw, so a game that cannot have them does not start.
TerminalSession* takeTerminal(bool holdWhileTooSmall, bool keyPlaces) {
    if (!signals::install()) {
        std::fprintf(stderr, "blockduel: cannot watch for signals: %s\n",
                     printable(std::strerror(errno)).c_str());
        return nullptr;
    }
    SessionOptions options;
    options.inFd = STDIN_FILENO;
    options.outFd = STDOUT_FILENO;
    options.render = renderOptionsFromEnvironment();
    options.holdWhileTooSmall = holdWhileTooSmall;
    options.keyPlaces = keyPlaces;
    taken.emplace(options);
    setCurrentSession(&*taken);
    static bool registered = false;
    if (!registered)
        registered = std::atexit(restoreAtExit) == 0;
    if (taken->start())
        return &*taken;
    giveBackTerminal(false);
    std::fputs("blockduel: cannot switch the terminal to raw input\n", stderr);
    return nullptr;
}

// The session stays, given back: what still draws into it (a host's last
// words to its guests) reaches no terminal.
void giveBackTerminal(bool finalPicture) {
    if (!taken)
        return;
    if (finalPicture)
        taken->finish();
    else
        taken->restoreTerminal();
}

} // namespace term
