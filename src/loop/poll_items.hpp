// SPDX-License-Identifier: MIT
// What both back ends' loopPoll share: the event loop's items turned into
// the system's poll records (POSIX pollfd and Winsock WSAPOLLFD alike have
// fd, events and revents) and what came turned back, as epoll's events are
// too. Only the files implementing loop/loop_poll.hpp include it.
#pragma once

#include <cstddef>
#include <vector>

#include "loop/loop_poll.hpp"

namespace loop {

// The system's bits for bytes to read, room to send, and the ends of a
// connection (error, hang-up, a handle that is none).
struct PollBits {
    short in;
    short out;
    short endings;
};

// Fills in what came on `item` from the system's bits `came`. An error or a
// hang-up ends what an item waits for: it is readable (a read says which),
// or writable when it only writes (a send says). True when it is either.
inline bool fillCame(PollItem& item, int came, PollBits bits) {
    item.readable = item.read && (came & (bits.in | bits.endings)) != 0;
    item.writable = item.write && (came & (item.read ? bits.out : bits.out | bits.endings)) != 0;
    return item.readable || item.writable;
}

// Fills a record of type `Fd` for each item, lets `wait(records, count)`
// poll them (returning above 0 when some are ready), and fills in each
// item.
template <class Fd, class Wait>
int pollItems(PollItem* items, int count, PollBits bits, Wait wait) {
    // Kept for the next wait: the loop polls the same handles over and over.
    thread_local std::vector<Fd> records;
    count = count > 0 ? count : 0;
    records.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Fd& record = records[static_cast<std::size_t>(i)];
        record = {};
        record.fd = static_cast<decltype(record.fd)>(items[i].handle);
        record.events =
            static_cast<short>((items[i].read ? bits.in : 0) | (items[i].write ? bits.out : 0));
    }
    bool found = wait(records.data(), count) > 0;
    int ready = 0;
    for (int i = 0; i < count; ++i)
        ready += fillCame(items[i], found ? records[static_cast<std::size_t>(i)].revents : 0, bits)
                     ? 1
                     : 0;
    return ready;
}

} // namespace loop
