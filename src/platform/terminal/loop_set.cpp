// SPDX-License-Identifier: MIT
// The event loop's set of handles kept between waits on Linux: epoll,
// level-triggered, so that a handle stays ready until it is read or
// written as poll(2) has it. Other POSIX systems build loop/no_loop_set.cpp
// instead, and their loops poll.
#include "loop/loop_poll.hpp"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <vector>

#include "loop/poll_items.hpp"

namespace loop {

struct LoopSet {
    int fd;
    // One wait's events, sized once for the set's room.
    std::vector<epoll_event> events;
};

namespace {

constexpr PollBits bits = {EPOLLIN, EPOLLOUT, EPOLLERR | EPOLLHUP};

// Each event carries its handle and what it is watched for, so that a wait
// reads errors and hang-ups as loopPoll does without asking the loop.
constexpr std::uint64_t readBit = std::uint64_t{1} << 32;
constexpr std::uint64_t writeBit = std::uint64_t{1} << 33;

epoll_event eventOf(const PollItem& item) {
    epoll_event event = {};
    event.events = (item.read ? EPOLLIN : 0U) | (item.write ? EPOLLOUT : 0U);
    event.data.u64 = static_cast<std::uint32_t>(item.handle) | (item.read ? readBit : 0) |
                     (item.write ? writeBit : 0);
    return event;
}

PollItem itemOf(const epoll_event& event) {
    std::uint64_t data = event.data.u64;
    return {static_cast<Handle>(static_cast<std::uint32_t>(data)), (data & readBit) != 0,
            (data & writeBit) != 0, false, false};
}

} // namespace

LoopSet* loopSetOpen(int room) {
    int fd = epoll_create1(EPOLL_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // cppcheck-suppress unreadVariable ; it is read below, past a check it misreads
    auto* set = new (std::nothrow) LoopSet{fd, {}};
    if (set == nullptr) {
        close(fd);
        return nullptr;
    }
    set->events.resize(static_cast<std::size_t>(room > 0 ? room : 1));
    return set;
}

void loopSetClose(LoopSet* set) {
    if (set == nullptr)
        return;
    close(set->fd);
    delete set;
}

bool loopSetChange(LoopSet* set, const PollItem& item, SetChange change) {
    auto fd = static_cast<int>(item.handle);
    epoll_event event = eventOf(item);
    switch (change) {
    case SetChange::add: return epoll_ctl(set->fd, EPOLL_CTL_ADD, fd, &event) == 0;
    case SetChange::modify:
        // ENOENT: the descriptor told of was closed, and the kernel let it
        // go; this one is new under the same number.
        if (epoll_ctl(set->fd, EPOLL_CTL_MOD, fd, &event) == 0)
            return true;
        return errno == ENOENT && epoll_ctl(set->fd, EPOLL_CTL_ADD, fd, &event) == 0;
    case SetChange::drop:
        // A descriptor closed already (EBADF), or closed and its number
        // given anew (ENOENT), is out of the set by then.
        return epoll_ctl(set->fd, EPOLL_CTL_DEL, fd, nullptr) == 0 || errno == ENOENT ||
               errno == EBADF;
    }
    return false;
}

int loopSetWait(LoopSet* set, PollItem* ready, int timeoutMs) {
    // A signal (-1) found nothing: the caller looks again.
    int room = static_cast<int>(set->events.size());
    int found = epoll_wait(set->fd, set->events.data(), room, timeoutMs);
    int count = 0;
    for (int i = 0; i < found; ++i) {
        const epoll_event& event = set->events[static_cast<std::size_t>(i)];
        PollItem item = itemOf(event);
        if (fillCame(item, static_cast<int>(event.events), bits))
            ready[count++] = item;
    }
    return count;
}

} // namespace loop
