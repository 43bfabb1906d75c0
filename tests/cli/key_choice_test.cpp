// SPDX-License-Identifier: MIT
// Choosing keys: the table's names and places, --keys and the keys file
// with every kind of bad line, the command line over the file, and the
// keys each mode plays with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/game_setup.hpp"
#include "cli/key_choice.hpp"
#include "cli/keys_file.hpp"
#include "command_args.hpp"
#include "input/key_table.hpp"

namespace {

bool same(const Controls& a, const Controls& b) {
    return a.rotate == b.rotate && a.left == b.left && a.right == b.right && a.drop == b.drop;
}

// Every key has one name, found in either case, and one place: the scan
// code of a US keyboard leads back to the key.
TEST(KeyTable, NamesAndPlacesLeadBackToTheirKeys) {
    for (const BindableKey& entry : bindableKeys()) {
        EXPECT_EQ(&entry, bindableKeyNamed(entry.name)) << entry.name;
        EXPECT_EQ(&entry, bindableKey(entry.key)) << entry.name;
        int scan = scanCodeOf(entry.key);
        EXPECT_NE(0, scan) << entry.name;
        EXPECT_EQ(entry.key, keyAtScanCode(scan)) << entry.name;
        if (entry.character != 0) {
            EXPECT_EQ(entry.key, keyTyping(entry.character)) << entry.name;
        }
    }
    EXPECT_EQ(49U, bindableKeys().size());
    EXPECT_EQ(bindableKeyNamed("q"), bindableKeyNamed("Q"));
    EXPECT_EQ(bindableKeyNamed("up"), bindableKeyNamed("UP"));
    for (auto [key, scan] : {std::pair(vkW, 0x11), {vkA, 0x1E}, {vkS, 0x1F}, {vkD, 0x20}})
        EXPECT_EQ(key, keyAtScanCode(scan)) << scan;
    for (const char* none :
         {"", "esc", "escape", "enter", "space", "f1", "`", "\\", "+", "é", "ww"})
        EXPECT_EQ(nullptr, bindableKeyNamed(none)) << none;
    for (int scan : {0, 1, 0x0E, 0x0F, 0x1C, 0x39, 0x3B, 0xFF, -1})
        EXPECT_EQ(0, keyAtScanCode(scan)) << scan;
}

// Good choices, spaces and the comma key among them.
TEST(KeyChoice, ChoicesNameFourKeysInOrder) {
    struct Case {
        const char* text;
        int player;
        const char* keys; // turn left right drop, as labels
    };
    const Case cases[] = {
        {"one=i,j,l,k", 0, "I J L K"}, {"two = up, left, right, down", 1, "Up Left Right Down"},
        {"one=I,J,L,K", 0, "I J L K"}, {"two=,,.,/,;", 1, ", . / ;"},
        {"one=[,',],=", 0, "[ ' ] ="}, {"two=8,4,6,-", 1, "8 4 6 -"},
        {"one=i,j,l,,", 0, "I J L ,"},
    };
    for (const Case& c : cases) {
        KeyChoice choice;
        EXPECT_EQ("", chooseKeys(c.text, choice)) << c.text;
        EXPECT_TRUE(choice.chosen[c.player]) << c.text;
        EXPECT_FALSE(choice.chosen[1 - c.player]) << c.text;
        EXPECT_EQ(c.keys, keysLabel(choice.keys[c.player])) << c.text;
    }
}

// Every kind of bad choice is refused with its reason, and changes nothing.
TEST(KeyChoice, BadChoicesAreRefusedWithTheirReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"three=i,j,l,k", "is not one=TURN,LEFT,RIGHT,DROP or two=TURN,LEFT,RIGHT,DROP"},
        {"i,j,l,k", "is not one=TURN,LEFT,RIGHT,DROP"},
        {"one", "is not one=TURN,LEFT,RIGHT,DROP"},
        {"one=i,j,l", "four keys are needed (turn, left, right, drop), not 3"},
        {"one=i,j,l,k,m", "four keys are needed (turn, left, right, drop), not 5"},
        {"one=", "four keys are needed (turn, left, right, drop), not 1"},
        {"one=i,j,,l", "one=i,j,,l: four keys are needed"}, // the comma key: i j , l is four
        {"one=i,j,l, ", "a key is missing"},
        {"one=i,j,l,foo", "'foo' is no key; keys are a-z, 0-9, up, down, left, right"},
        {"one=i,j,l,\x1b[2J", "'\\x1b[2J' is no key"},
        {"one=i,j,l,escape", "Escape leaves the game and cannot be chosen"},
        {"two=enter,a,d,s", "Enter starts the next round and cannot be chosen"},
        {"two=p,a,d,s", "p pauses the game and cannot be chosen"},
    };
    for (const auto& [text, reason] : cases) {
        KeyChoice choice;
        std::string problem = chooseKeys(text, choice);
        EXPECT_NE(std::string::npos, problem.find(reason)) << text << ": " << problem;
        EXPECT_FALSE(choice.chosen[0] || choice.chosen[1]) << text;
    }
    KeyChoice twice;
    ASSERT_EQ("", chooseKeys("one=i,j,l,k", twice));
    EXPECT_NE(std::string::npos, chooseKeys("one=t,f,h,g", twice).find("chosen twice"));
    EXPECT_EQ("I J L K", keysLabel(twice.keys[0]));
}

