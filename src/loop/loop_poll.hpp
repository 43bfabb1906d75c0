// SPDX-License-Identifier: MIT
// What the event loop needs from the system, and all it needs: one wait on
// a set of handles with a time limit, and a monotonic clock. Each back end
// implements these in a file of its own (platform/terminal/loop_poll.cpp
// with poll(2), platform/win32/loop_poll.cpp with WSAPoll), in a library of
// its own that the build links after the loop's.
//
// Only the event loop (loop/event_loop.cpp) calls them, from the thread
// that runs it; a loop made with a system of its own (tests, figures)
// never calls them at all.
#pragma once

#include <cstdint>

namespace loop {

// A handle as the system names it: a descriptor, or a Winsock SOCKET. The
// same integer the network game calls a NetSocket, so that the loop needs
// nothing of the network game.
using Handle = std::intptr_t;

// What a handle of a wait is watched for, and what the wait found.
struct PollItem {
    Handle handle;
    bool read;     // wait for bytes, the peer's close or an error
    bool write;    // wait for room to send
    bool readable; // filled in by the wait
    bool writable;
};

// Waits until an item is ready or `timeoutMs` has passed (0: looks and
// returns; below 0: no time limit, which a caller with no items never
// asks for). Fills in readable and writable of every item, false where
// nothing came. Returns how many items are ready: 0 for none, also when a
// signal or an error ended the wait early (the caller looks again). Never
// waits longer than asked, also with no items.
int loopPoll(PollItem* items, int count, int timeoutMs);

// Milliseconds of a monotonic clock, never set back with the calendar.
long long loopClockMs();

} // namespace loop
