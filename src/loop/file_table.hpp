// SPDX-License-Identifier: MIT
// The event loop's file events: at most a fixed number, held densely so
// that a turn hands the wait one array, and found by handle through a hash
// index, since a Winsock SOCKET is no small number to index by. For a loop
// whose system keeps a set of handles between waits, it also keeps what
// that set was told of each handle and which handles changed since, so
// that the set is told only of those. Only the event loop
// (loop/event_loop.cpp) uses it.
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
        // What the system's set was last told this handle is watched for
        // (noEvents: nothing yet), and where in changed_ it is, -1 if not.
        unsigned told = noEvents;
        int changedAt = -1;
    };

    // What the set is to be told of one handle: `mask` is what it is
    // watched for now (noEvents when it is dropped).
    struct Change {
        Handle handle;
        unsigned mask;
        SetChange how;
    };
    using TellProc = bool (*)(const Change& change, void* context);

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

    // From now on, keeps what changes for a set to be told of, or no more
    // (the loop turns it on when its system keeps a set, and off when the
    // set has failed it). Turned on, every handle watched counts as new.
    void keepChanges(bool on);
    // Hands `tell` each handle's change since the last call, once for each
    // handle whose mask differs from what the set was told, and once for
    // each removed and added again (its number may be a new descriptor's),
    // drops first; the set then counts as told. False at once when `tell`
    // does: the set is of no more use.
    bool tellChanges(TellProc tell, void* context);

private:
    // Where in the index `handle` is, or the empty place it would take.
    std::size_t probe(Handle handle) const;
    File* findFile(Handle handle);
    void forget(std::size_t place);
    // Puts the file among those whose mask changed, once.
    void changed(File& file);
    void unlist(File& file);

    int capacity_;
    std::vector<File> files_;
    // Open addressing: each place holds a registration's index + 1, 0 when
    // empty; at least twice the capacity, so probes stay short.
    std::vector<int> index_;
    std::uint64_t nextSerial_ = 1;
    // With keepChanges: the handles whose mask changed since the last
    // tellChanges, and those removed since that the set was told of (each
    // at most once, so either within the capacity).
    bool keeping_ = false;
    std::vector<Handle> changed_;
    std::vector<Handle> dropped_;
};

} // namespace loop
