// SPDX-License-Identifier: MIT
// The command line every back end shares: no arguments plays the game;
// --help and --version answer and exit; anything else is an error.
#pragma once

#include <cstdio>

enum class Command { Play, Help, Version, Invalid };

Command parseCommandLine(int argc, const char* const* argv);

// Usage with the controls of both players, as the game reads them.
void printUsage(std::FILE* out);
void printVersion(std::FILE* out);

// Does what the command line asks unless it asks to play. Returns the exit
// status to leave with, or -1 when the game should start.
int answerCommandLine(int argc, const char* const* argv);

// The name of a game key as the usage shows it ("Left arrow", "A", "Escape").
const char* keyName(int virtualKey);
