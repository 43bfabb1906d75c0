// SPDX-License-Identifier: MIT
#include "record/results_log.hpp"

#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"
#include "text/printable.hpp"

namespace record {

namespace {

// The log set aside, and the lines that read written in its place.
std::string repair(const std::string& path, const std::vector<ResultEntry>& entries) {
    std::string error;
    std::string aside;
    std::string shown = printablePath(path);
    if (!disk::moveAside(path, ".damaged", aside, error))
        return "the results log " + shown + " is damaged, and " + error;
    std::string whole;
    for (const ResultEntry& entry : entries)
        appendRecord(whole, RecordKind::Result, encodeEntry(entry));
    std::string fresh = path + ".new";
    disk::removeFile(fresh); // one left by a repair that was cut short
    if (!whole.empty() &&
        (!disk::appendWhole(fresh, whole, error) || !disk::replaceWith(fresh, path, error)))
        return "the results log " + shown + " was damaged and is now " + printablePath(aside) +
               "; " + error;
    return "the results log " + shown + " was damaged; it is kept as " + printablePath(aside) +
           ", and the " + std::to_string(entries.size()) + " rounds that read whole are kept";
}

} // namespace

ResultsRead readResults(const std::string& folder) {
    ResultsRead read;
    if (folder.empty())
        return read;
    std::string path = folder + disk::folderSeparator() + resultsName;
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
