// SPDX-License-Identifier: MIT
// How the host's join command names this program, so that it runs as shown
// in any directory of the machine: "blockduel" when that name on the PATH
// is this same file, else the path the program was started with, made
// absolute and written as one word for a POSIX shell.
#pragma once

#include <string>
#include <string_view>

namespace term {

// `argv0` as the program was started; `path` the PATH variable (nullptr
// when it is not set).
std::string programForCommand(const char* argv0, const char* path);

// `path` from the directory `cwd` when it is relative, without leading "./".
std::string absolutePath(std::string_view cwd, std::string_view path);

// `word` as a shell reads it back: as it is when it holds nothing the shell
// would act on, in single quotes when it holds only printable ASCII, else as
// $'...' with \xHH escapes (bash, zsh and ksh read those), so that the
// picture shows only printable ASCII.
std::string shellWord(std::string_view word);

} // namespace term
