// SPDX-License-Identifier: MIT
// A turn of the event loop. What came is copied out before any callback
// runs, and each event is looked up again just before its call, so that
// callbacks that add and remove events never leave the turn holding one
// that is gone.
#include "loop/event_loop.hpp"

#include <algorithm>
#include <climits>

namespace loop {

EventLoop::System EventLoop::platformPolled() {
    return {[](PollItem* items, int count, int timeoutMs, void*) {
                return loopPoll(items, count, timeoutMs);
            },
            [](void*) { return loopClockMs(); }, nullptr};
}

EventLoop::System EventLoop::platform() {
    System system = platformPolled();
    system.openSet = [](int room, void*) -> void* { return loopSetOpen(room); };
    system.closeSet = [](void* set, void*) { loopSetClose(static_cast<LoopSet*>(set)); };
    system.changeSet = [](void* set, const PollItem& item, SetChange change, void*) {
        return loopSetChange(static_cast<LoopSet*>(set), item, change);
    };
    system.waitSet = [](void* set, PollItem* ready, int timeoutMs, void*) {
        return loopSetWait(static_cast<LoopSet*>(set), ready, timeoutMs);
    };
    return system;
}

EventLoop::EventLoop(int maxFiles, const System& system)
    : system_(system), files_(maxFiles), items_(static_cast<std::size_t>(files_.capacity())),
      fired_(static_cast<std::size_t>(files_.capacity())) {
    if (system_.openSet != nullptr)
        set_ = system_.openSet(files_.capacity(), system_.context);
    if (set_ != nullptr)
        files_.keepChanges(true);
}

EventLoop::~EventLoop() {
    if (set_ != nullptr)
        system_.closeSet(set_, system_.context);
}

bool EventLoop::addFile(Handle handle, unsigned mask, FileProc proc, void* context) {
    return files_.add(handle, mask, proc, context);
}

void EventLoop::removeFile(Handle handle, unsigned mask) { files_.remove(handle, mask); }

unsigned EventLoop::fileMask(Handle handle) const {
    const FileTable::File* file = files_.find(handle);
    return file == nullptr ? noEvents : file->mask;
}

TimerId EventLoop::addTimer(long long afterMs, TimerProc proc, void* context) {
    if (proc == nullptr)
        return noTimer;
    return timers_.add(nowMs() + std::max(afterMs, 0LL), proc, context);
}

bool EventLoop::cancelTimer(TimerId id) { return timers_.cancel(id); }

void EventLoop::setBeforeSleep(HookProc proc, void* context) {
    hook_ = proc;
    hookContext_ = context;
}

// Up to the next timer and the caller's limit; -1 for neither.
int EventLoop::waitMs(long long now, int limitMs) const {
    long long due = timers_.nextDueMs();
    long long ms = limitMs;
    if (due >= 0) {
        long long untilDue = std::max(due - now, 0LL);
        ms = ms < 0 ? untilDue : std::min(ms, untilDue);
    }
    return static_cast<int>(std::min(ms, static_cast<long long>(INT_MAX)));
}

int EventLoop::processEvents(int limitMs) {
    if (hook_ != nullptr)
        hook_(*this, hookContext_);
    int timeout = waitMs(nowMs(), limitMs);
    if (files_.count() == 0 && timeout < 0)
        return cannotWait;
    int count = wait(timeout);
    return dispatchFiles(count) + fireTimers(nowMs());
}

// The set is told what changed just before it waits; one that refuses
// that is given up, and this turn polls already.
int EventLoop::wait(int timeoutMs) {
    if (set_ != nullptr && !tellSet())
        dropSet();
    if (set_ != nullptr)
        return system_.waitSet(set_, items_.data(), timeoutMs, system_.context);
    int count = files_.fillPoll(items_.data());
    int ready = system_.poll(items_.data(), count, timeoutMs, system_.context);
    return ready > 0 ? count : 0;
}

bool EventLoop::tellSet() {
    auto tell = [](const FileTable::Change& change, void* self) {
        auto& loop = *static_cast<EventLoop*>(self);
        PollItem item = {change.handle, (change.mask & readable) != 0,
                         (change.mask & writable) != 0, false, false};
        return loop.system_.changeSet(loop.set_, item, change.how, loop.system_.context);
    };
    return files_.tellChanges(tell, this);
}

void EventLoop::dropSet() {
    system_.closeSet(set_, system_.context);
    set_ = nullptr;
    files_.keepChanges(false);
}

// The items are the set's ready ones or every handle's, in any order: each
// is found by its handle.
int EventLoop::dispatchFiles(int count) {
    int fired = 0;
    for (int i = 0; i < count; ++i) {
        const PollItem& item = items_[static_cast<std::size_t>(i)];
        unsigned mask =
            (item.readable ? readable : noEvents) | (item.writable ? writable : noEvents);
        const FileTable::File* file = mask != noEvents ? files_.find(item.handle) : nullptr;
        if (file != nullptr)
            fired_[static_cast<std::size_t>(fired++)] = {item.handle, file->serial, mask};
    }
    int calls = 0;
    for (int i = 0; i < fired; ++i) {
        const Fired& what = fired_[static_cast<std::size_t>(i)];
        const FileTable::File* file = files_.find(what.handle);
        if (file == nullptr || file->serial != what.serial)
            continue; // removed, or removed and added anew, by an earlier call
        unsigned mask = what.mask & file->mask;
        if (mask == noEvents)
            continue;
        FileProc proc = file->proc; // the call may remove the registration
        void* context = file->context;
        proc(*this, what.handle, mask, context);
        calls += 1;
    }
    return calls;
}

// Only the timers armed before this turn's calls fire in it: one that a
// callback arms, or re-arms for no delay, waits for the next turn.
int EventLoop::fireTimers(long long now) {
    std::uint64_t mark = timers_.mark();
    TimerHeap::Taken taken{};
    int calls = 0;
    while (timers_.take(now, mark, taken)) {
        long long again = taken.proc(*this, taken.id, taken.context);
        calls += 1;
        if (again < 0) {
            timers_.release(taken.id);
            continue;
        }
        long long next = taken.dueMs + again;
        timers_.rearm(taken.id, next >= now ? next : now + again);
    }
    return calls;
}

void EventLoop::run() {
    stopped_ = false;
    while (!stopped_)
        if (processEvents(-1) == cannotWait)
            return;
}

long long wakeOnly(EventLoop& /*loop*/, TimerId /*id*/, void* /*context*/) { return noMore; }

} // namespace loop
