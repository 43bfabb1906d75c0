// SPDX-License-Identifier: MIT
// The program's name in the host's join command: a path that runs from any
// directory, written as one word that a shell reads back as it was.
#include <climits>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/terminal/program_path.hpp"
#include "scratch_folder.hpp"

namespace {

TEST(ProgramPath, ARelativeStartIsMadeAbsolute) {
    EXPECT_EQ("/home/ann/build/blockduel", term::absolutePath("/home/ann", "build/blockduel"));
    EXPECT_EQ("/home/ann/blockduel", term::absolutePath("/home/ann/", "././blockduel"));
    EXPECT_EQ("/home/ann/../bin/blockduel", term::absolutePath("/home/ann", "../bin/blockduel"));
    EXPECT_EQ("/usr/games/blockduel", term::absolutePath("/home/ann", "/usr/games/blockduel"));

    // Started by a path, the game is named by that path from the directory
    // it was started in, not as typed there.
    char back[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(back, sizeof back));
    TempFolder dir;
    ASSERT_EQ(0, chdir(dir.path.c_str()));
    std::string named = term::programForCommand("./build/blockduel", nullptr);
    EXPECT_EQ(0, chdir(back));
    EXPECT_EQ(dir.path + "/build/blockduel", named);
    // Started by a name that no PATH finds: the name alone.
    EXPECT_EQ("blockduel", term::programForCommand("blockduel", nullptr));
}

TEST(ProgramPath, WordsAShellReadsBackAsTheyWere) {
    EXPECT_EQ("/opt/block-duel_1.0/blockduel", term::shellWord("/opt/block-duel_1.0/blockduel"));
    EXPECT_EQ("'/home/ann/my games/blockduel'", term::shellWord("/home/ann/my games/blockduel"));
    EXPECT_EQ("'/tmp/ann'\\''s/blockduel'", term::shellWord("/tmp/ann's/blockduel"));
    EXPECT_EQ("'/tmp/$HOME;rm/blockduel'", term::shellWord("/tmp/$HOME;rm/blockduel"));
    // Bytes that are no printable ASCII never reach the picture as they are.
    EXPECT_EQ("$'/tmp/\\x1b[2J/caf\\xc3\\xa9\\x27s'",
              term::shellWord("/tmp/\x1b[2J/caf\xc3\xa9's"));
    EXPECT_EQ("''", term::shellWord(""));
}

} // namespace
