// SPDX-License-Identifier: MIT
// The game, built with a stop in its write path: just before write number
// FIRST to the terminal, and every EVERY writes after it, COUNT times in
// all, it stops itself with SIGSTOP, as a stop from outside that lands at
// the worst moment. BLOCKDUEL_STOP_BEFORE_WRITES=FIRST,EVERY,COUNT; without
// it the game is the game.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/terminal/terminal.hpp"

namespace {

long first = 0;
long every = 1;
long count = 0;
long writes = 0;

void stopBeforeSomeWrites() {
    ++writes;
    if (count > 0 && writes >= first && (writes - first) % every == 0) {
        --count;
        raise(SIGSTOP);
    }
}

// Before main, so that the game's first write is counted.
const bool armed = [] {
    const char* schedule = std::getenv("BLOCKDUEL_STOP_BEFORE_WRITES");
    if (schedule == nullptr || std::sscanf(schedule, "%ld,%ld,%ld", &first, &every, &count) != 3 ||
        every < 1)
        return false;
    term::beforeTerminalWrite = stopBeforeSomeWrites;
    return true;
}();

} // namespace
