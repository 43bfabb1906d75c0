// SPDX-License-Identifier: MIT
// The event loop's callbacks and the names it gives its events: what a
// caller hands the loop (loop/event_loop.hpp) and the loop calls back,
// always from inside EventLoop::processEvents, on the loop's own thread.
#pragma once

#include <cstdint>

#include "loop/loop_poll.hpp"

namespace loop {

class EventLoop;

// What a file event waits for and what came: either bit or both.
enum FileMask : unsigned {
    noEvents = 0,
    readable = 1, // bytes, the peer's close or an error (a read says which)
    writable = 2, // room to send
};

// Called with the bits of `mask` that came on `handle` and were still
// watched when its turn came, with the context it was added with. It may
// add and remove any event and timer, its own too.
using FileProc = void (*)(EventLoop& loop, Handle handle, unsigned mask, void* context);

// A timer's name, never 0 and never given twice by one loop.
using TimerId = std::uint64_t;
constexpr TimerId noTimer = 0;

// What a timer's callback returns: noMore, or after how many milliseconds
// it is called again (counted from when it was due; from now when that
// has already passed, so that a loop that fell behind skips rather than
// firing a timer in a burst). Its id stays the same while it repeats.
constexpr long long noMore = -1;
using TimerProc = long long (*)(EventLoop& loop, TimerId id, void* context);

// The hook called at the start of every turn, before the loop sleeps.
using HookProc = void (*)(EventLoop& loop, void* context);

} // namespace loop
