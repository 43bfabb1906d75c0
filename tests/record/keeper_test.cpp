// SPDX-License-Identifier: MIT
// A match kept as it is played, on a real disk in a scratch folder: what
// the recording and the results log hold after each round, the tape going
// to disk as the round goes on, a disk that fails, and old recordings
// pruned.
#include "record/keeper.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "record/disk.hpp"
#include "record/log_records.hpp"
#include "scratch_folder.hpp"

namespace record {
namespace {

class Keeper : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        setup.programVersion = "test";
        setup.matchId = 42;
        setup.mode = PlayMode::Computer;
        setup.computer[1] = true;
        setup.level[1] = 3;
        setup.seed = 99;
    }
    // The records of a file, which `bytes` keeps.
    ReadRecords recordsOf(const std::string& path) {
        std::string error;
        EXPECT_TRUE(disk::readWhole(path, maxFileBytes, bytes, error)) << error;
        return readRecords(bytes);
    }
    std::string bytes;
    MatchSetup setup;
};

std::vector<RecordKind> kindsOf(const ReadRecords& read) {
    std::vector<RecordKind> kinds;
    for (const Record& r : read.records)
        kinds.push_back(r.kind);
    return kinds;
}

RoundResult roundOf(int number, int winner) {
    return {
        .round = number, .winner = winner, .score = {10 * number, 0}, .frames = 500, .seconds = 45};
}

TEST_F(Keeper, EachRoundEndsInTheRecordingAndTheResultsLog) {
    MatchKeeper keeper(scratch, setup, 0, "20261207-190000");
    ASSERT_EQ(keeper.warning(), "");
    ASSERT_NE(keeper.recordingPath(), "");
    keeper.tape().key(7, true);
    keeper.tape().clock(100);
    keeper.roundEnded(roundOf(1, 0), false, -1);
    keeper.tape().key(7, false);
    keeper.roundEnded(roundOf(2, 1), true, 1);
    EXPECT_EQ(keeper.warning(), "");

    ReadRecords recording = recordsOf(keeper.recordingPath());
    using K = RecordKind;
    ASSERT_EQ(kindsOf(recording),
              (std::vector<K>{K::Header, K::TapeChunk, K::RoundEnd, K::TapeChunk, K::RoundEnd}));
    std::optional<MatchSetup> header = decodeSetup(recording.records[0].payload);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->seed, 99U);
    EXPECT_EQ(decodeRound(recording.records[4].payload)->winner, 1);
    TapeReader tape;
    ASSERT_TRUE(tape.add(recording.records[1].payload));
    bool held = false;
    EXPECT_TRUE(tape.key(7, held) && held);

    ReadRecords results = recordsOf(scratch + "/" + resultsName);
    ASSERT_EQ(results.records.size(), 2U);
    std::optional<ResultEntry> last = decodeEntry(results.records[1].payload);
    ASSERT_TRUE(last);
    EXPECT_EQ(std::tuple(last->matchOver, last->champion, last->you, last->round.score[0]),
              std::tuple(true, 1, 0, 20));
}

// A kill in the middle of a round loses only the seconds since the tape
// last went to disk.
TEST_F(Keeper, TheTapeGoesToDiskAsTheRoundGoesOn) {
    MatchKeeper keeper(scratch, setup, 0, "20261207-190000");
    keeper.tape().key(1, true);
    for (int frame = 1; frame < tapeEveryFrames; ++frame)
        keeper.framePlayed();
    EXPECT_EQ(recordsOf(keeper.recordingPath()).records.size(), 1U) << "not yet";
    keeper.framePlayed();
    EXPECT_EQ(kindsOf(recordsOf(keeper.recordingPath())),
              (std::vector<RecordKind>{RecordKind::Header, RecordKind::TapeChunk}));
}

TEST_F(Keeper, ADiskThatFailsGivesOneWarningAndTheMatchGoesOn) {
    // The results log's name taken by a folder: every append to it fails.
    std::string error;
    ASSERT_TRUE(disk::makeFolder(scratch + "/" + resultsName, error));
    MatchKeeper keeper(scratch, setup, 0, "20261207-190000");
    keeper.roundEnded(roundOf(1, 0), false, -1);
    std::string warning = keeper.warning();
    EXPECT_NE(warning.find(resultsName), std::string::npos) << warning;
    keeper.roundEnded(roundOf(2, 0), true, 0);
    EXPECT_EQ(keeper.warning(), warning) << "the first failure is the one told";
    EXPECT_EQ(keeper.recordingPath(), "") << "nothing more is kept of the match";

    MatchKeeper inAFile("/dev/null/blockduel", setup, 0, "20261207-190000");
    EXPECT_NE(inAFile.warning(), "");
    inAFile.roundEnded(roundOf(1, 0), true, 0); // nothing, and no crash
    MatchKeeper none("", setup, 0, "20261207-190000");
    none.roundEnded(roundOf(1, 0), true, 0);
    EXPECT_EQ(none.warning(), "") << "nothing asked to be kept";
}

TEST_F(Keeper, OldRecordingsGoBeyondTheirNumberOrSize) {
    std::string folder = scratch + "/" + recordingsFolder;
    std::string error;
    ASSERT_TRUE(disk::makeFolder(folder, error));
    auto name = [](int n) {
        char text[64];
        std::snprintf(text, sizeof text, "%s2026%04d-000000-1%s", recordingPrefix, n,
                      recordingEnding);
        return std::string(text);
    };
    for (int n = 1; n <= keptRecordings + 4; ++n)
        ASSERT_TRUE(disk::appendWhole(folder + "/" + name(n), "x", error));
    ASSERT_TRUE(disk::appendWhole(scratch + "/" + resultsName, "kept", error));
    MatchKeeper keeper(scratch, setup, 0, "20270101-000000");
    std::vector<std::string> left = disk::filesIn(folder, recordingPrefix, recordingEnding);
    ASSERT_EQ(left.size(), static_cast<std::size_t>(keptRecordings));
    EXPECT_EQ(left.front(), name(6)) << "the oldest five went";
    EXPECT_EQ(disk::fileSize(scratch + "/" + resultsName), 4) << "never the results";

    // Two large ones (sparse: they take no room) pass the size bound.
    for (int n : {keptRecordings + 10, keptRecordings + 11}) {
        ASSERT_TRUE(disk::appendWhole(folder + "/" + name(n), "x", error));
        ASSERT_EQ(truncate((folder + "/" + name(n)).c_str(), keptRecordingBytes / 2 + 1), 0);
    }
    MatchKeeper next(scratch, setup, 0, "20270101-000001");
    left = disk::filesIn(folder, recordingPrefix, recordingEnding);
    ASSERT_EQ(left.size(), 3U) << "the newest large one, the last match's and the new one's";
    EXPECT_EQ(left.front(), name(keptRecordings + 11));
}

} // namespace
} // namespace record
