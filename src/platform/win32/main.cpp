// SPDX-License-Identifier: MIT
// The game on the Windows console.
#include <cstdio>

#include "cli/command_line.hpp"
#include "console_session.hpp"
#include "game/game.hpp"

int main(int argc, char** argv) {
    int status = answerCommandLine(argc, argv);
    if (status >= 0)
        return status;
    // The game reads its own picture back from the console's screen
    // buffer, so a file or pipe cannot stand in for it.
    if (!outputIsConsole()) {
        std::fputs("blockduel: standard output is not a console; "
                   "run the game in a console window.\n",
                   stderr);
        return 1;
    }
    beginConsoleSession();
    runGame();
    return 0;
}
