// SPDX-License-Identifier: MIT
// The disk of the in-memory back end: files as strings by their paths, a
// set of folders, and the ways a disk fails: full at once, filling up after
// so many bytes, or failing at one chosen change. mem::reset() empties it.
#pragma once

#include <map>
#include <set>
#include <string>

namespace mem {

struct Disk {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    bool full = false; // every append fails
    // Appends take this many bytes more, then fail as a full disk does; -1
    // for a disk that never fills.
    long long room = -1;
    // A failing append leaves the part that fitted, as a back end must when
    // another game appended after it; else it leaves nothing, as they do.
    bool tears = false;
    // The change (an append, a move, a removal), counted from 0, that
    // fails; -1 for none. `changes` counts them.
    int failingChange = -1;
    int changes = 0;
};

Disk& disk();

} // namespace mem
