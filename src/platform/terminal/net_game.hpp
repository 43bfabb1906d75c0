// SPDX-License-Identifier: MIT
// The network game from the command line: --host waits for player two and
// plays the left board; --join plays the right board of a hosted game;
// --watch shows one.
#pragma once

#include "cli/command_line.hpp"

namespace term {

// Plays or watches the game the options ask for, on the terminal of
// standard input and output; the exit status.
int playOverNetwork(const Options& options);

} // namespace term
