// SPDX-License-Identifier: MIT
// The disk contract answered in memory, for the core's tests.
#include "memory_disk.hpp"

#include "record/disk.hpp"

namespace mem {

Disk& disk() {
    static Disk instance;
    return instance;
}

namespace {

// False when this change is the one that fails.
bool changes() { return disk().changes++ != disk().failingChange; }

} // namespace

} // namespace mem

namespace disk {

bool makeFolder(const std::string& path, std::string& error) {
    if (mem::disk().files.contains(path)) {
        error = "cannot keep files in " + path + ": Not a directory";
        return false;
    }
    mem::disk().folders.insert(path);
    return true;
}

bool appendWhole(const std::string& path, std::string_view bytes, std::string& error) {
    mem::Disk& d = mem::disk();
    bool fits = d.room < 0 || static_cast<long long>(bytes.size()) <= d.room;
    if (!mem::changes() || d.full || !fits || d.folders.contains(path)) {
        if (d.tears && !fits && !d.full)
            d.files[path].append(bytes.substr(0, static_cast<std::size_t>(d.room)));
        d.room = fits ? d.room : 0;
        error = "cannot write to " + path + ": No space left on device";
        return false;
    }
    d.files[path].append(bytes);
    if (d.room >= 0)
        d.room -= static_cast<long long>(bytes.size());
    return true;
}

bool readWhole(const std::string& path, std::size_t limit, std::string& bytes, std::string& error,
               NamedBy /*namedBy*/) {
    auto found = mem::disk().files.find(path);
    if (found == mem::disk().files.end() || found->second.size() > limit) {
        error = "cannot read " + path;
        return false;
    }
    bytes = found->second;
    return true;
}

bool moveAside(const std::string& path, const std::string& suffix, std::string& movedTo,
               std::string& error) {
    auto& files = mem::disk().files;
    bool moves = mem::changes();
    for (int n = 1; moves && n <= 1000 && files.contains(path); ++n) {
        movedTo = path + suffix + "-" + std::to_string(n);
        if (!files.contains(movedTo)) {
            files[movedTo] = files[path];
            files.erase(path);
            return true;
        }
    }
    error = "cannot set aside " + path;
    return false;
}

bool replaceWith(const std::string& from, const std::string& to, std::string& error) {
    auto& files = mem::disk().files;
    if (!mem::changes() || !files.contains(from)) {
        error = "cannot replace " + to;
        return false;
    }
    files[to] = files[from];
    files.erase(from);
    return true;
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& prefix,
                                 const std::string& ending) {
    std::vector<std::string> names;
    std::string start = folder + "/" + prefix;
    for (const auto& [path, bytes] : mem::disk().files) {
        if (!path.starts_with(start))
            continue;
        std::string name = path.substr(folder.size() + 1);
        if (name.find('/') == std::string::npos && name.ends_with(ending))
            names.push_back(name);
    }
    return names;
}

long long fileSize(const std::string& path) {
    auto found = mem::disk().files.find(path);
    return found == mem::disk().files.end() ? -1 : static_cast<long long>(found->second.size());
}

bool exists(const std::string& path) {
    return mem::disk().files.contains(path) || mem::disk().folders.contains(path);
}

bool removeFile(const std::string& path) {
    return mem::changes() && mem::disk().files.erase(path) > 0;
}

char folderSeparator() { return '/'; }

} // namespace disk
