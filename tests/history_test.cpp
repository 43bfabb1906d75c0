// SPDX-License-Identifier: MIT
// Kept matches read back: a recording refused with the reason, or read to
// where it ends; the newest found for --replay last; the replay's line;
// and --stats as a person and a script read it.
#include <cstdio>
#include <string>

#include "history/recording_file.hpp"
#include "history/replay_line.hpp"
#include "history/stats_command.hpp"
#include "memory_disk.hpp"
#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"
#include "record/varint.hpp"
#include "support/fixture.hpp"

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

// A recording of two rounds, as the keeper writes it.
std::string twoRounds() {
    std::string bytes;
    record::appendRecord(bytes, record::RecordKind::Header, record::encodeSetup(someMatch()));
    record::TapeWriter tape;
    for (int round = 1; round <= 2; ++round) {
        tape.key(vkLeft, round == 2);
        record::appendRecord(bytes, record::RecordKind::TapeChunk, tape.take());
        record::RoundResult result;
        result.round = round;
        result.winner = 1;
        record::appendRecord(bytes, record::RecordKind::RoundEnd, record::encodeRound(result));
    }
    return bytes;
}

TEST_F(History, ARecordingReadsToWhereItEnds) {
    std::string bytes = twoRounds();
    history::Recording whole;
    ASSERT_EQ(history::readRecording(bytes, whole), "");
    EXPECT_EQ(whole.rounds, 2);
    EXPECT_FALSE(whole.cutShort);
    EXPECT_EQ(whole.header.level[1], 4);
    bool held = false;
    EXPECT_TRUE(whole.tape.key(vkLeft, held) && !held);
    EXPECT_TRUE(whole.tape.key(vkLeft, held) && held);

    history::Recording cut;
    ASSERT_EQ(history::readRecording(std::string_view(bytes).substr(0, bytes.size() - 3), cut), "");
    EXPECT_EQ(cut.rounds, 1) << "the power went in the second round's end";
    EXPECT_TRUE(cut.cutShort);
}

TEST_F(History, ARecordingThatCannotPlayIsRefusedWithTheReason) {
    std::string later;
    record::appendNumber(later, record::formatVersion + 1);
    std::string laterFile;
    record::appendRecord(laterFile, record::RecordKind::Header, later + "of a later game");
    std::string damaged = twoRounds();
    damaged[6] = static_cast<char>(damaged[6] ^ 0x40);
    std::string noHeader;
    record::appendRecord(noHeader, record::RecordKind::TapeChunk, "");
    const std::pair<std::string, const char*> cases[] = {
        {laterFile, "made in recording format 2, and this version of blockduel plays format 1"},
        {damaged, "not a recording of this game, or its start is damaged"},
        {noHeader, "not a recording of this game"},
        {"#!/bin/sh\n", "not a recording of this game"},
        {"", "not a recording of this game"},
    };
    for (const auto& [bytes, reason] : cases) {
        history::Recording r;
        std::string problem = history::readRecording(bytes, r);
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
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

// What --stats printed to a file, and its status.
std::pair<std::string, int> statsOf(const std::string& folder, bool json) {
    std::FILE* out = std::tmpfile();
    std::FILE* errors = std::tmpfile();
    int status = history::printStats(folder, json, out, errors);
    std::string text;
    for (std::FILE* file : {out, errors}) {
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;)
            text += static_cast<char>(c);
        std::fclose(file);
    }
    return {text, status};
}

TEST_F(History, StatsForAPersonAndForAScript) {
    auto [none, noneStatus] = statsOf("/state", false);
    EXPECT_EQ(noneStatus, 0);
    EXPECT_EQ(none, "No matches recorded yet.\n");
    auto [nowhere, nowhereStatus] = statsOf("", false);
    EXPECT_EQ(nowhereStatus, 1);
    EXPECT_NE(nowhere.find("set HOME or XDG_STATE_HOME"), std::string::npos) << nowhere;

    record::MatchKeeper keeper("/state", someMatch(), 0, "20261130-005320");
    record::RoundResult won;
    won.round = 1;
    won.winner = 0;
    keeper.roundEnded(won, true, 0);
    // What the table and the JSON say is the statistics' own test; here,
    // that the command prints the one asked for from the state folder.
    auto [table, tableStatus] = statsOf("/state", false);
    EXPECT_EQ(tableStatus, 0);
    EXPECT_NE(table.find("next, --computer --level 5."), std::string::npos) << table;
    auto [json, jsonStatus] = statsOf("/state", true);
    EXPECT_EQ(jsonStatus, 0);
    EXPECT_EQ(json.rfind("{", 0), 0U) << json;

    // A damaged log: set aside, said on the error stream, and the rest counted.
    mem::disk().files["/state/results"] += "\xB1\xD7 torn";
    auto [repaired, repairedStatus] = statsOf("/state", false);
    EXPECT_EQ(repairedStatus, 0);
    EXPECT_NE(repaired.find("was damaged; it is kept as /state/results.damaged-1"),
              std::string::npos)
        << repaired;
    EXPECT_NE(repaired.find("--computer"), std::string::npos) << repaired;
}

} // namespace
