// SPDX-License-Identifier: MIT
// Start-up checks and the environment's say on glyphs and colours.
#include "startup.hpp"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <strings.h>
#include <unistd.h>

#include "tty.hpp"

namespace term {

std::string startProblem(int inFd, int outFd, const char* termName) {
    if (!isatty(inFd) || !isatty(outFd))
        return "blockduel: standard input and output must be a terminal; "
               "start the game in a terminal window, without redirection.";
    if (termName == nullptr || *termName == '\0')
        return "blockduel: TERM is not set, so the terminal type is unknown; "
               "the game needs a terminal that understands ANSI escape sequences.";
    if (std::strcmp(termName, "dumb") == 0)
        return "blockduel: this terminal (TERM=dumb) cannot move the cursor or show colours; "
               "the game needs a terminal that understands ANSI escape sequences.";
    int columns = 0;
    int rows = 0;
    // A terminal that reports no size gets the benefit of the doubt.
    if (windowSize(outFd, columns, rows) && (columns < gameColumns || rows < gameRows))
        return "blockduel: the terminal is " + std::to_string(columns) + "x" +
               std::to_string(rows) + " (columns x rows); the game needs at least " +
               std::to_string(gameColumns) + "x" + std::to_string(gameRows) +
               ". Make the window larger and start again.";
    return "";
}

RenderOptions renderOptionsFromEnvironment() {
    RenderOptions options;
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    options.utf8 = codeset != nullptr &&
                   (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
    const char* noColor = std::getenv("NO_COLOR");
    options.color = noColor == nullptr || *noColor == '\0';
    return options;
}

} // namespace term
