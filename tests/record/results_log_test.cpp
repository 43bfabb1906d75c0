// SPDX-License-Identifier: MIT
// The results log read back from a real disk: every kind of damage is set
// aside whole, the rounds that read are kept, and a game killed while it
// writes never leaves a log that loses more than the record it was writing.
#include "record/results_log.hpp"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"
#include "record/varint.hpp"
#include "scratch_folder.hpp"

namespace record {
namespace {

class ResultsLog : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        log = scratch + "/" + resultsName;
    }
    void write(const std::string& bytes) {
        std::string error;
        disk::removeFile(log);
        ASSERT_TRUE(disk::appendWhole(log, bytes, error)) << error;
    }
    static std::string contents(const std::string& path) {
        std::string bytes;
        std::string error;
        EXPECT_TRUE(disk::readWhole(path, maxFileBytes, bytes, error)) << error;
        return bytes;
    }
    std::string log;
};

std::string entryRecord(int round) {
    ResultEntry e;
    e.match.computer[1] = true;
    e.match.level[1] = 2;
    e.round = {.round = round, .winner = round % 2};
    e.you = 0;
    std::string bytes;
    appendRecord(bytes, RecordKind::Result, encodeEntry(e));
    return bytes;
}

TEST_F(ResultsLog, NoneOrAWholeOneReadsWithoutAWord) {
    ResultsRead none = readResults(scratch);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_EQ(none.warning, "");
    write(entryRecord(1) + entryRecord(2) + entryRecord(3));
    ResultsRead read = readResults(scratch);
    ASSERT_EQ(read.entries.size(), 3U);
    EXPECT_EQ(read.entries[2].round.round, 3);
    EXPECT_EQ(read.warning, "");
    EXPECT_TRUE(readResults("").entries.empty());
}

// Each damage: the file as it was is kept aside, the rounds that read stay
// in the log, and the next read is quiet.
TEST_F(ResultsLog, EveryKindOfDamageIsSetAsideAndTheRestKept) {
    std::string later;
    appendNumber(later, formatVersion + 1);
    std::string laterRecord;
    appendRecord(laterRecord, RecordKind::Result, later + "of a later game");
    std::string unknownKind;
    appendRecord(unknownKind, static_cast<RecordKind>(77), "?");
    std::string changed = entryRecord(2);
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 1);
    const std::string torn = entryRecord(2).substr(0, 9);
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t kept;
    };
    const Case cases[] = {
        {"torn at the end", entryRecord(1) + torn, 1},
        {"torn in the middle", entryRecord(1) + torn + entryRecord(3), 2},
        {"a changed byte", entryRecord(1) + changed + entryRecord(3), 2},
        {"a later version's line", entryRecord(1) + laterRecord, 1},
        {"a kind it does not know", unknownKind + entryRecord(1), 1},
        {"not a log at all", "#!/bin/sh\nrm -rf /\n", 0},
    };
    int asideNumber = 0;
    for (const Case& c : cases) {
        write(c.bytes);
        ResultsRead read = readResults(scratch);
        EXPECT_EQ(read.entries.size(), c.kept) << c.what;
        std::string aside = log + ".damaged-" + std::to_string(++asideNumber);
        EXPECT_NE(read.warning.find(aside), std::string::npos) << c.what << ": " << read.warning;
        EXPECT_EQ(contents(aside), c.bytes) << c.what << ": kept as it was";
        ResultsRead again = readResults(scratch);
        EXPECT_EQ(again.entries.size(), c.kept) << c.what;
        EXPECT_EQ(again.warning, "") << c.what << ": the warning comes once";
    }
}

// A file system of 64 KiB, unmounted however the test ends; skipped where
// the test may not mount one.
class SmallDisk {
public:
    explicit SmallDisk(std::string where) : path(std::move(where)) {
        mounted = mkdir(path.c_str(), 0700) == 0 &&
                  mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (mounted)
            umount2(path.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    std::string path;
    bool mounted = false;
};

// A real disk filled up: the round that did not fit leaves nothing, a
// damaged log that cannot be repaired stays the log, its rounds counted,
// and once there is room it is repaired with all of them.
TEST_F(ResultsLog, AFullDiskLosesOnlyTheRoundsItCouldNotTake) {
    SmallDisk small(scratch + "/small");
    if (!small.mounted)
        GTEST_SKIP() << "no tmpfs may be mounted here";
    std::string smallLog = small.path + "/" + resultsName;
    std::string error;
    const std::string torn = entryRecord(0).substr(0, 9);
    ASSERT_TRUE(disk::appendWhole(smallLog, entryRecord(1) + torn, error)) << error;
    std::string filler = smallLog + ".filler";
    for (std::size_t chunk = 4096; chunk > 0; chunk /= 2)
        while (disk::appendWhole(filler, std::string(chunk, 'f'), error)) {
        }
    // The log's last page takes a few rounds more, the last in part.
    int kept = 1;
    long long size = disk::fileSize(smallLog);
    for (; disk::appendWhole(smallLog, entryRecord(kept + 1), error); ++kept)
        size = disk::fileSize(smallLog);
    EXPECT_NE(error.find("No space left"), std::string::npos) << error;
    EXPECT_EQ(disk::fileSize(smallLog), size) << "the part that fitted is cut off again";
    std::string before = contents(smallLog);
    ResultsRead full = readResults(small.path);
    EXPECT_EQ(static_cast<int>(full.entries.size()), kept) << "every whole round, and none torn";
    EXPECT_NE(full.warning.find("could not be repaired"), std::string::npos) << full.warning;
    EXPECT_EQ(contents(smallLog), before) << "the log stays as it was";
    EXPECT_EQ(disk::fileSize(smallLog + ".new"), -1) << "nothing half-written is left";

    ASSERT_TRUE(disk::removeFile(filler));
    ResultsRead repaired = readResults(small.path);
    EXPECT_EQ(static_cast<int>(repaired.entries.size()), kept);
    EXPECT_NE(repaired.warning.find("kept as"), std::string::npos) << repaired.warning;
    EXPECT_EQ(readResults(small.path).entries.size(), repaired.entries.size());
}

// A game killed at any moment while it appends: the log never holds a
// record that reads wrong, and what it lost is at most the one in hand.
TEST_F(ResultsLog, AGameKilledWhileItWritesLosesAtMostARecord) {
    for (int attempt = 0; attempt < 25; ++attempt) {
        disk::removeFile(log);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string error;
            (void)!::write(ready[1], "x", 1);
            for (int round = 1;; ++round)
                disk::appendWhole(log, entryRecord(round), error);
        }
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + attempt * 700));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(ready[0]);
        close(ready[1]);
        // Killed before its first append, the game left no log at all.
        ReadRecords raw = readRecords(disk::fileSize(log) < 0 ? "" : contents(log));
        ResultsRead read = readResults(scratch);
        ASSERT_EQ(read.entries.size(), raw.records.size()) << "attempt " << attempt;
        for (std::size_t i = 0; i < read.entries.size(); ++i)
            ASSERT_EQ(read.entries[i].round.round, static_cast<int>(i) + 1)
                << "in order, none lost";
        EXPECT_EQ(raw.damagedBytes, 0U) << "a kill only ever cuts the end";
        EXPECT_EQ(readResults(scratch).warning, "");
    }
}

} // namespace
} // namespace record
