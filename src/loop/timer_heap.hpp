// SPDX-License-Identifier: MIT
// The event loop's timers: a binary heap ordered by due time, and among
// timers due at the same millisecond by the order they were armed, so that
// adding, cancelling and taking the next due timer cost O(log n) whatever
// their number. Only the event loop (loop/event_loop.cpp) uses it.
//
// A timer taken to fire leaves the heap but keeps its id until the loop
// either arms it again or releases it, so that its callback may cancel it
// (or any other) while it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "loop/callbacks.hpp"

namespace loop {

class TimerHeap {
public:
    // A timer taken to fire: whom to call.
    struct Taken {
        TimerId id;
        long long dueMs;
        TimerProc proc;
        void* context;
    };

    TimerId add(long long dueMs, TimerProc proc, void* context);
    // True when `id` was armed, or is firing and not yet cancelled: it will
    // not be called (again).
    bool cancel(TimerId id);

    // The earliest due time of the armed timers, -1 for none.
    long long nextDueMs() const;
    // Marks the timers armed so far; take() passes over any armed later.
    std::uint64_t mark() const { return nextOrder_; }
    // Takes the earliest timer if it is due at `nowMs` and was armed
    // before `before`; false when there is none.
    bool take(long long nowMs, std::uint64_t before, Taken& taken);
    // After a taken timer's call: armed again for `dueMs`, unless it was
    // cancelled meanwhile, in which case its id is released.
    void rearm(TimerId id, long long dueMs);
    void release(TimerId id);

    std::size_t armed() const { return heap_.size(); }

private:
    static constexpr int firing = -1;    // heapAt of a taken timer
    static constexpr int cancelled = -2; // ... cancelled from its own call
    static constexpr int unused = -3;    // a free slot

    struct Slot {
        long long dueMs = 0;
        std::uint64_t order = 0;
        TimerProc proc = nullptr;
        void* context = nullptr;
        std::uint32_t generation = 0;
        int heapAt = unused;
    };

    // The slot `id` names, or nullptr when it names none now.
    Slot* slotOf(TimerId id);
    bool before(int a, int b) const;
    void place(int at, int slot);
    void siftUp(int at);
    void siftDown(int at);
    void push(int slot);
    void removeAt(int at);

    std::vector<Slot> slots_;
    std::vector<int> free_;
    std::vector<int> heap_; // slot indices
    std::uint64_t nextOrder_ = 1;
};

} // namespace loop
