// SPDX-License-Identifier: MIT
// Taking the terminal for a game and giving it back, the same for a game
// at one keyboard and one over the network: what must hold before, what
// the environment says about glyphs and colours, and the session itself.
#pragma once

#include <string>

#include "platform/terminal/renderer.hpp"
#include "platform/terminal/session.hpp"

namespace term {

// Whether the game can play on these descriptors with this TERM value
// (nullptr when unset): empty when it can, otherwise what is wrong, for a
// message that starts with the program's name. Looks without touching:
// the terminal is left as it is either way.
std::string startProblem(int inFd, int outFd, const char* termName);

// "blockduel: " and `problem` on standard error, broken between words at
// the terminal's width when standard error is a terminal.
void sayProblem(const std::string& problem);

// The terminal of standard input and output, taken for a game: the signal
// handlers installed, the session made the one the game's calls go to and
// given back however the process exits, raw modes, the alternate screen
// and the keyboard protocol. Null, with the message shown, when it cannot
// be taken; the terminal is as it was then. `holdWhileTooSmall` and
// `keyPlaces` as in SessionOptions.
TerminalSession* takeTerminal(bool holdWhileTooSmall, bool keyPlaces);

// The terminal given back, with the final picture on the normal screen
// (`finalPicture`) or as if the game had never started.
void giveBackTerminal(bool finalPicture);

// False when NO_COLOR is set to something: the picture goes without colours.
bool colorsWanted();

// Unicode glyphs when the character type locale is UTF-8; colours unless
// NO_COLOR is set to something. Sets the character type locale from the
// environment.
RenderOptions renderOptionsFromEnvironment();

} // namespace term
