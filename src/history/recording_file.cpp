// SPDX-License-Identifier: MIT
#include "history/recording_file.hpp"

#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"

namespace history {

namespace {

std::string headerProblem(const record::ReadRecords& read) {
    if (read.records.empty() || read.records[0].kind != record::RecordKind::Header)
        return "it is not a recording of this game, or its start is damaged";
    std::optional<int> version = record::versionOf(read.records[0].payload);
    if (version && !record::readableFormat(*version))
        return "it was made in recording format " + std::to_string(*version) +
               ", and this version of blockduel plays formats " +
               std::to_string(record::oldestFormatVersion) + " to " +
               std::to_string(record::formatVersion) + " only";
    return "its start is damaged";
}

// Whether the match ended with the last round that ended: one left
// (nobody won it), or the one that made a player the match's winner.
struct MatchEnd {
    int firstTo = 0;
    int wins[2] = {0, 0};
    bool over = false;

    std::optional<record::RoundResult> first; // how the first round ended

    void roundEnded(std::string_view payload) {
        std::optional<record::RoundResult> round = record::decodeRound(payload);
        int winner = round ? round->winner : -1;
        over = winner < 0 || (firstTo > 0 && ++wins[winner] >= firstTo);
        if (++rounds == 1)
            first = round;
    }
    int rounds = 0;
};

// A guest's stretches checked as they are read, message by message, so
// that however many there are none is kept.
struct HeardCount {
    long long messages = 0;
    long long waitedMs = 0;
    bool matchOver = false; // the last Result ended the match
    bool tooMany = false;

    bool add(std::string_view stretch) {
        record::HeardMessage message;
        for (std::size_t at = 0; at < stretch.size();) {
            if (!record::readHeardAt(stretch, at, message))
                return false;
            waitedMs += message.afterMs;
            tooMany = ++messages > waitedMs + heardAtOnce;
            if (tooMany)
                return false;
            if (message.type == net::MessageType::Result)
                matchOver = message.result.matchOver;
        }
        return true;
    }
};

} // namespace

std::string readRecording(std::string_view bytes, Recording& recording) {
    record::ReadRecords read = record::readRecords(bytes, recordingRecords);
    std::optional<record::MatchSetup> header =
        read.records.empty() ? std::nullopt : record::decodeSetup(read.records[0].payload);
    if (!header || read.records[0].kind != record::RecordKind::Header)
        return headerProblem(read);
    if (read.tooMany)
        return "it holds more records than any match could";
    recording.header = *header;
    recording.cutShort = read.cutShort || read.damagedBytes > 0;
    MatchEnd end;
    end.firstTo = recording.header.firstTo;
    HeardCount heard;
    bool broken = false; // a record that does not read though its checksum holds
    for (std::size_t i = 1; i < read.records.size(); ++i) {
        const record::Record& r = read.records[i];
        if (r.kind == record::RecordKind::TapeChunk)
            broken = !recording.tape.add(r.payload);
        else if (r.kind == record::RecordKind::Heard)
            broken = !heard.add(r.payload);
        else if (r.kind == record::RecordKind::RoundEnd)
            end.roundEnded(r.payload);
        if (broken)
            break;
        if (r.kind == record::RecordKind::Heard)
            recording.heard.push_back(r.payload);
        recording.rounds += r.kind == record::RecordKind::RoundEnd ? 1 : 0;
    }
    recording.cutShort = recording.cutShort || broken;
    recording.firstRound = end.first;
    recording.heardMessages = heard.messages;
    // A guest's pictures are changes to the one before: past a stretch
    // that was skipped or does not read, every picture would be wrong. A
    // crash leaves none such, only a last record cut short.
    bool guest = recording.header.mode == record::PlayMode::Guest;
    recording.ended = guest ? heard.matchOver : end.over;
    if (guest && heard.tooMany)
        return "it holds more of what a host sends than any match could";
    if (guest && (read.damagedBytes > 0 || broken))
        return "what the host sent is damaged in it, so its pictures cannot be shown";
    return "";
}

std::vector<record::HeardMessage> heardMessages(const Recording& recording) {
    std::vector<record::HeardMessage> all;
    for (std::string_view stretch : recording.heard)
        record::readHeard(stretch, all);
    return all;
}

std::string lastRecording(const std::string& folder) {
    if (folder.empty())
        return "";
    std::string recordings = folder + disk::folderSeparator() + record::recordingsFolder;
    std::vector<std::string> names =
        disk::filesIn(recordings, record::recordingPrefix, record::recordingEnding);
    return names.empty() ? "" : recordings + disk::folderSeparator() + names.back();
}

} // namespace history
