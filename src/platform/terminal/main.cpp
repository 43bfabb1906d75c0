// SPDX-License-Identifier: MIT
// The terminal game: the command line, the checks, then one game on the
// terminal of standard input and output.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cli/command_line.hpp"
#include "game/game.hpp"
#include "game/match.hpp"
#include "net_game.hpp"
#include "session.hpp"
#include "signals.hpp"
#include "startup.hpp"

namespace {

// Whatever way the process leaves through exit(), the terminal goes back.
void restoreAtExit() {
    if (term::TerminalSession* session = term::currentSession())
        session->restoreTerminal();
}

} // namespace

int main(int argc, char** argv) {
    Options command = parseCommandLine(argc, argv);
    takeCodeFromEnvironment(command, std::getenv(codeVariable));
    int status = answerCommandLine(command);
    if (status >= 0)
        return status;
    if (networked(command.mode))
        return term::playOverNetwork(command);

    std::string problem = term::startProblem(STDIN_FILENO, STDOUT_FILENO, std::getenv("TERM"));
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }

    term::SessionOptions options;
    options.inFd = STDIN_FILENO;
    options.outFd = STDOUT_FILENO;
    options.render = term::renderOptionsFromEnvironment();
    options.holdWhileTooSmall = true;
    term::signals::install();
    term::TerminalSession session(options);
    term::setCurrentSession(&session);
    std::atexit(restoreAtExit);
    if (!session.start()) {
        session.restoreTerminal();
        std::fputs("blockduel: cannot switch the terminal to raw input\n", stderr);
        return 1;
    }
    GameSetup setup = gameSetupOf(command);
    if (setup.match)
        runMatch(setup);
    else
        runGame(setup);
    session.finish();
    term::setCurrentSession(nullptr);
    return 0;
}
