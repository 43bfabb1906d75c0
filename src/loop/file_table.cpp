// SPDX-License-Identifier: MIT
// The file events' table and its hash index, with linear probing and
// deletion by shifting back, so that no tombstones pile up however often
// the same sockets come and go.
#include "loop/file_table.hpp"

#include <algorithm>
#include <utility>

namespace loop {

namespace {

std::size_t indexSizeFor(int capacity) {
    std::size_t size = 4;
    while (size < 2 * static_cast<std::size_t>(capacity))
        size *= 2;
    return size;
}

std::size_t hashOf(Handle handle) {
    // Descriptors and SOCKETs run in small steps: a multiplicative hash
    // spreads them over the index.
    return static_cast<std::size_t>(static_cast<std::uint64_t>(handle) * 0x9E3779B97F4A7C15ULL >>
                                    32);
}

} // namespace

FileTable::FileTable(int capacity)
    : capacity_(std::max(capacity, 1)), index_(indexSizeFor(capacity_), 0) {
    files_.reserve(static_cast<std::size_t>(capacity_));
}

std::size_t FileTable::probe(Handle handle) const {
    std::size_t wrap = index_.size() - 1;
    std::size_t place = hashOf(handle) & wrap;
    while (index_[place] != 0 &&
           files_[static_cast<std::size_t>(index_[place] - 1)].handle != handle)
        place = (place + 1) & wrap;
    return place;
}

const FileTable::File* FileTable::find(Handle handle) const {
    std::size_t place = probe(handle);
    return index_[place] == 0 ? nullptr : &files_[static_cast<std::size_t>(index_[place] - 1)];
}

FileTable::File* FileTable::findFile(Handle handle) {
    return const_cast<File*>(std::as_const(*this).find(handle));
}

bool FileTable::add(Handle handle, unsigned mask, FileProc proc, void* context) {
    mask &= readable | writable;
    if (mask == noEvents || proc == nullptr)
        return false;
    std::size_t place = probe(handle);
    if (index_[place] != 0) {
        File& file = files_[static_cast<std::size_t>(index_[place] - 1)];
        if ((file.mask | mask) != file.mask)
            changed(file);
        file.mask |= mask;
        file.proc = proc;
        file.context = context;
        return true;
    }
    if (count() >= capacity_)
        return false;
    files_.push_back({handle, mask, proc, context, nextSerial_++});
    index_[place] = count();
    changed(files_.back());
    return true;
}

void FileTable::remove(Handle handle, unsigned mask) {
    std::size_t place = probe(handle);
    if (index_[place] == 0)
        return;
    File& file = files_[static_cast<std::size_t>(index_[place] - 1)];
    if ((file.mask & mask) == noEvents)
        return;
    file.mask &= ~mask;
    if (file.mask == noEvents)
        forget(place);
    else
        changed(file);
}

// The index closes the gap behind the freed place; then the last
// registration moves into the freed one's room.
void FileTable::forget(std::size_t place) {
    auto freed = static_cast<std::size_t>(index_[place] - 1);
    if (keeping_) {
        unlist(files_[freed]);
        if (files_[freed].told != noEvents)
            dropped_.push_back(files_[freed].handle);
    }
    std::size_t wrap = index_.size() - 1;
    std::size_t hole = place;
    for (std::size_t next = (hole + 1) & wrap; index_[next] != 0; next = (next + 1) & wrap) {
        std::size_t home = hashOf(files_[static_cast<std::size_t>(index_[next] - 1)].handle) & wrap;
        // An entry may fill the hole unless its home lies after the hole,
        // up to where it stands (cyclically).
        bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (stays)
            continue;
        index_[hole] = index_[next];
        hole = next;
    }
    index_[hole] = 0;
    if (freed + 1 != files_.size()) {
        index_[probe(files_.back().handle)] = static_cast<int>(freed) + 1;
        files_[freed] = files_.back();
    }
    files_.pop_back();
}

void FileTable::changed(File& file) {
    if (!keeping_ || file.changedAt >= 0)
        return;
    file.changedAt = static_cast<int>(changed_.size());
    changed_.push_back(file.handle);
}

// The last listed takes the place of the one let go.
void FileTable::unlist(File& file) {
    if (file.changedAt < 0)
        return;
    auto place = static_cast<std::size_t>(std::exchange(file.changedAt, -1));
    Handle last = changed_.back();
    changed_.pop_back();
    if (place < changed_.size()) {
        changed_[place] = last;
        findFile(last)->changedAt = static_cast<int>(place);
    }
}

void FileTable::keepChanges(bool on) {
    keeping_ = on;
    changed_.clear();
    dropped_.clear();
    changed_.reserve(on ? static_cast<std::size_t>(capacity_) : 0);
    dropped_.reserve(on ? static_cast<std::size_t>(capacity_) : 0);
    for (File& file : files_) {
        file.told = noEvents;
        file.changedAt = -1;
        changed(file);
    }
}

// A handle removed and added again is told of once: modified, since what
// the set holds under its number may be its old descriptor or nothing.
bool FileTable::tellChanges(TellProc tell, void* context) {
    for (Handle handle : dropped_) {
        File* file = findFile(handle);
        if (file != nullptr)
            unlist(*file);
        Change change = file == nullptr ? Change{handle, noEvents, SetChange::drop}
                                        : Change{handle, file->mask, SetChange::modify};
        if (!tell(change, context))
            return false;
        if (file != nullptr)
            file->told = file->mask;
    }
    dropped_.clear();
    for (Handle handle : changed_) {
        File& file = *findFile(handle);
        file.changedAt = -1;
        if (file.mask == file.told)
            continue; // changed and changed back
        if (!tell({handle, file.mask, file.told == noEvents ? SetChange::add : SetChange::modify},
                  context))
            return false;
        file.told = file.mask;
    }
    changed_.clear();
    return true;
}

int FileTable::fillPoll(PollItem* items) const {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const File& file = files_[i];
        items[i] = {file.handle, (file.mask & readable) != 0, (file.mask & writable) != 0, false,
                    false};
    }
    return count();
}

} // namespace loop
