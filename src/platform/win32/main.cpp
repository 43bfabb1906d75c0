// SPDX-License-Identifier: MIT
// The game on the Windows console.
#include <cstdio>

#include "cli/command_line.hpp"
#include "game/game.hpp"
#include "game/match.hpp"
#include "platform/win32/console_session.hpp"

int main(int argc, char** argv) {
    Options options = parseCommandLine(argc, argv);
    int status = answerCommandLine(options);
    if (status >= 0)
        return status;
    if (networked(options.mode)) {
        std::fprintf(stderr,
                     "blockduel: %s is not available on Windows; play over the network "
                     "from a Linux or macOS terminal\n",
                     optionOf(options.mode));
        return 2;
    }
    // The game reads its own picture back from the console's screen
    // buffer, so a file or pipe cannot stand in for it.
    if (!outputIsConsole()) {
        std::fputs("blockduel: standard output is not a console; "
                   "run the game in a console window.\n",
                   stderr);
        return 1;
    }
    beginConsoleSession();
    GameSetup setup = gameSetupOf(options);
    if (setup.match) {
        runMatch(setup);
        discardTypedInput(); // the keys of the match are no input for the shell
    } else {
        runGame(setup);
    }
    return 0;
}
