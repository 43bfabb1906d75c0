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
    for (std::size_t i = 1; i < read.records.size(); ++i) {
        const record::Record& r = read.records[i];
        if (r.kind == record::RecordKind::TapeChunk && !recording.tape.add(r.payload)) {
            recording.cutShort = true;
            break;
        }
        if (r.kind == record::RecordKind::RoundEnd)
            recording.rounds += 1;
    }
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
