// SPDX-License-Identifier: MIT
// Kept matches read back: a recording refused with the reason, or read to
// where it ends; the newest found for --replay last; the replay's line;
// and --stats as a person and a script read it.
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>

#include "fixture.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "game/recording.hpp"
#include "history/heard_picture.hpp"
#include "history/pieces_check.hpp"
#include "history/recording_file.hpp"
#include "history/replay_line.hpp"
#include "history/stats_command.hpp"
#include "memory_disk.hpp"
#include "net/message_decoder.hpp"
#include "netplay/guest_recording.hpp"
#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"
#include "record/results_log.hpp"
#include "record/stats.hpp"
#include "record/varint.hpp"

namespace {

using History = Fresh;

record::MatchSetup someMatch() {
    record::MatchSetup s;
    s.mode = record::PlayMode::Computer;
    s.computer[1] = true;
    s.level[1] = 4;
    s.seed = 5;
    s.startedUnix = 1796000000; // 2026-11-30 00:53:20 UTC
    return s;
}

// What `append` adds to nothing: a message, a record, a number.
template <class R, class... Params, class... Args>
std::string bytesOf(R (*append)(std::string&, Params...), Args&&... args) {
    std::string out;
    append(out, std::forward<Args>(args)...);
    return out;
}

// A recording as the keeper writes it: each round's tape, Left read in every
// round and held in the second, and the round's end, won by `winners` (-1:
// left); and a last tape after them if `tapeAfter`.
std::string recordingOf(int firstTo, std::initializer_list<int> winners, bool tapeAfter = false) {
    record::MatchSetup setup = someMatch();
    setup.firstTo = firstTo;
    std::string bytes =
        bytesOf(record::appendRecord, record::RecordKind::Header, record::encodeSetup(setup));
    record::TapeWriter tape;
    record::RoundResult r;
    for (int winner : winners) {
        r.round += 1;
        r.winner = winner;
        tape.key(vkLeft, r.round == 2);
        record::appendRecord(bytes, record::RecordKind::TapeChunk, tape.take());
        record::appendRecord(bytes, record::RecordKind::RoundEnd, record::encodeRound(r));
    }
    if (tapeAfter)
        record::appendRecord(bytes, record::RecordKind::TapeChunk, tape.take());
    return bytes;
}

// A recording reads to where it ends, and says whether its match's end is
// in it: its last round made a player the match's winner, or was left;
// anything cut before that did not end.
TEST_F(History, ARecordingReadsToWhereItEndsAndSaysWhetherItsMatchEnded) {
    const std::string twoRounds = recordingOf(0, {1, 1});
    const struct {
        const char* what;
        std::string bytes;
        bool ended;
        int rounds;
        bool cutShort;
    } cases[] = {
        {"won", recordingOf(2, {0, 1, 0}), true, 3, false},
        {"left in a round", recordingOf(2, {0, -1}), true, 2, false},
        {"left between rounds, playing to no end", recordingOf(0, {1, 1, -1}), true, 3, false},
        {"killed between rounds", recordingOf(2, {0, 1}), false, 2, false},
        {"killed in a round", recordingOf(2, {0, 1}, true), false, 2, false},
        {"playing to no end, killed", twoRounds, false, 2, false},
        {"killed before a round ended", recordingOf(1, {}, true), false, 0, false},
        {"the power went in the second round's end", twoRounds.substr(0, twoRounds.size() - 3),
         false, 1, true},
    };
    for (const auto& c : cases) {
        history::Recording r;
        ASSERT_EQ(history::readRecording(c.bytes, r), "") << c.what;
        EXPECT_EQ(std::tuple(r.ended, r.rounds, r.cutShort),
                  std::tuple(c.ended, c.rounds, c.cutShort))
            << c.what;
    }
    history::Recording whole;
    ASSERT_EQ(history::readRecording(twoRounds, whole), "");
    EXPECT_EQ(whole.header.level[1], 4);
    bool held = false;
    EXPECT_TRUE(whole.tape.key(vkLeft, held) && !held);
    EXPECT_TRUE(whole.tape.key(vkLeft, held) && held);
}

TEST_F(History, ARecordingThatCannotPlayIsRefusedWithTheReason) {
    std::string later = bytesOf(record::appendNumber, record::formatVersion + 1U);
    std::string damaged = recordingOf(0, {1, 1});
    damaged[6] = static_cast<char>(damaged[6] ^ 0x40);
    const std::pair<std::string, const char*> cases[] = {
        {bytesOf(record::appendRecord, record::RecordKind::Header, later + "of a later game"),
         "made in recording format 5, and this version of blockduel plays formats 1 to 4"},
        {damaged, "not a recording of this game, or its start is damaged"},
        {bytesOf(record::appendRecord, record::RecordKind::TapeChunk, ""),
         "not a recording of this game"},
        {"#!/bin/sh\n", "not a recording of this game"},
        {"", "not a recording of this game"},
    };
    for (const auto& [bytes, reason] : cases) {
        history::Recording r;
        std::string problem = history::readRecording(bytes, r);
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
    }
}

// A computer's round, its pieces from the C library's generator or the
// game's own, and its reads on `tape`.
record::RoundResult computersRound(const record::MatchSetup& header, bool library, ReadTape& tape) {
    GameSetup setup = replayedSetup(header);
    setup.libraryPieces = library;
    seedGenerators(setup);
    SteppedMatch match(setup, platformOutside(), &tape);
    while (!match.over())
        match.advance();
    return match.match().result;
}

// That round kept as a version before the game's own pieces kept it: from
// the C library's generator, under a header of format 2.
std::string libraryRound(int scoreShift) {
    record::MatchSetup header = someMatch();
    header.mode = record::PlayMode::Demo;
    header.computer[0] = true;
    header.level[0] = header.level[1] = 1;
    header.firstTo = 1;
    record::TapeWriter writer;
    TapeRecorder recorder(writer);
    record::RoundResult round = computersRound(header, true, recorder);
    record::TapeWriter ignored;
    TapeRecorder own(ignored);
    EXPECT_NE(computersRound(header, false, own).frames, round.frames)
        << "the two generators deal other rounds";
    round.score[0] += scoreShift;
    std::string old = record::encodeSetup(header);
    old[0] = 2;                 // the version, the header's first number
    old.resize(old.size() - 2); // and no names, its empty ones the last two bytes
    std::string bytes = bytesOf(record::appendRecord, record::RecordKind::Header, old);
    record::appendRecord(bytes, record::RecordKind::TapeChunk, writer.take());
    record::appendRecord(bytes, record::RecordKind::RoundEnd, record::encodeRound(round));
    return bytes;
}

// A recording of an older version plays back where the C library deals the
// pieces it was played with; where its first round ends otherwise, another
// library dealt them, and it is refused rather than shown wrong.
TEST_F(History, AnOlderRecordingPlaysOnlyWhereItsPiecesAreDealtAgain) {
    // The first round's score as this system's library played it, and as another's.
    for (int scoreShift : {0, rowScore}) {
        std::string bytes = libraryRound(scoreShift);
        history::Recording r;
        ASSERT_EQ(history::readRecording(bytes, r), "");
        ASSERT_TRUE(r.header.libraryPieces);
        std::string problem = history::piecesProblem(r);
        EXPECT_EQ(problem.empty(), scoreShift == 0) << problem;
        EXPECT_EQ(problem.find("this system's library deals other pieces") != std::string::npos,
                  scoreShift != 0)
            << problem;
    }
}

TEST_F(History, TheLastRecordingIsTheNewest) {
    EXPECT_EQ(history::lastRecording("/state"), "") << "none kept yet";
    EXPECT_EQ(history::lastRecording(""), "");
    std::string error;
    for (const char* name : {"match-20261201-100000-1.rec", "match-20261207-090000-9.rec",
                             "match-20261130-235959-5.rec", "notes.txt"})
        disk::appendWhole(std::string("/state/recordings/") + name, "x", error);
    EXPECT_EQ(history::lastRecording("/state"), "/state/recordings/match-20261207-090000-9.rec");
}

TEST_F(History, TheReplaysLineSaysWhatAndHowFast) {
    EXPECT_EQ(history::matchTitle(someMatch()), "computer 00:53");
    EXPECT_EQ(history::replayLine("computer 00:53", 2, history::normalQuarters, false),
              "Replay: computer 00:53, round 2, 1x");
    EXPECT_EQ(history::replayLine("demo 23:59", 1, history::slowestQuarters, true),
              "Replay: demo 23:59, round 1, 1/4x paused");
    EXPECT_EQ(history::replayLine("match 07:00", 3, history::fastestQuarters, false),
              "Replay: match 07:00, round 3, 8x");
    std::string longest = history::replayLine("computer 00:53", 99, history::slowestQuarters, true);
    EXPECT_LE(longest.size() + history::lineColumn, static_cast<std::size_t>(pictureColumns))
        << longest;
    EXPECT_NE(longest.find("paused"), std::string::npos) << "the line fits whole";
}

// What --stats printed, to either stream, and its status.
std::pair<std::string, int> statsOf(const std::string& folder, bool json) {
    std::FILE* file = std::tmpfile();
    int status = history::printStats(folder, json, file, file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(file);
    return {text, status};
}

// --stats printed each of `parts`, and ended with `status`.
void expectStats(const std::string& folder, int status, std::initializer_list<const char*> parts) {
    auto [text, got] = statsOf(folder, false);
    EXPECT_EQ(got, status) << text;
    for (const char* part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
}

TEST_F(History, StatsForAPersonAndForAScript) {
    EXPECT_EQ(statsOf("/state", false), std::pair(std::string("No matches recorded yet.\n"), 0));
    expectStats("", 1, {"set HOME or XDG_STATE_HOME"});

    record::MatchKeeper keeper("/state", someMatch(), 0, "20261130-005320");
    keeper.roundEnded(record::RoundResult{.round = 1, .winner = 0}, true, 0);
    // What the table and the JSON say is the statistics' own test; here,
    // that the command prints the one asked for from the state folder.
    expectStats("/state", 0, {"next, --computer --level 5."});
    auto [json, jsonStatus] = statsOf("/state", true);
    EXPECT_EQ(jsonStatus, 0);
    EXPECT_TRUE(json.starts_with('{')) << json;

    // A damaged log: set aside, said on the error stream, and the rest counted.
    mem::disk().files["/state/results"] += "\xB1\xD7 torn";
    expectStats("/state", 0, {"was damaged; it is kept as /state/results.damaged-1", "--computer"});
}

// The rounds the results log reads back, by their numbers.
std::vector<int> roundsRead() {
    std::vector<int> rounds;
    for (const record::ResultEntry& e : record::readResults("/state").entries)
        rounds.push_back(e.round.round);
    return rounds;
}

// A disk that fills up at any byte of a round's writes, whether the append
// that did not fit leaves its part torn (another game appended after it)
// or nothing: the rounds before are read back, and once there is room
// again the next round's, and the next match's after them.
TEST_F(History, AFullDiskCostsOnlyTheRoundsItCouldNotTake) {
    for (bool tears : {false, true})
        for (long long room = 0; room < 400; room += 7) {
            mem::disk() = mem::Disk{};
            mem::disk().tears = tears;
            record::MatchKeeper keeper("/state", someMatch(), 0, "20261130-005320");
            record::RoundResult r;
            r.winner = 0;
            for (r.round = 1; r.round <= 4; ++r.round) {
                mem::disk().room = r.round == 3 ? room : -1; // full in round 3 only
                keeper.roundEnded(r, r.round == 4, r.round == 4 ? 0 : -1);
            }
            SCOPED_TRACE(testing::Message() << "room " << room << (tears ? ", torn" : ""));
            std::vector<int> expected = roundsRead();
            bool lost3 = expected == std::vector<int>{1, 2, 4};
            EXPECT_TRUE(lost3 || expected == std::vector<int>({1, 2, 3, 4}));
            if (!keeper.warning().empty()) {
                std::string told = keepingWarning(keeper, "the log's words");
                EXPECT_NE(told.find(keeper.warning()), std::string::npos) << told;
                EXPECT_NE(told.find("the log's words"), std::string::npos) << told;
            }
            EXPECT_TRUE(!lost3 || !keeper.warning().empty()) << "a lost round is told";
            record::MatchKeeper next("/state", someMatch(), 0, "20261130-010000");
            r.round = 1;
            next.roundEnded(r, true, 0);
            expected.push_back(1);
            EXPECT_EQ(roundsRead(), expected);
            EXPECT_EQ(roundsRead(), expected) << "and again, after any repair";
        }
}

// The log's repair with a disk that fails at any one of its changes: the
// log the game reads holds every round that read, the damaged bytes are
// kept whole somewhere, nothing half-written is left, and the next read
// finishes the repair.
TEST_F(History, ARepairThatFailsAtAnyStepKeepsEveryRound) {
    std::string damaged;
    for (int round = 1; round <= 3; ++round)
        record::appendRecord(
            damaged, record::RecordKind::Result,
            record::encodeEntry({.match = someMatch(), .round = {.round = round}}));
    damaged += "\xB1\xD7 torn";
    bool failed = true;
    for (int failing = 0; failed; ++failing) {
        mem::disk() = mem::Disk{};
        auto& files = mem::disk().files;
        files["/state/results"] = damaged;
        mem::disk().failingChange = failing;
        SCOPED_TRACE(testing::Message() << "change " << failing);
        record::ResultsRead first = record::readResults("/state");
        failed = mem::disk().changes > failing;
        EXPECT_EQ(first.entries.size(), 3U);
        if (failed) {
            EXPECT_NE(first.warning.find("3 rounds that read whole"), std::string::npos)
                << first.warning;
        }
        mem::disk().failingChange = -1;
        EXPECT_EQ(roundsRead(), (std::vector<int>{1, 2, 3}));
        EXPECT_TRUE(files["/state/results"] == damaged ||
                    files["/state/results.damaged-1"] == damaged);
        EXPECT_FALSE(files.contains("/state/results.new"));
        EXPECT_EQ(record::readResults("/state").warning, "");
    }
    // Stopped between setting the damaged log aside and putting the new one
    // in its place: the new one, whole, is the log.
    mem::disk() = mem::Disk{};
    mem::disk().files["/state/results"] = damaged;
    record::readResults("/state");
    mem::disk().files["/state/results.new"] = mem::disk().files["/state/results"];
    mem::disk().files.erase("/state/results");
    EXPECT_EQ(roundsRead(), (std::vector<int>{1, 2, 3}));
}

// What a guest is sent, message by message, read as its connection reads
// them and kept by `recorder` at `ms`.
void hear(netplay::GuestRecorder& recorder, const std::string& bytes, long long ms) {
    net::MessageDecoder decoder(net::Sender::Host);
    std::size_t at = 0;
    while (at < bytes.size()) {
        at += decoder.feed(reinterpret_cast<const unsigned char*>(bytes.data()) + at,
                           bytes.size() - at);
        ASSERT_TRUE(decoder.hasMessage()) << decoder.error();
        recorder.heard(decoder.message(), ms);
    }
}

// A guest's match of two rounds, as its recorder keeps it; the recording's
// bytes.
std::string guestsMatch() {
    KeptAs as{record::PlayMode::Guest, 1, "/state", 1796000000, 7, "test", "20261130-005320"};
    netplay::GuestRecorder recorder(as, net::Seat::Player, "W A S D");
    const std::string end = bytesOf(net::appendEnd);
    hear(recorder, end, 500); // before the first picture: no match yet
    recorder.finish();
    EXPECT_EQ(recorder.recordingPath(), "") << "nothing kept before the game begins";
    const std::string delta = bytesOf(net::appendRuns, net::MessageType::Delta,
                                      std::string{'\0', '\x20', '\x0c', 'C'}); // cell 1
    const net::RoundOutcome first{
        .winner = 0, .score = {40, 0}, .rows = {4, 0}, .frames = 600, .seconds = 55};
    const std::string results[2] = {
        bytesOf(net::appendResult, first),
        bytesOf(net::appendResult, net::RoundOutcome{.round = 2, .matchOver = true})};
    hear(recorder,
         bytesOf(net::appendRuns, net::MessageType::Picture,
                 std::string{'\0', '\x01', '\x0b', 'A', 'B'}),
         1000);
    hear(recorder, bytesOf(net::appendKeepAlive), 1500); // changes nothing shown
    hear(recorder, delta, 900);                          // a clock that went back waits nothing
    hear(recorder, delta + results[0], 9000);
    hear(recorder, delta, 9250);
    hear(recorder, results[1] + end, 12000);
    recorder.finish();
    EXPECT_EQ(recorder.warning(""), "");
    return mem::disk().files[recorder.recordingPath()];
}

TEST_F(History, AGuestsRecordingReadsBackAsItWasSent) {
    std::string bytes = guestsMatch();
    history::Recording kept;
    ASSERT_EQ(history::readRecording(bytes, kept), "");
    EXPECT_TRUE(kept.ended) << "the last Result ended the match";
    std::vector<record::HeardMessage> heard = history::heardMessages(kept);
    EXPECT_EQ(std::tuple(kept.header.mode, kept.header.viewer, kept.header.legend[1], kept.rounds,
                         kept.cutShort),
              std::tuple(record::PlayMode::Guest, static_cast<int>(Viewer::PlayerTwo),
                         std::string("W A S D"), 2, false));
    // Each message, its wait and the round shown once it is applied: the
    // last round is the match's.
    using T = net::MessageType;
    const std::vector<std::tuple<T, long long, int>> sent = {
        {T::Picture, 0, 1}, {T::Delta, 0, 1},     {T::Delta, 8100, 1}, {T::Result, 0, 2},
        {T::Delta, 250, 2}, {T::Result, 2750, 2}, {T::End, 0, 2}};
    history::HeardPicture shown;
    std::vector<std::tuple<T, long long, int>> got;
    for (const record::HeardMessage& message : heard) {
        shown.apply(message);
        got.emplace_back(message.type, message.afterMs, shown.round());
    }
    ASSERT_EQ(got, sent);
    EXPECT_EQ(std::tuple(shown.picture()[0].code, shown.picture()[1].code, shown.picture()[1].attr),
              std::tuple('A', 'C', 12));
    EXPECT_EQ(heard[3].result.score[0], 40);

    // Its rounds count in the statistics, under the guest's own mode.
    record::ResultsRead log = record::readResults("/state");
    ASSERT_EQ(log.entries.size(), 2U);
    const record::ResultEntry& e = log.entries[0];
    EXPECT_EQ(std::tuple(e.round.winner, e.round.seconds, e.you), std::tuple(0, 55LL, 1));
    EXPECT_TRUE(log.entries[1].matchOver);
    std::string table = record::statsTable(record::addUp(log.entries, 10));
    EXPECT_NE(table.find("--join"), std::string::npos) << table;
}

// A recording cut short (the power went) plays up to where it ends; one
// damaged inside, or whose stretches do not hold what a host sends, is
// refused: every picture after the damage would be wrong.
TEST_F(History, AGuestsRecordingCutShortPlaysToItsEndADamagedOneIsRefused) {
    std::string whole = guestsMatch();
    history::Recording all;
    ASSERT_EQ(history::readRecording(whole, all), "");
    history::Recording cut;
    std::string cutBytes = whole.substr(0, whole.size() - 3); // which `cut` points into
    ASSERT_EQ(history::readRecording(cutBytes, cut), "");
    EXPECT_TRUE(cut.cutShort);
    std::vector<record::HeardMessage> cutHeard = history::heardMessages(cut);
    std::vector<record::HeardMessage> allHeard = history::heardMessages(all);
    ASSERT_LT(cutHeard.size(), allHeard.size());
    ASSERT_GT(cutHeard.size(), 0U);
    for (std::size_t i = 0; i < cutHeard.size(); ++i)
        EXPECT_EQ(cutHeard[i].runs, allHeard[i].runs) << i;

    // The header's record, whole: the rest follows it.
    const std::string header = bytesOf(record::appendRecord, record::RecordKind::Header,
                                       record::readRecords(whole).records[0].payload);
    ASSERT_TRUE(whole.starts_with(header));
    std::string damaged = whole;
    damaged[header.size() + 6] = static_cast<char>(damaged[header.size() + 6] ^ 0x10);
    auto withHeard = [&](const std::string& payload) {
        std::string bytes = header;
        record::appendRecord(bytes, record::RecordKind::Heard, payload);
        return bytes;
    };
    // A message that came at once.
    auto atOnce = [](const std::string& message) { return std::string(1, '\0') + message; };
    const std::string key = bytesOf(net::appendKey, net::KeyKind::Press, 1);
    const std::string end = bytesOf(net::appendEnd);
    std::string longGap = bytesOf(record::appendNumber, record::maxHeardGapMs + 1U) + end;
    for (const std::string& bytes : {damaged, withHeard(atOnce(key)), withHeard(longGap),
                                     withHeard(atOnce(end.substr(0, 1)))}) {
        history::Recording r;
        EXPECT_NE(history::readRecording(bytes, r).find("damaged"), std::string::npos);
    }
    history::Recording fine;
    EXPECT_EQ(history::readRecording(withHeard(atOnce(end)), fine), "");
    // More records than any match makes: refused before they are held.
    std::string crowded = header;
    for (std::size_t i = 0; i < history::recordingRecords; ++i)
        record::appendRecord(crowded, record::RecordKind::Heard, "");
    history::Recording r;
    EXPECT_NE(history::readRecording(crowded, r).find("more records"), std::string::npos);
}

// Millions of messages in a few stretches: refused when they came faster
// than any host sends, else read a stretch at a time, never kept one by one.
TEST_F(History, AGuestsRecordingOfMillionsOfMessagesIsRefusedOrStreamed) {
    record::MatchSetup setup = someMatch();
    setup.mode = record::PlayMode::Guest;
    const std::string header =
        bytesOf(record::appendRecord, record::RecordKind::Header, record::encodeSetup(setup));
    const std::string picture = bytesOf(net::appendRuns, net::MessageType::Picture, "");
    constexpr long long messages = history::heardAtOnce + 40'000;
    for (char waitMs : {'\0', '\1'}) {
        std::string entry = waitMs + picture;
        std::string stretch;
        while (stretch.size() + entry.size() <= record::maxPayload)
            stretch += entry;
        long long perStretch = static_cast<long long>(stretch.size() / entry.size());
        std::string bytes = header;
        for (long long kept = 0; kept < messages; kept += perStretch)
            record::appendRecord(bytes, record::RecordKind::Heard, stretch);
        history::Recording r;
        std::string problem = history::readRecording(bytes, r);
        if (waitMs == 0) {
            EXPECT_NE(problem.find("more of what a host sends than any match could"),
                      std::string::npos)
                << problem;
            continue;
        }
        EXPECT_EQ(problem, "");
        EXPECT_GE(r.heardMessages, messages);
        EXPECT_LT(r.heard.size(), 100U) << "stretches, not messages";
        EXPECT_FALSE(r.ended);
    }
}

} // namespace
