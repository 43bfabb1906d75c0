// SPDX-License-Identifier: MIT
// What must hold before the game takes the terminal, and what the
// environment says about glyphs and colours.
#pragma once

#include <string>

#include "screen.hpp"

namespace term {

// Whether the game can play on these descriptors with this TERM value
// (nullptr when unset): empty when it can, otherwise the message to show.
// Looks without touching: the terminal is left as it is either way.
std::string startProblem(int inFd, int outFd, const char* termName);

// Unicode glyphs when the character type locale is UTF-8; colours unless
// NO_COLOR is set to something. Sets the character type locale from the
// environment.
RenderOptions renderOptionsFromEnvironment();

} // namespace term
