// SPDX-License-Identifier: MIT
// The program: the command line read once, then the one command it names
// (the help and version, --stats, --replay, the network game, a match or
// the game without options). Each back end's main calls run with what only
// it knows; everything else is the same on every platform.
#pragma once

#include <string>

namespace app {

// What a back end's main knows of this machine before the command line.
struct Machine {
    // Standard input and error are a person's console: the keys file's
    // problems may be asked about.
    bool person = false;
    // Where this user's keys file is ("" when it cannot be named).
    std::string keysFile;
};

// The exit status of the command in argv on this machine.
int run(int argc, char** argv, const Machine& machine);

} // namespace app
