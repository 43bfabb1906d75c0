// SPDX-License-Identifier: MIT
// Asking for the join code before the game takes the console, so that it
// need not be on a command line, which every user of the machine can read
// (ps, /proc). The line is typed with the console's own echo and editing.
#pragma once

#include <string>

#include "net/join_code.hpp"

namespace netplay {

// Asks up to three times while what comes is no code (or, for the host,
// one too easy to guess). False when none came, with `error` saying why,
// or empty when the person left with Escape.
bool askForCode(bool forHost, net::JoinCode& code, std::string& error);

} // namespace netplay
