// SPDX-License-Identifier: MIT
// Prints a network guest's recording as this game's own writers make it,
// for the page's replay tests to read against: a header, then two Heard
// records (a Picture, a Delta and round 1's Result; a second round's
// Picture, the match's Result and the End), with the picture that applying
// all of its runs gives; and the bounds the game's reader and replay keep.
// One JSON object on standard output.
#include <cstdio>
#include <string>

#include "history/recording_file.hpp"
#include "history/replay_line.hpp"
#include "net/picture.hpp"
#include "net/protocol.hpp"
#include "record/heard.hpp"
#include "record/log_records.hpp"

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes)
        text.append(1, digits[b >> 4]).append(1, digits[b & 15]);
    return text;
}

// A picture of every code, in colours that change every few cells.
net::Picture patterned(int seed) {
    net::Picture picture;
    for (int i = 0; i < net::pictureCells; ++i)
        picture[static_cast<std::size_t>(i)] =
            net::PictureCell{static_cast<unsigned char>((i * 31 + seed) & 0xFF),
                             static_cast<unsigned char>((i / 5 + seed) & 0xFF)};
    return picture;
}

// The message that makes `to` out of `from`, shown on `shown`, kept.
record::HeardMessage changes(net::MessageType type, const net::Picture& from,
                             const net::Picture& to, long long afterMs, net::Picture& shown) {
    record::HeardMessage m;
    m.afterMs = afterMs;
    m.type = type;
    net::appendChanges(from, to, m.runs);
    if (type == net::MessageType::Picture)
        shown = net::Picture{};
    net::applyRuns(reinterpret_cast<const unsigned char*>(m.runs.data()),
                   static_cast<int>(m.runs.size()), shown);
    return m;
}

record::HeardMessage result(int round, bool over, long long afterMs) {
    record::HeardMessage m;
    m.afterMs = afterMs;
    m.type = net::MessageType::Result;
    m.result = net::RoundOutcome{
        .round = round, .winner = 0, .matchOver = over, .champion = over ? 0 : -1};
    return m;
}

} // namespace

int main() {
    const net::Picture blank{};
    net::Picture shown{};
    std::string first;
    record::appendHeard(first, changes(net::MessageType::Picture, blank, patterned(0), 0, shown));
    record::appendHeard(first,
                        changes(net::MessageType::Delta, patterned(0), patterned(7), 90, shown));
    record::appendHeard(first, result(1, false, 40));
    std::string second;
    record::appendHeard(second,
                        changes(net::MessageType::Picture, blank, patterned(3), 1000, shown));
    record::appendHeard(second, result(2, true, 20));
    record::HeardMessage end;
    record::appendHeard(second, end);
    std::string file;
    record::appendRecord(file, record::RecordKind::Header, "a match");
    record::appendRecord(file, record::RecordKind::Heard, first);
    record::appendRecord(file, record::RecordKind::Heard, second);

    std::string cells;
    for (const net::PictureCell& cell : shown)
        cells.append(1, static_cast<char>(cell.code));
    for (const net::PictureCell& cell : shown)
        cells.append(1, static_cast<char>(cell.attr));
    std::printf("{\n  \"recording\": \"%s\",\n  \"lastPicture\": \"%s\",\n", hex(file).c_str(),
                hex(cells).c_str());
    std::printf("  \"bounds\": {\"maxRecordPayload\": %zu, \"maxFileBytes\": %zu, "
                "\"recordingRecords\": %zu, \"maxHeardGapMs\": %lld, \"heardAtOnce\": %lld, "
                "\"slowestQuarters\": %d, \"normalQuarters\": %d, \"fastestQuarters\": %d}\n}\n",
                record::maxPayload, record::maxFileBytes, history::recordingRecords,
                record::maxHeardGapMs, history::heardAtOnce, history::slowestQuarters,
                history::normalQuarters, history::fastestQuarters);
    return 0;
}