// The keys in play: the arrows and the places of W A S D unless chosen;
// no key serves two moves or both players.
TEST(KeyChoice, KeysInPlayAreTheChosenOrTheModesOwnAndNeverTwice) {
    Controls keys[2];
    KeyChoice none;
    EXPECT_EQ("", keysInPlay(none, keys));
    EXPECT_TRUE(same(playerOneKeys, keys[0]));
    EXPECT_TRUE(same(playerTwoPositions, keys[1]));
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"one=i,j,l,k"}, ""},
        {{"one=i,j,l,k", "two=up,left,right,down"}, ""},
        {{"one=w,a,d,s", "two=i,j,l,k"}, ""},
        {{"one=i,j,i,k"}, "player one's I is chosen for both turn and right"},
        {{"one=w,j,l,k"}, "W would be both players' key (player one's turn, player two's turn)"},
        {{"one=i,j,l,s"}, "S would be both players' key (player one's drop, player two's drop)"},
        {{"two=up,a,d,s"}, "Up would be both players' key"},
        {{"one=i,j,l,k", "two=t,f,h,j"},
         "J would be both players' key (player one's left, "
         "player two's drop)"},
    };
    for (const auto& [texts, problem] : cases) {
        KeyChoice choice;
        for (const char* text : texts)
            ASSERT_EQ("", chooseKeys(text, choice)) << text;
        std::string found = keysInPlay(choice, keys);
        EXPECT_EQ(*problem == '\0', found.empty()) << texts[0] << ": " << found;
        EXPECT_NE(std::string::npos, found.find(problem)) << texts[0] << ": " << found;
    }
}

// The file: choices a line, comments, blank lines, either line ending; the
// first bad line is named and nothing of the file is kept.
TEST(KeyChoice, TheKeysFileIsReadWholeOrNotAtAll) {
    KeyChoice choice;
    EXPECT_EQ("", readKeysFile("# my keys\n\none = i,j,l,k\r\n  # two stays\n", choice));
    EXPECT_TRUE(choice.chosen[0]);
    EXPECT_FALSE(choice.chosen[1]);
    EXPECT_EQ("I J L K", keysLabel(choice.keys[0]));
    EXPECT_EQ("", readKeysFile("two=t,f,h,g", choice)); // no line end at the end
    EXPECT_TRUE(choice.chosen[1] && !choice.chosen[0]);
    const std::pair<const char*, const char*> bad[] = {
        {"one=i,j,l,k\n\nbogus\n", "line 3: 'bogus' is not one="},
        {"one=i,j,l,k\none=t,f,h,g\n", "line 2: one=t,f,h,g: player one's keys are chosen twice"},
        {"# fine\ntwo=a,b\n", "line 2: two=a,b: four keys are needed"},
        {"one=i,j,l,q\x80\n", "line 1: one=i,j,l,q\\x80: 'q\\x80' is no key"},
    };
    for (const auto& [text, problem] : bad) {
        KeyChoice kept;
        ASSERT_EQ("", chooseKeys("two=up,left,right,down", kept));
        EXPECT_EQ(problem, readKeysFile(text, kept).substr(0, std::string(problem).size())) << text;
        EXPECT_TRUE(kept.chosen[1] && !kept.chosen[0]) << text;
        EXPECT_EQ("Up Left Right Down", keysLabel(kept.keys[1])) << text;
    }
}

