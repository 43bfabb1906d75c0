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
//   Where the system keeps a set of handles between waits (epoll), the
//   loop tells it just before each wait of the handles whose events
//   changed since the last, and dispatches only what the wait hands back;
//   elsewhere it polls all its handles every turn. Either way a handle's
//   descriptor is to be closed only once its events are removed, in the
//   same turn at the latest, and a closed descriptor's number may come
//   back at once for another handle.
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
        // The set the system keeps between waits (loopSetOpen and the rest,
        // each called as loop/loop_poll.hpp says, the set handed back as
        // openSet gave it), or none: a system without openSet, or whose
        // openSet gives nullptr, is polled.
        void* (*openSet)(int room, void* context) = nullptr;
        void (*closeSet)(void* set, void* context) = nullptr;
        bool (*changeSet)(void* set, const PollItem& item, SetChange change,
                          void* context) = nullptr;
        int (*waitSet)(void* set, PollItem* ready, int timeoutMs, void* context) = nullptr;
    };
    static System platform();
    // The platform's, polled even where it keeps a set.
    static System platformPolled();

    explicit EventLoop(int maxFiles = defaultMaxFiles, const System& system = platform());
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Watches `handle` for the bits of `mask` as well as any it had,
    // calling `proc` with `context` (which replace the handle's earlier
    // ones). False, changing nothing, for an empty mask or when `maxFiles`
    // other handles are watched.
    bool addFile(Handle handle, unsigned mask, FileProc proc, void* context);
    // Stops watching `handle` for the bits of `mask`, from this moment:
    // what came for them this turn is not handed on. Its descriptor may be
    // closed from then on.
    void removeFile(Handle handle, unsigned mask = readable | writable);
    // What `handle` is watched for; noEvents when nothing.
    unsigned fileMask(Handle handle) const;
    int files() const { return files_.count(); }
    int maxFiles() const { return files_.capacity(); }
    // True while the loop tells a set the system keeps, false once it polls.
    bool keepsSet() const { return set_ != nullptr; }

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
    // The turn's wait, on the set or on every handle; how many items it
    // left in items_.
    int wait(int timeoutMs);
    bool tellSet();
    void dropSet();
    int dispatchFiles(int count);
    int fireTimers(long long now);

    System system_;
    FileTable files_;
    TimerHeap timers_;
    void* set_ = nullptr; // the system's set, nullptr once polled
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
