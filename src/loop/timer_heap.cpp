// SPDX-License-Identifier: MIT
// The timers' binary heap, with each slot knowing its place in it, so that
// a timer is cancelled where it stands rather than searched for.
#include "loop/timer_heap.hpp"

#include <utility>

namespace loop {

namespace {

constexpr int slotBits = 32;

TimerId idOf(int slot, std::uint32_t generation) {
    return (static_cast<TimerId>(generation) << slotBits) | static_cast<std::uint32_t>(slot);
}

} // namespace

TimerHeap::Slot* TimerHeap::slotOf(TimerId id) {
    auto slot = static_cast<std::size_t>(id & 0xffffffffU);
    if (slot >= slots_.size())
        return nullptr;
    Slot& s = slots_[slot];
    if (s.heapAt == unused || s.generation != static_cast<std::uint32_t>(id >> slotBits))
        return nullptr;
    return &s;
}

TimerId TimerHeap::add(long long dueMs, TimerProc proc, void* context) {
    int slot = 0;
    if (free_.empty()) {
        slot = static_cast<int>(slots_.size());
        slots_.emplace_back();
    } else {
        slot = free_.back();
        free_.pop_back();
    }
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    // Generations start at 1, so that no id is 0.
    s.generation += 1;
    if (s.generation == 0)
        s.generation = 1;
    s.proc = proc;
    s.context = context;
    s.dueMs = dueMs;
    push(slot);
    return idOf(slot, s.generation);
}

bool TimerHeap::cancel(TimerId id) {
    Slot* s = slotOf(id);
    if (s == nullptr || s->heapAt == cancelled)
        return false;
    if (s->heapAt == firing)
        s->heapAt = cancelled; // its call runs on; rearm() then lets it go
    else
        release(id);
    return true;
}

long long TimerHeap::nextDueMs() const {
    return heap_.empty() ? -1 : slots_[static_cast<std::size_t>(heap_.front())].dueMs;
}

bool TimerHeap::take(long long nowMs, std::uint64_t before, Taken& taken) {
    if (heap_.empty())
        return false;
    int slot = heap_.front();
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (s.dueMs > nowMs || s.order >= before)
        return false;
    removeAt(0);
    s.heapAt = firing;
    taken = {idOf(slot, s.generation), s.dueMs, s.proc, s.context};
    return true;
}

void TimerHeap::rearm(TimerId id, long long dueMs) {
    Slot* s = slotOf(id);
    if (s == nullptr)
        return;
    if (s->heapAt != firing) {
        release(id);
        return;
    }
    s->dueMs = dueMs;
    push(static_cast<int>(s - slots_.data()));
}

void TimerHeap::release(TimerId id) {
    Slot* s = slotOf(id);
    if (s == nullptr)
        return;
    if (s->heapAt >= 0)
        removeAt(s->heapAt);
    s->heapAt = unused;
    s->proc = nullptr;
    s->context = nullptr;
    free_.push_back(static_cast<int>(s - slots_.data()));
}

bool TimerHeap::before(int a, int b) const {
    const Slot& x = slots_[static_cast<std::size_t>(a)];
    const Slot& y = slots_[static_cast<std::size_t>(b)];
    return x.dueMs != y.dueMs ? x.dueMs < y.dueMs : x.order < y.order;
}

void TimerHeap::place(int at, int slot) {
    heap_[static_cast<std::size_t>(at)] = slot;
    slots_[static_cast<std::size_t>(slot)].heapAt = at;
}

void TimerHeap::siftUp(int at) {
    int slot = heap_[static_cast<std::size_t>(at)];
    while (at > 0) {
        int parent = (at - 1) / 2;
        int above = heap_[static_cast<std::size_t>(parent)];
        if (!before(slot, above))
            break;
        place(at, above);
        at = parent;
    }
    place(at, slot);
}

void TimerHeap::siftDown(int at) {
    int size = static_cast<int>(heap_.size());
    int slot = heap_[static_cast<std::size_t>(at)];
    for (;;) {
        int child = 2 * at + 1;
        if (child >= size)
            break;
        int right = child + 1;
        if (right < size &&
            before(heap_[static_cast<std::size_t>(right)], heap_[static_cast<std::size_t>(child)]))
            child = right;
        int below = heap_[static_cast<std::size_t>(child)];
        if (!before(below, slot))
            break;
        place(at, below);
        at = child;
    }
    place(at, slot);
}

// Every arming takes the next order, so that timers due together fire in
// the order they were armed, and one armed during a turn waits for the next.
void TimerHeap::push(int slot) {
    slots_[static_cast<std::size_t>(slot)].order = nextOrder_++;
    heap_.push_back(slot);
    siftUp(static_cast<int>(heap_.size()) - 1);
}

void TimerHeap::removeAt(int at) {
    int last = heap_.back();
    heap_.pop_back();
    if (at == static_cast<int>(heap_.size()))
        return;
    place(at, last);
    siftDown(at);
    siftUp(slots_[static_cast<std::size_t>(last)].heapAt);
}

} // namespace loop