TEST(KeyChoice, TheFileLivesInTheUsersConfigFolder) {
    EXPECT_EQ("/c/blockduel/keys", keysFilePath("/c", "/home/u"));
    EXPECT_EQ("/home/u/.config/blockduel/keys", keysFilePath(nullptr, "/home/u"));
    EXPECT_EQ("/home/u/.config/blockduel/keys", keysFilePath("", "/home/u"));
    EXPECT_EQ("/home/u/.config/blockduel/keys", keysFilePath("relative", "/home/u"));
    EXPECT_EQ("", keysFilePath(nullptr, nullptr));
    EXPECT_EQ("", keysFilePath(nullptr, "relative"));
    EXPECT_EQ("C:\\Users\\u\\AppData\\Roaming\\blockduel\\keys",
              windowsKeysFilePath("C:\\Users\\u\\AppData\\Roaming"));
    EXPECT_EQ("", windowsKeysFilePath(nullptr));
}

// --keys on the command line, over the file (refused where it means
// nothing or is bad, with the command line's other refusals); the game
// without options keeps its own keys whatever the file says.
TEST(CommandLine, KeysChosenOnTheCommandLineAndInTheFile) {
    Options o = optionsOf({"--match", "--keys", "one=i,j,l,k", "--keys=two=t,f,h,g"});
    ASSERT_EQ(Command::Play, o.command) << o.error;
    GameSetup setup = gameSetupOf(o);
    EXPECT_EQ("I J L K", keysLabel(setup.keys[0]));
    EXPECT_EQ("T F H G", keysLabel(setup.keys[1]));

    Options local = optionsOf({});
    std::string warning;
    takeKeysFile(local, "one=i,j,l,k\n", warning);
    EXPECT_TRUE(same(playerOneKeys, gameSetupOf(local).keys[0]));
    EXPECT_TRUE(same(playerTwoKeys, gameSetupOf(local).keys[1]));
    EXPECT_EQ("", warning);

    Options match = optionsOf({"--match", "--keys", "two=t,f,h,g"});
    takeKeysFile(match, "one=i,j,l,k\ntwo=up,left,right,down\n", warning);
    EXPECT_EQ("", warning);
    EXPECT_EQ("I J L K", keysLabel(gameSetupOf(match).keys[0]));
    EXPECT_EQ("T F H G", keysLabel(gameSetupOf(match).keys[1])) << "the command line wins";

    Options clash = optionsOf({"--match", "--keys", "one=i,j,l,k"});
    takeKeysFile(clash, "two=t,f,h,j\n", warning);
    EXPECT_NE(std::string::npos, warning.find("J would be both players' key")) << warning;
    EXPECT_NE(std::string::npos, warning.find("the keys file is left out")) << warning;
    EXPECT_TRUE(same(playerTwoPositions, gameSetupOf(clash).keys[1]));

    Options broken = optionsOf({"--computer"});
    takeKeysFile(broken, "one=i,j,l,k\nnonsense\n", warning);
    EXPECT_EQ(0U, warning.find("line 2: 'nonsense'")) << warning;
    EXPECT_TRUE(same(playerOneKeys, gameSetupOf(broken).keys[0])) << "the defaults kept";
}

} // namespace
