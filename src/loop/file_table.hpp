// SPDX-License-Identifier: MIT
// The event loop's file events: at most a fixed number, held densely so
// that a turn hands the wait one array, and found by handle through a hash
// index, since a Winsock SOCKET is no small number to index by. Only the
// event loop (loop/event_loop.cpp) uses it.
#pragma once

#include <cstdint>
#include <vector>

#include "loop/callbacks.hpp"

namespace loop {

class FileTable {
public:
    struct File {
        Handle handle;
        unsigned mask;
        FileProc proc;
        void* context;
        // Tells this registration from an earlier one of the same handle,
        // removed and added again while a turn ran.
        std::uint64_t serial;
    };

    // Room for `capacity` handles (at least 1), all of it taken now.
    explicit FileTable(int capacity);

    // Watches `handle` for the bits of `mask` too, calling `proc` with
    // `context` (both replace the handle's earlier ones). False when the
    // mask is empty or the table is full with other handles.
    bool add(Handle handle, unsigned mask, FileProc proc, void* context);
    // Stops watching `handle` for the bits of `mask`; a handle left with
    // none is forgotten.
    void remove(Handle handle, unsigned mask);
    // The handle's registration, nullptr when it has none.
    const File* find(Handle handle) const;

    int count() const { return static_cast<int>(files_.size()); }
    int capacity() const { return capacity_; }
    // One wait's items, the i-th for the i-th registration; returns count().
    int fillPoll(PollItem* items) const;
    const File& at(int i) const { return files_[static_cast<std::size_t>(i)]; }

private:
    // Where in the index `handle` is, or the empty place it would take.
    std::size_t probe(Handle handle) const;
    void forget(std::size_t place);

    int capacity_;
    std::vector<File> files_;
    // Open addressing: each place holds a registration's index + 1, 0 when
    // empty; at least twice the capacity, so probes stay short.
    std::vector<int> index_;
    std::uint64_t nextSerial_ = 1;
};

} // namespace loop
