// SPDX-License-Identifier: MIT
#include "app/run.hpp"

#include <cstdio>
#include <cstdlib>

#include "app/network_command.hpp"
#include "app/serve_command.hpp"
#include "cli/command_line.hpp"
#include "cli/game_setup.hpp"
#include "cli/help.hpp"
#include "cli/keys_file.hpp"
#include "game/game.hpp"
#include "game/keeping.hpp"
#include "game/local.hpp"
#include "game/match.hpp"
#include "history/replay_command.hpp"
#include "history/stats_command.hpp"

namespace app {

namespace {

// A game at this keyboard: a match is kept, the game without options keeps
// nothing.
int playHere(const Options& options) {
    ConsoleUse use = playsMatch(options.mode) ? ConsoleUse::Match : ConsoleUse::Game;
    std::string problem = localProblem(use);
    if (!problem.empty()) {
        localComplain(problem);
        return 1;
    }
    if (!localTake(use))
        return 1;
    GameSetup setup = gameSetupOf(options);
    setup.noColor = !localColors();
    std::string warning;
    if (setup.match)
        warning = playKeptMatch(setup, keptAs(options.mode));
    else
        runGame(setup);
    localFinish();
    if (!warning.empty())
        localComplain(warning);
    return 0;
}

} // namespace

int run(int argc, char** argv, const Machine& machine) {
    Options options = parseCommandLine(argc, argv);
    takeCodeFromEnvironment(options, std::getenv(codeVariable));
    int status = answerCommandLine(options);
    if (status >= 0)
        return status;
    takeKeysFileAt(options, machine.keysFile, machine.person ? stdin : nullptr);
    if (options.mode == Mode::Stats)
        return history::printStats(localStateFolder(), options.json, stdout, stderr);
    if (options.mode == Mode::Replay && options.replayRoad)
        return replayFromServer(options);
    if (options.mode == Mode::Replay)
        return history::replayCommand(options.replay, localStateFolder());
    if (networked(options.mode))
        return playOverNetwork(options);
    if (options.mode == Mode::Serve)
        return serve(options);
    return playHere(options);
}

} // namespace app
