// SPDX-License-Identifier: MIT
// The game on the Windows console: what only Windows knows before the
// command line, then the program every back end runs.
#include <cstdio>
#include <cstdlib>
#include <io.h>

#include "app/run.hpp"
#include "cli/key_choice.hpp"

int main(int argc, char** argv) {
    app::Machine machine;
    machine.person = _isatty(_fileno(stdin)) != 0 && _isatty(_fileno(stderr)) != 0;
    machine.keysFile = windowsKeysFilePath(std::getenv("APPDATA"));
    return app::run(argc, argv, machine);
}
