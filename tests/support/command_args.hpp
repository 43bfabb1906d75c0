// SPDX-License-Identifier: MIT
// The command line as a test gives it: the arguments after the program's
// name, parsed as the game parses its own.
#pragma once

#include <vector>

#include "cli/command_line.hpp"

inline Options optionsOf(std::vector<const char*> args) {
    args.insert(args.begin(), "blockduel");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}
