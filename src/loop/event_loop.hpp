// SPDX-License-Identifier: MIT
// One thread's event loop: file events (a handle readable and/or writable,
// a callback and its context), timers (due at a monotonic millisecond,
// repeating or not, cancelled by id) and a hook before every sleep, served
// a turn at a time. It lets one thread serve many sockets and step many
// matches, each on its timer, waiting only where nothing is due.
//
// Who calls what, and when:
// - Its owner makes a loop, adds the events and timers it serves, and
//   then either calls processEvents in a wait of its own (the back ends'
//   waits: platform/terminal/input_waits.cpp, platform/win32/serving_wait.cpp)
//   or run, which turns until stop.
// - The loop calls back only from inside processEvents, on its thread:
//   the hook first, then the file events that came, then the timers that
//   are due. Each callback may add or remove any event or timer, its own
//   too: an event removed before its turn is not called, one added while a
//   turn runs waits for the next turn, and none is called twice in a turn.
// - The loop calls the system through loop/loop_poll.hpp, or through the
//   System it was made with (a fake clock and wait, in tests and figures).
//
// Nothing here allocates after construction but the timers' heap, which
// grows with the timers; file events are bounded by the capacity given.
// None of it throws, ends the process or waits longer than asked.
#pragma once

#include <vector>

#include "loop/callbacks.hpp"
#include "loop/file_table.hpp"
#include "loop/timer_heap.hpp"

namespace loop {

class EventLoop {
public:
    // The file events a loop holds unless told otherwise: the network
    // game's sockets (each up to two descriptors) and the terminal's own.
    static constexpr int defaultMaxFiles = 1024;

    // The wait and the clock a loop uses: the platform's (loopPoll and
    // loopClockMs) or a test's.
    struct System {
        int (*poll)(PollItem* items, int count, int timeoutMs, void* context);
        long long (*clockMs)(void* context);
        void* context;
    };
    static System platform();

    explicit EventLoop(int maxFiles = defaultMaxFiles, const System& system = platform());

    // Watches `handle` for the bits of `mask` as well as any it had,
    // calling `proc` with `context` (which replace the handle's earlier
    // ones). False, changing nothing, for an empty mask or when `maxFiles`
    // other handles are watched.
    bool addFile(Handle handle, unsigned mask, FileProc proc, void* context);
    // Stops watching `handle` for the bits of `mask`, from this moment:
    // what came for them this turn is not handed on.
    void removeFile(Handle handle, unsigned mask = readable | writable);
    // What `handle` is watched for; noEvents when nothing.
    unsigned fileMask(Handle handle) const;
    int files() const { return files_.count(); }
    int maxFiles() const { return files_.capacity(); }

    // Calls `proc` with `context` `afterMs` from now (0 or less: at the
    // next turn's end), again as long as it asks (loop/callbacks.hpp).
    TimerId addTimer(long long afterMs, TimerProc proc, void* context);
    // True when `id` was armed (or firing): it will not be called again.
    bool cancelTimer(TimerId id);
    std::size_t timers() const { return timers_.armed(); }

    // The hook called at the start of each turn; nullptr for none.
    void setBeforeSleep(HookProc proc, void* context);

    // One turn: the hook, then a wait until a file event comes, the next
    // timer is due or `limitMs` has passed (0: only a look; below 0: no
    // limit), then the callbacks of what came and is due. Returns how many
    // callbacks it made, or cannotWait at once when, after the hook, it has
    // no file event and no timer and no limit: nothing could end the wait.
    static constexpr int cannotWait = -1;
    int processEvents(int limitMs);

    // Turns until stop() is called (from a callback) or nothing is left to
    // wait for.
    void run();
    void stop() { stopped_ = true; }

    long long nowMs() const { return system_.clockMs(system_.context); }

private:
    int waitMs(long long now, int limitMs) const;
    int dispatchFiles(int count);
    int fireTimers(long long now);

    System system_;
    FileTable files_;
    TimerHeap timers_;
    // One turn's wait and what it found, sized once for maxFiles.
    std::vector<PollItem> items_;
    struct Fired {
        Handle handle;
        std::uint64_t serial;
        unsigned mask;
    };
    std::vector<Fired> fired_;
    HookProc hook_ = nullptr;
    void* hookContext_ = nullptr;
    bool stopped_ = false;
};

// A timer callback that does nothing and asks for no more: the timer only
// ends a turn's wait at its time, for an owner that acts on what is due
// itself once processEvents returns.
long long wakeOnly(EventLoop& loop, TimerId id, void* context);

} // namespace loop
