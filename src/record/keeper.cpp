// SPDX-License-Identifier: MIT
#include "record/keeper.hpp"

#include <utility>
#include <vector>

#include "record/disk.hpp"
#include "record/log_records.hpp"

namespace record {

namespace {

std::string join(const std::string& folder, const std::string& name) {
    return folder + disk::folderSeparator() + name;
}

} // namespace

MatchKeeper::MatchKeeper(std::string folder, const MatchSetup& setup, int you,
                         const std::string& stamp, const std::string& tag, bool resultsLog)
    : folder_(std::move(folder)), setup_(setup), you_(you), resultsLog_(resultsLog) {
    if (folder_.empty())
        return;
    std::string recordings = join(folder_, recordingsFolder);
    if (!disk::makeFolder(recordings, warning_)) {
        folder_.clear();
        return;
    }
    pruneRecordings();
    std::string name = recordingPrefix + stamp + "-" + std::to_string(setup.matchId);
    if (!tag.empty())
        name += "." + tag;
    recording_ = join(recordings, name + recordingEnding);
    append(recording_, RecordKind::Header, encodeSetup(setup_));
}

bool MatchKeeper::append(const std::string& path, RecordKind kind, const std::string& payload) {
    std::string bytes;
    return add(bytes, kind, payload) && write(path, bytes);
}

bool MatchKeeper::add(std::string& bytes, RecordKind kind, const std::string& payload) {
    if (folder_.empty())
        return false;
    if (appendRecord(bytes, kind, payload))
        return true;
    noteFailure("a piece of the match too large for one record was not kept");
    return false;
}

bool MatchKeeper::write(const std::string& path, const std::string& bytes) {
    std::string error;
    if (path.empty() || bytes.empty())
        return !path.empty();
    if (disk::appendWhole(path, bytes, error))
        return true;
    noteFailure(error);
    return false;
}

// One warning, and no more of this match's recording, which a piece
// missing would spoil. Each write is whole or nothing, so the results log
// still takes each round that the disk has room for.
void MatchKeeper::noteFailure(const std::string& error) {
    if (warning_.empty())
        warning_ = error;
    recording_.clear();
}

void MatchKeeper::framePlayed() {
    if (++framesUntaken_ < tapeEveryFrames)
        return;
    framesUntaken_ = 0;
    append(recording_, RecordKind::TapeChunk, tape_.take());
}

void MatchKeeper::roundEnded(const RoundResult& round, bool matchOver, int champion) {
    append(recording_, RecordKind::TapeChunk, tape_.take());
    framesUntaken_ = 0;
    roundResult(round, matchOver, champion);
}

bool MatchKeeper::addHeard(std::string& bytes, const Stretches& stretches) {
    for (const std::string& stretch : stretches)
        if (!add(bytes, RecordKind::Heard, stretch))
            return false;
    return true;
}

void MatchKeeper::keepHeard(const Stretches& stretches) {
    std::string bytes;
    if (addHeard(bytes, stretches))
        write(recording_, bytes);
}

void MatchKeeper::roundResult(const RoundResult& round, bool matchOver, int champion,
                              const Stretches& stretches) {
    std::string bytes;
    if (!recording_.empty() && addHeard(bytes, stretches) &&
        add(bytes, RecordKind::RoundEnd, encodeRound(round)))
        write(recording_, bytes);
    if (!resultsLog_)
        return;
    ResultEntry entry;
    entry.match = setup_;
    entry.round = round;
    entry.you = you_;
    entry.matchOver = matchOver;
    entry.champion = champion;
    append(join(folder_, resultsName), RecordKind::Result, encodeEntry(entry));
}

// The names start with the match's date and time, so their order is the
// order the matches were played in: the oldest go first.
void MatchKeeper::pruneRecordings() {
    std::string recordings = join(folder_, recordingsFolder);
    std::vector<std::string> names = disk::filesIn(recordings, recordingPrefix, recordingEnding);
    long long bytes = 0;
    std::size_t keepFrom = names.size();
    // Newest first, counting what is kept; the new match takes one place.
    while (keepFrom > 0 && names.size() - keepFrom + 1 < std::size_t{keptRecordings}) {
        long long size = disk::fileSize(join(recordings, names[keepFrom - 1]));
        if (bytes + size > keptRecordingBytes)
            break;
        bytes += size < 0 ? 0 : size;
        --keepFrom;
    }
    for (std::size_t i = 0; i < keepFrom; ++i)
        disk::removeFile(join(recordings, names[i]));
}

} // namespace record
