// SPDX-License-Identifier: MIT
// The network game from the command line: --host waits for player two and
// plays the left board; --join plays the right board of a hosted game;
// --watch shows one. The same on every platform: the back end answers the
// calls of game/local.hpp, netplay/serving.hpp and netplay/network.hpp.
#pragma once

#include "cli/command_line.hpp"
#include "game/keeping.hpp"

namespace app {

// Plays or watches the game the options ask for, on this machine's console;
// the exit status.
int playOverNetwork(const Options& options);
// Fetches the server's kept match --replay HOST:PORT/r/ROOM/replay/N names
// and plays it on this machine's console; the exit status.
int replayFromServer(const Options& options);

// How a match of `mode` begun now is kept: in this user's state folder
// (game/local.hpp), by this process.
KeptAs keptAs(Mode mode);

} // namespace app
