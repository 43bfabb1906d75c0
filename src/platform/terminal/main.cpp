// SPDX-License-Identifier: MIT
// The terminal game: the command line, the checks, then one game or a
// match on the terminal of standard input and output, or a game over the
// network.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cli/command_line.hpp"
#include "cli/keys_file.hpp"
#include "game/game.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "history/replay_command.hpp"
#include "history/stats_command.hpp"
#include "netplay/local.hpp"
#include "netplay/play.hpp"
#include "platform/terminal/startup.hpp"

int main(int argc, char** argv) {
    Options command = parseCommandLine(argc, argv);
    takeCodeFromEnvironment(command, std::getenv(codeVariable));
    int status = answerCommandLine(command);
    if (status >= 0)
        return status;
    bool person = isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
    takeKeysFileAt(command, keysFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
                   person ? stdin : nullptr);
    if (command.mode == Mode::Stats)
        return history::printStats(localStateFolder(), command.json, stdout, stderr);
    if (command.mode == Mode::Replay)
        return history::replayCommand(command.replay, localStateFolder());
    if (networked(command.mode))
        return netplay::playOverNetwork(command);

    std::string problem = term::startProblem(STDIN_FILENO, STDOUT_FILENO, std::getenv("TERM"));
    if (!problem.empty()) {
        term::sayProblem(problem);
        return 1;
    }
    if (term::takeTerminal(true, playsMatch(command.mode)) == nullptr)
        return 1;
    GameSetup setup = gameSetupOf(command);
    setup.noColor = !term::colorsWanted();
    std::string warning;
    if (setup.match)
        warning = playKeptMatch(setup, netplay::keptAs(command.mode));
    else
        runGame(setup); // the game without options keeps nothing
    term::giveBackTerminal(true);
    if (!warning.empty())
        term::sayProblem(warning);
    return 0;
}
