// SPDX-License-Identifier: MIT
// Where the game keeps what it remembers of its matches: the user's state
// folder, by the platform's conventions.
#pragma once

#include <string>

// $XDG_STATE_HOME/blockduel when that is an absolute path, else
// $HOME/.local/state/blockduel; "" when neither can be named.
std::string stateFolderPath(const char* xdgStateHome, const char* home);
// %LOCALAPPDATA%\blockduel; "" without it.
std::string windowsStateFolderPath(const char* localAppData);
