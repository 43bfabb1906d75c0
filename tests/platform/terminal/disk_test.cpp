// SPDX-License-Identifier: MIT
// The game's files on a POSIX disk, in a scratch folder of the test's own:
// whole appends whoever else appends, failures that come back as words,
// and nothing written through a link or over a file that is there.
#include "record/disk.hpp"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "record/log_records.hpp"
#include "scratch_folder.hpp"

namespace {

class Disk : public ScratchFolder {
protected:
    std::string at(const std::string& name) const { return scratch + "/" + name; }
    bool append(const std::string& path, std::string_view bytes) {
        return disk::appendWhole(path, bytes, error);
    }
    // The file's bytes, or why they could not be read.
    std::string contents(const std::string& path, std::size_t limit = 200) {
        std::string bytes;
        return disk::readWhole(path, limit, bytes, error) ? bytes : "unreadable: " + error;
    }
    std::string error;
};

mode_t modeOf(const std::string& path) {
    struct stat info = {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 0777;
}

// `work` in a child process of its own, which exits 0 when it holds.
pid_t inChild(const std::function<bool()>& work) {
    pid_t child = fork();
    if (child == 0)
        _exit(work() ? 0 : 1);
    return child;
}
bool heldInChild(pid_t child) {
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST_F(Disk, MakesTheFolderAndItsParentsForTheUserAlone) {
    std::string folder = at("state/deeper/blockduel");
    ASSERT_TRUE(disk::makeFolder(folder, error)) << error;
    EXPECT_EQ(modeOf(folder), 0700U);
    EXPECT_TRUE(disk::makeFolder(folder, error)) << "a folder that is there already";
    std::string file = folder + "/results";
    ASSERT_TRUE(append(file, "abc")) << error;
    EXPECT_EQ(modeOf(file), 0600U);
    EXPECT_FALSE(disk::makeFolder(file, error)) << "a file where the folder should be";
    EXPECT_NE(error.find(file), std::string::npos) << error;
}

TEST_F(Disk, AppendsGrowTheFileAndReadBackWhole) {
    std::string file = at("log");
    ASSERT_TRUE(append(file, "one ") && append(file, "two")) << error;
    EXPECT_EQ(contents(file, 100), "one two");
    EXPECT_EQ(disk::fileSize(file), 7);
    EXPECT_EQ(contents(file, 6).substr(0, 12), "unreadable: ") << "over the limit";
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
    EXPECT_EQ(contents(at("none")).substr(0, 12), "unreadable: ");
    EXPECT_EQ(disk::fileSize(at("none")), -1);
}

// Two games ending at the same moment: every record of both is whole.
TEST_F(Disk, TwoProcessesAppendingAtOnceLoseNoRecord) {
    std::string file = at("results");
    constexpr int perProcess = 400;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = inChild([&] {
            for (int i = 0; i < perProcess; ++i) {
                std::string rec;
                record::appendRecord(rec, record::RecordKind::Result,
                                     std::string(50 + i % 300, static_cast<char>('a' + c)));
                if (!append(file, rec))
                    return false;
            }
            return true;
        });
    }
    for (pid_t child : children)
        EXPECT_TRUE(heldInChild(child));
    std::string bytes = contents(file, record::maxFileBytes);
    record::ReadRecords read = record::readRecords(bytes);
    EXPECT_EQ(read.records.size(), 2U * perProcess);
    EXPECT_EQ(read.damagedBytes, 0U);
    EXPECT_FALSE(read.cutShort);
}

TEST_F(Disk, AFullDiskOrAFolderItMayNotWriteIsToldNotHidden) {
    EXPECT_FALSE(append("/dev/full", "record")) << "/dev/full takes nothing";
    EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    std::string locked = at("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
    EXPECT_FALSE(append(locked + "/results", "x"));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_FALSE(disk::makeFolder(locked + "/inner", error));
}

// A write the disk takes only part of (here by a limit on the file's size,
// as a full disk does): the part goes again, the file ends at its last
// whole record, and the failure is told as a full disk.
TEST_F(Disk, AWriteTheDiskTakesOnlyPartOfIsUndone) {
    std::string file = at("results");
    ASSERT_TRUE(append(file, "a whole one")) << error;
    EXPECT_TRUE(heldInChild(inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {};
        limit.rlim_cur = limit.rlim_max = 20;
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 && !append(file, std::string(100, 'x')) &&
               error.find("No space") != std::string::npos;
    }))) << "a short write fails as a full disk";
    EXPECT_EQ(contents(file), "a whole one");
}

TEST_F(Disk, ALinkIsNotFollowed) {
    std::string target = at("elsewhere");
    ASSERT_TRUE(append(target, "theirs")) << error;
    std::string file = at("results");
    ASSERT_EQ(symlink(target.c_str(), file.c_str()), 0);
    EXPECT_FALSE(append(file, "ours"));
    EXPECT_EQ(contents(file).substr(0, 12), "unreadable: ");
    EXPECT_EQ(contents(target), "theirs");
    EXPECT_EQ(disk::fileSize(file), -1) << "a link is no file of the game's";
}

TEST_F(Disk, SettingAsideNeverReplacesAFile) {
    std::string file = at("results");
    std::string first;
    std::string second;
    ASSERT_TRUE(append(file, "old") && disk::moveAside(file, ".damaged", first, error)) << error;
    ASSERT_TRUE(append(file, "older") && disk::moveAside(file, ".damaged", second, error)) << error;
    EXPECT_NE(first, second);
    EXPECT_EQ(contents(first), "old");
    EXPECT_EQ(contents(second), "older");
    EXPECT_EQ(disk::fileSize(file), -1) << "the name is free again";
    EXPECT_FALSE(disk::moveAside(at("none"), ".damaged", first, error));
}

TEST_F(Disk, ListsTheGamesFilesInNameOrder) {
    for (const char* name : {"match-2.rec", "match-1.rec", "results", "match-3.txt", "other.rec"})
        ASSERT_TRUE(append(at(name), "x")) << error;
    std::vector<std::string> names = disk::filesIn(scratch, "match-", ".rec");
    EXPECT_EQ(names, (std::vector<std::string>{"match-1.rec", "match-2.rec"}));
    EXPECT_TRUE(disk::filesIn(at("none"), "", "").empty());
    EXPECT_TRUE(disk::removeFile(at("match-1.rec")));
    EXPECT_FALSE(disk::removeFile(at("match-1.rec")));
}

} // namespace
