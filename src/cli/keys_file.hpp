// SPDX-License-Identifier: MIT
// The keys file: what it holds taken into the options, and the file read
// from the disk at the program's start.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/command_line.hpp"

// Completes the keys with the keys file's `text` (read from keysFilePath()),
// for every mode but the game without options: the command line's choice
// wins. A file that is refused, or that binds a key the command line binds
// too, is left out whole; `warning` then says why.
void takeKeysFile(Options& options, std::string_view text, std::string& warning);

// The keys file's text; false when there is no file there (or no path), or
// it cannot be read, is no plain file or is far larger than a keys file
// (`warning` then says so, naming the file).
bool readKeysFileAt(const std::string& path, std::string& text, std::string& warning);

// Both, for a back end's start: the file at `path` completes the keys,
// and what was wrong with it goes to standard error, naming the file. The
// game then starts with the keys it would have without the file. The
// game's picture would hide what was said until the game ends: where the
// person at the terminal is to read it (`answer`, the terminal's input;
// nullptr when standard input and error are not both a terminal), they
// press Enter before play. Nothing to play, nothing to wait for.
void takeKeysFileAt(Options& options, const std::string& path, std::FILE* answer = nullptr);
