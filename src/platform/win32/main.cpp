// SPDX-License-Identifier: MIT
// The game on the Windows console.
#include <cstdio>
#include <cstdlib>

#include "cli/command_line.hpp"
#include "game/game.hpp"
#include "game/match.hpp"
#include "netplay/play.hpp"
#include "platform/win32/console_session.hpp"

int main(int argc, char** argv) {
    Options options = parseCommandLine(argc, argv);
    takeCodeFromEnvironment(options, std::getenv(codeVariable));
    int status = answerCommandLine(options);
    if (status >= 0)
        return status;
    takeKeysFileAt(options, windowsKeysFilePath(std::getenv("APPDATA")));
    if (networked(options.mode))
        return netplay::playOverNetwork(options);
    // The game reads its own picture back from the console's screen
    // buffer, so a file or pipe cannot stand in for it.
    std::string problem = consoleProblem(false);
    if (!problem.empty()) {
        sayConsoleProblem(problem);
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
