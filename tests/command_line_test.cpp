// SPDX-License-Identifier: MIT
// The command line: what each argument list means, what is refused and how
// it is shown, and the usage's controls.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.hpp"

namespace {

Options parse(std::vector<const char*> args) {
    args.insert(args.begin(), "blockduel");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, AcceptedArgumentsChooseTheGame) {
    struct Case {
        std::vector<const char*> args;
        Command command;
        Mode mode;
        int level;
        const char* address;
        const char* code;
    };
    const Case cases[] = {
        {{}, Command::Play, Mode::Local, 3, "", ""},
        {{"--help"}, Command::Help, Mode::Local, 3, "", ""},
        {{"--version"}, Command::Version, Mode::Local, 3, "", ""},
        {{"--bogus", "--help"}, Command::Help, Mode::Local, 3, "", ""},
        {{"--version", "--help"}, Command::Help, Mode::Local, 3, "", ""},
        {{"--computer"}, Command::Play, Mode::Computer, 3, "", ""},
        {{"--demo", "--level", "5"}, Command::Play, Mode::Demo, 5, "", ""},
        {{"--level=1", "--computer"}, Command::Play, Mode::Computer, 1, "", ""},
        {{"--host"}, Command::Play, Mode::Host, 3, "", ""},
        {{"--host", "--code", "AB12-CD34"}, Command::Play, Mode::Host, 3, "", "AB12-CD34"},
        {{"--host", "127.0.0.1:7416"}, Command::Play, Mode::Host, 3, "127.0.0.1:7416", ""},
        {{"--host=:9000"}, Command::Play, Mode::Host, 3, ":9000", ""},
        {{"--join", "example.org", "--code", "7k3m q9xd"},
         Command::Play,
         Mode::Join,
         3,
         "example.org",
         "7k3m q9xd"},
        {{"--code=7K3MQ9XD", "--watch=[::1]:1"},
         Command::Play,
         Mode::Watch,
         3,
         "[::1]:1",
         "7K3MQ9XD"},
        {{"--host=127.0.0.1:0"}, Command::Play, Mode::Host, 3, "127.0.0.1:0", ""},
        {{"--join", "fe80::1", "--code", "00000000"},
         Command::Play,
         Mode::Join,
         3,
         "fe80::1",
         "00000000"},
    };
    for (const Case& c : cases) {
        Options o = parse(c.args);
        std::string line = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(c.command, o.command) << line << ": " << o.error;
        EXPECT_EQ(c.mode, o.mode) << line;
        EXPECT_EQ(c.level, o.level) << line;
        EXPECT_EQ(c.address, o.address) << line;
        EXPECT_EQ(c.code, o.code) << line;
    }
}

TEST(CommandLine, RefusedArgumentsSayWhy) {
    struct Case {
        std::vector<const char*> args;
        const char* error;
    };
    const Case cases[] = {
        {{"-h"}, "unexpected argument '-h'"},
        {{"play"}, "unexpected argument 'play'"},
        {{"--computer", "--demo"}, "--computer and --demo cannot go together"},
        {{"--demo", "--demo"}, "--demo is given twice"},
        {{"--computer", "--host"}, "--computer and --host cannot go together"},
        {{"--computer", "--level"}, "--level needs a value"},
        {{"--computer", "--level", "0"}, "--level takes a number from 1 to 5, not '0'"},
        {{"--computer", "--level", "6"}, "from 1 to 5, not '6'"},
        {{"--computer", "--level", "33"}, "from 1 to 5, not '33'"},
        {{"--computer", "--level", " 3"}, "from 1 to 5, not ' 3'"},
        {{"--computer", "--level=", "3"}, "from 1 to 5, not ''"},
        {{"--demo", "--level", "2", "--level", "2"}, "--level is given twice"},
        {{"--level", "2"}, "--level goes with --computer or --demo"},
        {{"--code", "00000000"}, "--code goes with --host, --join or --watch"},
        {{"--join", "h"}, "--join needs --code CODE"},
        {{"--watch"}, "--watch needs a value"},
        {{"--join=", "--code", "00000000"}, "--join needs the host's address"},
        {{"--join", "h:0", "--code", "00000000"},
         "--join: the port must be a number from 1 to 65535, not '0'"},
        {{"--watch", "h:99999", "--code", "00000000"}, "--watch: the port must be"},
        {{"--join", ":7416", "--code", "00000000"}, "--join: the host's address is missing"},
        {{"--join", "[::1", "--code", "00000000"}, "--join: no ']' after the IPv6 address"},
        {{"--join", "a b", "--code", "00000000"}, "--join: 'a b' is not a host name or address"},
        {{"--host", "7416"}, "--host: '7416' is not an address; for a port alone, write :7416"},
        {{"--host=:http"}, "--host: the port must be a number from 0 to 65535, not 'http'"},
        {{"--host", "--code", "1234567"}, "--code: '1234567' is not a join code"},
        {{"--join", "h", "--code", "ABCD-EFGU"}, "--code: 'ABCD-EFGU' is not a join code"},
        {{"--join", "h", "--code", "\x1b[2J"}, "--code: '\\x1b[2J' is not a join code"},
        {{"--join", "\x1b]0;x:1", "--code", "00000000"}, "--join: '\\x1b]0;x' is not a host"},
        {{"--host", "--code="}, "--code needs a value"},
        {{"--levelx"}, "unexpected argument '--levelx'"},
    };
    for (const Case& c : cases) {
        Options o = parse(c.args);
        EXPECT_EQ(Command::Invalid, o.command) << c.args[0];
        EXPECT_NE(std::string::npos, o.error.find(c.error)) << o.error;
    }
}

// Who plays each board: the computer takes the right board against a
// person, both in a demo, neither without options; the level goes with it.
TEST(CommandLine, ModesSeatTheComputer) {
    struct Case {
        std::vector<const char*> args;
        bool left;
        bool right;
        int level;
    };
    const Case cases[] = {
        {{}, false, false, 3},
        {{"--computer"}, false, true, 3},
        {{"--computer", "--level", "1"}, false, true, 1},
        {{"--demo", "--level=5"}, true, true, 5},
    };
    for (const Case& c : cases) {
        GameSetup setup = gameSetupOf(parse(c.args));
        std::string line = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(c.left, setup.computer[0]) << line;
        EXPECT_EQ(c.right, setup.computer[1]) << line;
        EXPECT_EQ(c.level, setup.level) << line;
    }
}

// A bad argument is echoed in the error; nothing in it may reach the
// terminal as a control sequence.
TEST(CommandLine, ArgumentsAreShownWithoutControls) {
    struct Case {
        const char* argument;
        const char* shown;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\x1b[?1049h", "\\x1b[?1049h"},
        {"a\tb\nc\x7f", "a\\x09b\\x0ac\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"caf\xc3\xa9 \xe2\x96\x93", "caf\xc3\xa9 \xe2\x96\x93"}, // é and ▓ are text
        {"\xc2\x9b"
         "31m",
         "\\xc2\\x9b31m"}, // C1 CSI as UTF-8
        {"\x9b"
         "2J",
         "\\x9b2J"},                         // 8-bit CSI
        {"\xc0\xaf", "\\xc0\\xaf"},          // overlong '/'
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"}, // a surrogate
        {"\xe2\x96", "\\xe2\\x96"},          // cut short
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, printable(c.argument)) << c.shown;
    EXPECT_EQ("unexpected argument '\\x1b]0;x\\x07'", parse({"\x1b]0;x\x07"}).error);
}

std::string usageText() {
    std::FILE* f = std::tmpfile();
    printUsage(f);
    std::rewind(f);
    std::string usage;
    for (int c; (c = std::fgetc(f)) != EOF;)
        usage += static_cast<char>(c);
    std::fclose(f);
    return usage;
}

// The controls as the game reads them: arrows for player one, letters for
// player two, Escape for both.
TEST(CommandLine, UsageListsTheControls) {
    std::string usage = usageText();
    for (const char* line :
         {"  turn clockwise   Up arrow       W\n", "  move left        Left arrow     A\n",
          "  move right       Right arrow    D\n", "  drop faster      Down arrow     S\n",
          "  quit             Escape\n"})
        EXPECT_NE(std::string::npos, usage.find(line)) << line;
    for (const char* option : {"--computer", "--demo", "--level N", "--host [[ADDRESS]:PORT]",
                               "--join HOST[:PORT]", "--watch HOST[:PORT]", "--code CODE"})
        EXPECT_NE(std::string::npos, usage.find("\n  " + std::string(option))) << option;
}

TEST(CommandLine, AnswersFailWhenTheirOutputCannotBeWritten) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(nullptr, full);
    std::FILE* saved = stdout;
    stdout = full; // NOLINT: the answer writes to stdout, and only a full device fails it
    int help = answerCommandLine(parse({"--help"}));
    int version = answerCommandLine(parse({"--version"}));
    stdout = saved;
    std::fclose(full);
    EXPECT_EQ(1, help);
    EXPECT_EQ(1, version);
    EXPECT_EQ(-1, answerCommandLine(parse({"--demo"})));
}

} // namespace
