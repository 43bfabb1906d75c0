// SPDX-License-Identifier: MIT
// What keeping matches needs from the platform: a folder of the user's own
// and files in it that only grow. The game calls these from its single
// thread, at a round's start and end and every few seconds of play, and
// `--stats` and `--replay` read with them; each back end implements them in
// a file of its own (platform/terminal/disk_posix.cpp,
// platform/win32/disk_win32.cpp). None of them ends, stops or blocks the
// process for longer than the disk takes; each failure comes back as words
// for a warning, in `error`, with the path and the system's text in it as
// printable() shows them (text/printable.hpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace disk {

// The folder and its parents, made when missing (only the user may read
// them, where the system has such a thing).
bool makeFolder(const std::string& path, std::string& error);

// Adds `bytes` at the end of the file, made when missing, in one write, so
// that two games adding to one file at once each add whole records; then
// asks the system to keep it on disk. A file that is a link is not followed.
// Whole or not at all: when the disk takes only part (it is full) or cannot
// keep it, the part is cut off again, the file ending where it did, unless
// another game has appended since (its readers then skip the torn record).
bool appendWhole(const std::string& path, std::string_view bytes, std::string& error);

// Who named a file that is read. The game's own files, in its folder, are
// never read through a link, which could lead it to a file of someone
// else's; a path the user gives (on the command line, or the keys file) may
// be a link, followed as every program follows one.
enum class NamedBy { Game, User };

// The whole file, when it is a plain file of at most `limit` bytes: a
// folder, a pipe or a device is refused at once, never waited on.
bool readWhole(const std::string& path, std::size_t limit, std::string& bytes, std::string& error,
               NamedBy namedBy = NamedBy::Game);

// Whether anything is at `path`: a file, a folder, a link even to nothing.
bool exists(const std::string& path);

// Renames the file to `path` with `suffix` and a number no file has yet;
// `movedTo` says where it went.
bool moveAside(const std::string& path, const std::string& suffix, std::string& movedTo,
               std::string& error);

// Puts the file `from` in the place of `to` in one step: whoever reads
// `to` finds the old file or the new one whole, never a part.
bool replaceWith(const std::string& from, const std::string& to, std::string& error);

// The names (not paths) of the files in `folder` that start with `prefix`
// and end with `ending`, in the order of their names; none when the folder
// cannot be read.
std::vector<std::string> filesIn(const std::string& folder, const std::string& prefix,
                                 const std::string& ending);

// The size of a file in bytes; -1 when it cannot be read.
long long fileSize(const std::string& path);

bool removeFile(const std::string& path);

// The separator between a folder and a name on this platform.
char folderSeparator();

} // namespace disk
