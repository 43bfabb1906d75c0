// SPDX-License-Identifier: MIT
// The terminal game: what only a POSIX terminal knows before the command
// line, then the program every back end runs.
#include <cstdlib>
#include <unistd.h>

#include "app/run.hpp"
#include "cli/key_choice.hpp"

int main(int argc, char** argv) {
    app::Machine machine;
    machine.person = isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
    machine.keysFile = keysFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    return app::run(argc, argv, machine);
}
