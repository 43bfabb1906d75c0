// SPDX-License-Identifier: MIT
// The game on the Windows console.
#include <cstdio>
#include <cstdlib>
#include <io.h>

#include "cli/command_line.hpp"
#include "cli/keys_file.hpp"
#include "game/game.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "history/replay_command.hpp"
#include "history/stats_command.hpp"
#include "netplay/local.hpp"
#include "netplay/play.hpp"
#include "platform/win32/console_session.hpp"

int main(int argc, char** argv) {
    Options options = parseCommandLine(argc, argv);
    takeCodeFromEnvironment(options, std::getenv(codeVariable));
    int status = answerCommandLine(options);
    if (status >= 0)
        return status;
    bool person = _isatty(_fileno(stdin)) != 0 && _isatty(_fileno(stderr)) != 0;
    takeKeysFileAt(options, windowsKeysFilePath(std::getenv("APPDATA")), person ? stdin : nullptr);
    if (options.mode == Mode::Stats)
        return history::printStats(localStateFolder(), options.json, stdout, stderr);
    if (options.mode == Mode::Replay)
        return history::replayCommand(options.replay, localStateFolder());
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
        std::string warning = playKeptMatch(setup, netplay::keptAs(options.mode));
        discardTypedInput(); // the keys of the match are no input for the shell
        if (!warning.empty())
            sayConsoleProblem(warning);
    } else {
        runGame(setup); // the game without options keeps nothing
    }
    return 0;
}
