// SPDX-License-Identifier: MIT
// The game on the Windows console.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <windows.h>

#include "cli/command_line.hpp"
#include "cli/match_keeping.hpp"
#include "game/game.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "netplay/play.hpp"
#include "platform/win32/console_session.hpp"
#include "record/state_folder.hpp"

namespace {

// A match kept under %LOCALAPPDATA%.
KeptAs keptAs(Mode mode) {
    long long now = std::time(nullptr);
    return {playModeOf(mode),
            boardOfYou(mode),
            record::windowsStateFolderPath(std::getenv("LOCALAPPDATA")),
            now,
            static_cast<unsigned>(GetCurrentProcessId()),
            programVersion(),
            timeStamp(now)};
}

} // namespace

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
        std::string warning = playKeptMatch(setup, keptAs(options.mode));
        discardTypedInput(); // the keys of the match are no input for the shell
        if (!warning.empty())
            sayConsoleProblem(warning);
    } else {
        runGame(setup); // the game without options keeps nothing
    }
    return 0;
}
