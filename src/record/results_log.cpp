// SPDX-License-Identifier: MIT
#include "record/results_log.hpp"

#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"
#include "text/printable.hpp"

namespace record {

namespace {

constexpr const char* freshEnding = ".new";

std::string rounds(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " round" : " rounds");
}

// The lines that read, written whole beside the log first; only then is
// the damaged log set aside and the new one put in its place, so that at
// every moment the log the game reads holds every round that read. When a
// step fails the log stays as it was, and is read the same way next time.
std::string repair(const std::string& path, const std::vector<ResultEntry>& entries) {
    std::string whole;
    for (const ResultEntry& entry : entries)
        appendRecord(whole, RecordKind::Result, encodeEntry(entry));
    std::string fresh = path + freshEnding;
    std::string error;
    std::string aside;
    std::string shown = printablePath(path);
    disk::removeFile(fresh); // one left by a repair that failed
    bool written = disk::appendWhole(fresh, whole, error);
    if (written && disk::moveAside(path, ".damaged", aside, error)) {
        if (disk::replaceWith(fresh, path, error))
            return "the results log " + shown + " was damaged; it is kept as " +
                   printablePath(aside) + ", and the " + rounds(entries.size()) +
                   " that read whole are kept";
        std::string undone;
        if (!disk::replaceWith(aside, path, undone))
            return "the results log " + shown + " was damaged, and " + error + "; its " +
                   rounds(entries.size()) + " that read whole are in " + printablePath(fresh) +
                   ", all of it in " + printablePath(aside);
    }
    disk::removeFile(fresh);
    return "the results log " + shown + " is damaged and could not be repaired (" + error +
           "); it is left as it was, and its " + rounds(entries.size()) +
           " that read whole are counted";
}

// A repair cut short between setting the damaged log aside and putting the
// new one in its place leaves the new one alone, written whole.
void finishRepair(const std::string& path) {
    std::string fresh = path + freshEnding;
    if (disk::fileSize(path) < 0 && disk::fileSize(fresh) >= 0) {
        std::string error;
        disk::replaceWith(fresh, path, error);
    }
}

} // namespace

ResultsRead readResults(const std::string& folder) {
    ResultsRead read;
    if (folder.empty())
        return read;
    std::string path = folder + disk::folderSeparator() + resultsName;
    finishRepair(path);
    if (disk::fileSize(path) < 0)
        return read; // none yet, or nothing the game wrote
    std::string bytes;
    std::string error;
    if (!disk::readWhole(path, maxFileBytes, bytes, error)) {
        read.warning = error;
        return read;
    }
    ReadRecords records = readRecords(bytes);
    bool whole = records.damagedBytes == 0 && !records.cutShort;
    for (const Record& r : records.records) {
        std::optional<ResultEntry> entry =
            r.kind == RecordKind::Result ? decodeEntry(r.payload) : std::nullopt;
        if (entry)
            read.entries.push_back(*entry);
        whole = whole && entry.has_value();
    }
    if (!whole)
        read.warning = repair(path, read.entries);
    return read;
}

} // namespace record
