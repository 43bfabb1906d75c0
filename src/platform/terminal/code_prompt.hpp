// SPDX-License-Identifier: MIT
// Asking for the join code on the terminal, so that it need not be on a
// command line, which every user of the machine can read (ps, /proc). The
// terminal is left in the mode it is in, the shell's: the line is typed
// with the terminal's own echo and editing keys, Ctrl-C ends the program
// as it ends any command, and end of input (Ctrl-D) gives up.
#pragma once

#include <string>

#include "net/join_code.hpp"

namespace term {

// Asks on `outFd` and reads a line from `inFd`, up to three times while what
// comes is no code (or, for the host, one too easy to guess). False when
// none came, with `error` saying why.
bool askForCode(int inFd, int outFd, bool forHost, net::JoinCode& code, std::string& error);

} // namespace term
