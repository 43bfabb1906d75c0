// SPDX-License-Identifier: MIT
// Winsock's error codes as words a person reads in the game's messages.
#pragma once

#include <string>

// The common ones in the words a POSIX system uses for them, so that a
// message reads the same on both sides of a game ("Connection refused");
// any other in the system's own words, else by its number.
std::string socketErrorText(int code);
