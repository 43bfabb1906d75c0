// SPDX-License-Identifier: MIT
// The game's files on a POSIX disk, in a scratch folder of the test's own:
// whole appends whoever else appends, failures that come back as words,
// and nothing written through a link or over a file that is there.
#include "record/disk.hpp"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "record/log_records.hpp"
#include "scratch_folder.hpp"

namespace {

class Disk : public ScratchFolder {};

mode_t modeOf(const std::string& path) {
    struct stat info = {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 0777;
}

TEST_F(Disk, MakesTheFolderAndItsParentsForTheUserAlone) {
    std::string folder = scratch + "/state/deeper/blockduel";
    std::string error;
    ASSERT_TRUE(disk::makeFolder(folder, error)) << error;
    EXPECT_EQ(modeOf(folder), 0700U);
    EXPECT_TRUE(disk::makeFolder(folder, error)) << "a folder that is there already";
    std::string file = folder + "/results";
    ASSERT_TRUE(disk::appendWhole(file, "abc", error)) << error;
    EXPECT_EQ(modeOf(file), 0600U);
    EXPECT_FALSE(disk::makeFolder(file, error)) << "a file where the folder should be";
    EXPECT_NE(error.find(file), std::string::npos) << error;
}

TEST_F(Disk, AppendsGrowTheFileAndReadBackWhole) {
    std::string file = scratch + "/log";
    std::string error;
    ASSERT_TRUE(disk::appendWhole(file, "one ", error));
    ASSERT_TRUE(disk::appendWhole(file, "two", error));
    std::string bytes;
    ASSERT_TRUE(disk::readWhole(file, 100, bytes, error)) << error;
    EXPECT_EQ(bytes, "one two");
    EXPECT_EQ(disk::fileSize(file), 7);
    EXPECT_FALSE(disk::readWhole(file, 6, bytes, error)) << "over the limit";
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
    EXPECT_FALSE(disk::readWhole(scratch + "/none", 100, bytes, error));
    EXPECT_EQ(disk::fileSize(scratch + "/none"), -1);
}

// Two games ending at the same moment: every record of both is whole.
TEST_F(Disk, TwoProcessesAppendingAtOnceLoseNoRecord) {
    std::string file = scratch + "/results";
    constexpr int perProcess = 400;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            std::string error;
            for (int i = 0; i < perProcess; ++i) {
                std::string rec;
                record::appendRecord(rec, record::RecordKind::Result,
                                     std::string(50 + i % 300, static_cast<char>('a' + c)));
                if (!disk::appendWhole(file, rec, error))
                    _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string bytes;
    std::string error;
    ASSERT_TRUE(disk::readWhole(file, record::maxFileBytes, bytes, error));
    record::ReadRecords read = record::readRecords(bytes);
    EXPECT_EQ(read.records.size(), 2U * perProcess);
    EXPECT_EQ(read.damagedBytes, 0U);
    EXPECT_FALSE(read.cutShort);
}

TEST_F(Disk, AFullDiskOrAFolderItMayNotWriteIsToldNotHidden) {
    std::string error;
    EXPECT_FALSE(disk::appendWhole("/dev/full", "record", error)) << "/dev/full takes nothing";
    EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    std::string locked = scratch + "/locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
    EXPECT_FALSE(disk::appendWhole(locked + "/results", "x", error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_FALSE(disk::makeFolder(locked + "/inner", error));
}

// A write the disk takes only part of (here by a limit on the file's size,
// as a full disk does): the part goes again, the file ends at its last
// whole record, and the failure is told as a full disk.
TEST_F(Disk, AWriteTheDiskTakesOnlyPartOfIsUndone) {
    std::string file = scratch + "/results";
    std::string error;
    ASSERT_TRUE(disk::appendWhole(file, "a whole one", error));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {};
        limit.rlim_cur = limit.rlim_max = 20;
        bool told = setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                    !disk::appendWhole(file, std::string(100, 'x'), error) &&
                    error.find("No space") != std::string::npos;
        _exit(told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "a short write fails as a full disk";
    std::string bytes;
    ASSERT_TRUE(disk::readWhole(file, 200, bytes, error)) << error;
    EXPECT_EQ(bytes, "a whole one");
}

TEST_F(Disk, ALinkIsNotFollowed) {
    std::string target = scratch + "/elsewhere";
    std::string error;
    ASSERT_TRUE(disk::appendWhole(target, "theirs", error));
    std::string file = scratch + "/results";
    ASSERT_EQ(symlink(target.c_str(), file.c_str()), 0);
    EXPECT_FALSE(disk::appendWhole(file, "ours", error));
    std::string bytes;
    EXPECT_FALSE(disk::readWhole(file, 100, bytes, error));
    ASSERT_TRUE(disk::readWhole(target, 100, bytes, error));
    EXPECT_EQ(bytes, "theirs");
    EXPECT_EQ(disk::fileSize(file), -1) << "a link is no file of the game's";
}

TEST_F(Disk, SettingAsideNeverReplacesAFile) {
    std::string file = scratch + "/results";
    std::string error;
    std::string first;
    std::string second;
    ASSERT_TRUE(disk::appendWhole(file, "old", error));
    ASSERT_TRUE(disk::moveAside(file, ".damaged", first, error)) << error;
    ASSERT_TRUE(disk::appendWhole(file, "older", error));
    ASSERT_TRUE(disk::moveAside(file, ".damaged", second, error)) << error;
    EXPECT_NE(first, second);
    std::string bytes;
    ASSERT_TRUE(disk::readWhole(first, 100, bytes, error));
    EXPECT_EQ(bytes, "old");
    ASSERT_TRUE(disk::readWhole(second, 100, bytes, error));
    EXPECT_EQ(bytes, "older");
    EXPECT_EQ(disk::fileSize(file), -1) << "the name is free again";
    EXPECT_FALSE(disk::moveAside(scratch + "/none", ".damaged", first, error));
}

TEST_F(Disk, ListsTheGamesFilesInNameOrder) {
    std::string error;
    for (const char* name : {"match-2.rec", "match-1.rec", "results", "match-3.txt", "other.rec"})
        ASSERT_TRUE(disk::appendWhole(scratch + "/" + name, "x", error));
    std::vector<std::string> names = disk::filesIn(scratch, "match-", ".rec");
    EXPECT_EQ(names, (std::vector<std::string>{"match-1.rec", "match-2.rec"}));
    EXPECT_TRUE(disk::filesIn(scratch + "/none", "", "").empty());
    EXPECT_TRUE(disk::removeFile(scratch + "/match-1.rec"));
    EXPECT_FALSE(disk::removeFile(scratch + "/match-1.rec"));
}

} // namespace
