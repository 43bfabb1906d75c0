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
                         const std::string& stamp)
    : folder_(std::move(folder)), setup_(setup), you_(you) {
    if (folder_.empty())
        return;
    std::string recordings = join(folder_, recordingsFolder);
    if (!disk::makeFolder(recordings, warning_)) {
        folder_.clear();
        return;
    }
    pruneRecordings();
    recording_ = join(recordings, recordingPrefix + stamp + "-" + std::to_string(setup.matchId) +
                                      recordingEnding);
    append(recording_, RecordKind::Header, encodeSetup(setup_));
}

bool MatchKeeper::append(const std::string& path, RecordKind kind, const std::string& payload) {
    if (folder_.empty())
        return false;
    std::string bytes;
    appendRecord(bytes, kind, payload);
    std::string error;
    if (disk::appendWhole(path, bytes, error))
        return true;
    // One warning, and nothing more of this match: a disk that failed once
    // would fail again at every round.
    if (warning_.empty())
        warning_ = error;
    folder_.clear();
    recording_.clear();
    return false;
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

void MatchKeeper::keepHeard(const std::string& piece) {
    if (!piece.empty())
        append(recording_, RecordKind::Heard, piece);
}

void MatchKeeper::roundResult(const RoundResult& round, bool matchOver, int champion) {
    append(recording_, RecordKind::RoundEnd, encodeRound(round));
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
