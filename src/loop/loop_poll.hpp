// SPDX-License-Identifier: MIT
// What the event loop needs from the system, and all it needs: one wait on
// a set of handles with a time limit, and a monotonic clock; and, where the
// system has one, a set of handles it keeps between waits. Each back end
// implements these in files of its own (platform/terminal/loop_poll.cpp
// with poll(2) and platform/terminal/loop_set.cpp with epoll on Linux,
// platform/win32/loop_poll.cpp with WSAPoll; loop/no_loop_set.cpp where
// the system keeps no set), in a library of its own that the build links
// after the loop's.
//
// Only the event loop (loop/event_loop.cpp) calls them, from the thread
// that runs it; a loop made with a system of its own (tests, figures)
// calls only what that system hands on.
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

// The set of handles a system keeps between waits (epoll on Linux): the
// loop tells it only what changed since the last wait, and a wait hands
// back only what came, however many handles are watched. A loop opens one
// when it is made and closes it when it ends; it tells the set of every
// change just before the wait that follows (never between), and goes back
// to loopPoll for good when the set refuses a handle.
struct LoopSet;

// A set for up to `room` handles; nullptr where the system keeps none
// (other POSIX systems, Windows) or cannot make one now.
LoopSet* loopSetOpen(int room);
void loopSetClose(LoopSet* set);

// What the loop tells the set of one handle.
enum class SetChange : unsigned char {
    // Watch it for the first time (since it was last dropped).
    add,
    // Watch it for what `item` says now. The set was told of this number
    // before, but its descriptor may since have been closed and the number
    // given to a new one: where the set no longer has it, it is added.
    modify,
    // Watch it no more. Its descriptor may already be closed, which the
    // set has seen to by itself.
    drop,
};

// Tells the set what `item` (its handle, read and write) is watched for
// now. False when the set refuses the handle (one it cannot watch, such as
// a regular file) or has no room left in the system.
bool loopSetChange(LoopSet* set, const PollItem& item, SetChange change);

// Waits as loopPoll does, on the set's handles, and fills `ready` with the
// items that came (handle, read and write as told, readable and writable as
// loopPoll fills them), at most the set's room. Returns how many: 0 for
// none, also when a signal or an error ended the wait early.
int loopSetWait(LoopSet* set, PollItem* ready, int timeoutMs);

} // namespace loop
