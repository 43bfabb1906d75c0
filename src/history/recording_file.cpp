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
    if (version && *version != record::formatVersion)
        return "it was made in recording format " + std::to_string(*version) +
               ", and this version of blockduel plays format " +
               std::to_string(record::formatVersion) + " only";
    return "its start is damaged";
}

} // namespace

std::string readRecording(std::string_view bytes, Recording& recording) {
    record::ReadRecords read = record::readRecords(bytes);
    std::optional<record::MatchSetup> header =
        read.records.empty() ? std::nullopt : record::decodeSetup(read.records[0].payload);
    if (!header || read.records[0].kind != record::RecordKind::Header)
        return headerProblem(read);
    recording.header = *header;
    recording.cutShort = read.cutShort || read.damagedBytes > 0;
    bool broken = false; // a record that does not read though its checksum holds
    for (std::size_t i = 1; i < read.records.size(); ++i) {
        const record::Record& r = read.records[i];
        bool whole = true;
        if (r.kind == record::RecordKind::TapeChunk)
            whole = recording.tape.add(r.payload);
        else if (r.kind == record::RecordKind::Heard)
            whole = netplay::readHeard(r.payload, recording.heard);
        if (!whole) {
            recording.cutShort = broken = true;
            break;
        }
        if (r.kind == record::RecordKind::RoundEnd)
            recording.rounds += 1;
    }
    // A guest's pictures are changes to the one before: past a stretch
    // that was skipped or does not read, every picture would be wrong. A
    // crash leaves none such, only a last record cut short.
    bool guest = recording.header.mode == record::PlayMode::Guest;
    if (guest && (read.damagedBytes > 0 || broken))
        return "what the host sent is damaged in it, so its pictures cannot be shown";
    return "";
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
