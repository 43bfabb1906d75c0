// The command line and the controls the usage lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/command_line.hpp"
#include "game/keys.hpp"

namespace {

std::string usageText() {
    std::FILE* f = std::tmpfile();
    printUsage(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

} // namespace

TEST(CommandLine, OnlyHelpAndVersionAreAccepted) {
    const char* none[] = {"blockduel"};
    const char* help[] = {"blockduel", "--help"};
    const char* version[] = {"blockduel", "--version"};
    const char* other[] = {"blockduel", "-h"};
    const char* two[] = {"blockduel", "--help", "--version"};
    EXPECT_EQ(Command::Play, parseCommandLine(1, none));
    EXPECT_EQ(Command::Help, parseCommandLine(2, help));
    EXPECT_EQ(Command::Version, parseCommandLine(2, version));
    EXPECT_EQ(Command::Invalid, parseCommandLine(2, other));
    EXPECT_EQ(Command::Invalid, parseCommandLine(3, two));
}

// Each control line of the usage names the keys the game polls for it.
TEST(CommandLine, UsageListsTheKeysTheGameReads) {
    std::string usage = usageText();
    struct Line {
        const char* action;
        int one;
        int two;
    } lines[] = {
        {"turn clockwise", playerOneKeys.rotate, playerTwoKeys.rotate},
        {"move left", playerOneKeys.left, playerTwoKeys.left},
        {"move right", playerOneKeys.right, playerTwoKeys.right},
        {"drop faster", playerOneKeys.drop, playerTwoKeys.drop},
    };
    for (const Line& l : lines) {
        size_t at = usage.find(l.action);
        ASSERT_NE(std::string::npos, at) << l.action;
        std::string line = usage.substr(at, usage.find('\n', at) - at);
        size_t one = line.find(keyName(l.one));
        size_t two = line.find(keyName(l.two), one + 1);
        EXPECT_NE(std::string::npos, one) << line;
        EXPECT_NE(std::string::npos, two) << line;
    }
    EXPECT_NE(std::string::npos, usage.find("quit             Escape"));
}
