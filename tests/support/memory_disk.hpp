// SPDX-License-Identifier: MIT
// The disk of the in-memory back end: files as strings by their paths, a
// set of folders, and a switch that makes every write fail as a full disk
// does. mem::reset() empties it.
#pragma once

#include <map>
#include <set>
#include <string>

namespace mem {

struct Disk {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    bool full = false; // every append fails
};

Disk& disk();

} // namespace mem
