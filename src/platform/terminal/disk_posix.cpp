// SPDX-License-Identifier: MIT
// The game's files on a POSIX system: a folder only the user reads, files
// that grow by whole appends (O_APPEND: each write() lands whole at the
// end, whoever else appends), synced, and never followed through a link.
#include "record/disk.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/printable.hpp"

namespace disk {

namespace {

constexpr mode_t folderMode = 0700;
constexpr mode_t fileMode = 0600;

bool fail(std::string& error, const std::string& what, const std::string& path) {
    error = what + " " + printablePath(path) + ": " + printable(std::strerror(errno));
    return false;
}

// What a file the game reads is, unless a plain file: those are refused.
const char* notPlain(mode_t mode) {
    if (S_ISREG(mode))
        return nullptr;
    return S_ISDIR(mode) ? "it is a folder, not a file"
                         : "it is not a plain file but a pipe, a device or a socket";
}

// Each folder of `path` in turn, from the root.
bool makeEach(const std::string& path, std::string& error) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), folderMode) != 0 && errno != EEXIST)
            return fail(error, "cannot make the folder", part);
        if (slash == std::string::npos)
            return true;
    }
}

// A write the disk could not take whole: the part of it that landed is cut
// off again, so that the file ends where its last whole record did. O_APPEND
// put the part at the end, which the offset now follows; a file another
// game has grown since is left as it is, for its readers, who skip a torn
// record and read on after it.
void undoPart(int fd, ssize_t landed) {
    off_t end = lseek(fd, 0, SEEK_CUR);
    struct stat info = {};
    if (landed > 0 && end >= landed && fstat(fd, &info) == 0 && info.st_size == end)
        (void)!ftruncate(fd, end - landed);
}

} // namespace

bool makeFolder(const std::string& path, std::string& error) {
    struct stat info = {};
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        errno = ENOTDIR;
        return fail(error, "cannot keep files in", path);
    }
    return makeEach(path, error);
}

bool appendWhole(const std::string& path, std::string_view bytes, std::string& error) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, fileMode);
    if (fd < 0)
        return fail(error, "cannot open", path);
    ssize_t written = -1;
    do {
        written = write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    bool whole = written == static_cast<ssize_t>(bytes.size());
    if (written >= 0 && !whole)
        errno = ENOSPC; // a short write to a file: the disk is full
    int saved = errno;
    bool synced = whole && fsync(fd) == 0;
    if (whole && !synced)
        saved = errno;
    if (!synced)
        undoPart(fd, written); // a record the disk may not keep whole is no record
    close(fd);
    errno = saved;
    if (!whole)
        return fail(error, "cannot write to", path);
    return synced || fail(error, "cannot keep on disk", path);
}

namespace {

// The file opened for reading when it is a plain file; -1 else.
int openPlain(const std::string& path, NamedBy namedBy, std::string& error) {
    // Without O_NONBLOCK a pipe with no writer would hold the open for ever;
    // a plain file reads the same with it.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (namedBy == NamedBy::Game ? O_NOFOLLOW : 0);
    int fd = open(path.c_str(), flags);
    if (fd < 0) {
        fail(error, "cannot open", path);
        return -1;
    }
    struct stat info = {};
    bool known = fstat(fd, &info) == 0;
    int saved = errno;
    const char* what = known ? notPlain(info.st_mode) : nullptr;
    if (known && what == nullptr)
        return fd;
    close(fd);
    errno = saved;
    if (known)
        error = "cannot read " + printablePath(path) + ": " + what;
    else
        fail(error, "cannot read", path);
    return -1;
}

} // namespace

bool readWhole(const std::string& path, std::size_t limit, std::string& bytes, std::string& error,
               NamedBy namedBy) {
    int fd = openPlain(path, namedBy, error);
    if (fd < 0)
        return false;
    bytes.clear();
    char chunk[8192];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        int saved = errno;
        if (n <= 0 || bytes.size() + static_cast<std::size_t>(n) > limit)
            close(fd);
        if (n == 0)
            return true;
        if (n < 0) {
            errno = saved;
            return fail(error, "cannot read", path);
        }
        if (bytes.size() + static_cast<std::size_t>(n) > limit) {
            error = printablePath(path) + " is larger than any file the game reads";
            return false;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

bool moveAside(const std::string& path, const std::string& suffix, std::string& movedTo,
               std::string& error) {
    // A link (2) to a name nobody has, then the old name gone: no file that
    // is there already is ever replaced.
    for (int n = 1; n <= 1000; ++n) {
        movedTo = path + suffix + "-" + std::to_string(n);
        if (link(path.c_str(), movedTo.c_str()) == 0) {
            unlink(path.c_str());
            return true;
        }
        if (errno == EEXIST)
            continue;
        // A file system without links: a rename to a name that is free now.
        struct stat info = {};
        if (lstat(movedTo.c_str(), &info) != 0 && errno == ENOENT &&
            rename(path.c_str(), movedTo.c_str()) == 0)
            return true;
        break;
    }
    return fail(error, "cannot set aside", path);
}

bool replaceWith(const std::string& from, const std::string& to, std::string& error) {
    return rename(from.c_str(), to.c_str()) == 0 || fail(error, "cannot replace", to);
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& prefix,
                                 const std::string& ending) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    // One thread reads this folder: readdir_r, which the analyser would
    // have instead, is deprecated for that case.
    // cppcheck-suppress readdirCalled
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() >= prefix.size() + ending.size() &&
            name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

long long fileSize(const std::string& path) {
    struct stat info = {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<long long>(info.st_size);
}

bool exists(const std::string& path) {
    struct stat info = {};
    return lstat(path.c_str(), &info) == 0;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

char folderSeparator() { return '/'; }

} // namespace disk
