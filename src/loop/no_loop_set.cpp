// SPDX-License-Identifier: MIT
// The set of loop/loop_poll.hpp for a system that keeps none (Windows,
// POSIX systems other than Linux): none is ever opened, so the loop polls
// and calls nothing else here. Each such back end builds this file into its
// own blockduel_loop_poll.
#include "loop/loop_poll.hpp"

namespace loop {

LoopSet* loopSetOpen(int /*room*/) { return nullptr; }
void loopSetClose(LoopSet* /*set*/) {}
bool loopSetChange(LoopSet* /*set*/, const PollItem& /*item*/, SetChange /*change*/) {
    return false;
}
int loopSetWait(LoopSet* /*set*/, PollItem* /*ready*/, int /*timeoutMs*/) { return 0; }

} // namespace loop
