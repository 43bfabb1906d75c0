// SPDX-License-Identifier: MIT
// The command line and the controls the usage lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "game/keys.hpp"

TEST(CommandLine, OnlyHelpAndVersionAreAccepted) {
    struct Case {
        std::vector<const char*> argv;
        Command expected;
    };
    const Case cases[] = {
        {{"blockduel"}, Command::Play},
        {{"blockduel", "--help"}, Command::Help},
        {{"blockduel", "--version"}, Command::Version},
        {{"blockduel", "-h"}, Command::Invalid},
        {{"blockduel", "--help", "--version"}, Command::Invalid},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, parseCommandLine(static_cast<int>(c.argv.size()), c.argv.data()))
            << c.argv.back();
}

// Each control line of the usage names the keys the game polls for it.
TEST(CommandLine, UsageListsTheKeysTheGameReads) {
    std::FILE* f = std::tmpfile();
    printUsage(f);
    std::rewind(f);
    std::string usage;
    for (int c; (c = std::fgetc(f)) != EOF;)
        usage += static_cast<char>(c);
    std::fclose(f);
    int Controls::*keys[] = {&Controls::rotate, &Controls::left, &Controls::right, &Controls::drop};
    const char* actions[] = {"turn clockwise", "move left", "move right", "drop faster"};
    for (int i = 0; i < 4; ++i) {
        size_t at = usage.find(actions[i]);
        ASSERT_NE(std::string::npos, at) << actions[i];
        std::string line = usage.substr(at, usage.find('\n', at) - at);
        size_t one = line.find(keyName(playerOneKeys.*keys[i]));
        EXPECT_NE(std::string::npos, one) << line;
        EXPECT_NE(std::string::npos, line.find(keyName(playerTwoKeys.*keys[i]), one + 1)) << line;
    }
    EXPECT_NE(std::string::npos, usage.find("quit             Escape"));
}
