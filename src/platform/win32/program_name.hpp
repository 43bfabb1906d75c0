// SPDX-License-Identifier: MIT
// How the join command names this program, as cmd.exe runs it.
#pragma once

#include <string>
#include <string_view>

// "blockduel" when that is what cmd.exe finds first for the name (in the
// current folder, then along PATH, with each of PATHEXT's extensions) and
// it is this very file; else this file's full path, as a word for cmd.exe.
std::string programForCommand();

// `word` as one word of a cmd.exe command: in double quotes when it holds
// a space or a character cmd.exe gives a meaning.
std::string cmdWord(std::string_view word);
