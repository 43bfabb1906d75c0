// SPDX-License-Identifier: MIT
// What the program says of itself before it plays: the help, the version,
// or what is wrong with its command line.
#pragma once

#include <cstdio>

#include "cli/command_line.hpp"

// Usage with the controls of both players, as the game reads them.
void printUsage(std::FILE* out);
void printVersion(std::FILE* out);

// Does what the command line asks unless it asks to play: prints the help,
// the version, or the error and a line that points to --help (status 2), so
// that the error stays in sight. Returns the exit status to leave with, or -1
// when the game should start with `options`.
// Output that cannot be written is a failure (status 1).
int answerCommandLine(const Options& options);

// The name of a game key as the usage shows it ("Left arrow", "A", "Escape").
const char* keyName(int virtualKey);
