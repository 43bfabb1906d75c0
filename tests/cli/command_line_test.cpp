// SPDX-License-Identifier: MIT
// The command line: what each argument list means, what is refused and how
// it is shown, and the usage's controls. Addresses and join codes have
// tests of their own; here only that each option has them checked.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/game_setup.hpp"
#include "cli/help.hpp"
#include "command_args.hpp"
#include "text/printable.hpp"

namespace {

// What to do, and who plays each board at which level: the computer takes
// the right board against a person, both in a demo (one level for both, or
// the left board's and the right's), neither without options. Every match
// counts down before its rounds; the game alone starts at once.
TEST(CommandLine, AcceptedArgumentsChooseTheGame) {
    struct Case {
        std::vector<const char*> args;
        Command command;
        Mode mode;
        bool left; // the computer plays the left board
        bool right;
        int levels[2]; // left, right
        bool speedUp = false;
    };
    const Case cases[] = {
        {{}, Command::Play, Mode::Local, false, false, {3, 3}},
        {{"--help"}, Command::Help, Mode::Local, false, false, {3, 3}},
        {{"--demo", "-h"}, Command::Help, Mode::Local, false, false, {3, 3}},
        {{"--version"}, Command::Version, Mode::Local, false, false, {3, 3}},
        {{"--bogus", "--help"}, Command::Help, Mode::Local, false, false, {3, 3}},
        {{"--version", "--help"}, Command::Help, Mode::Local, false, false, {3, 3}},
        {{"--match"}, Command::Play, Mode::Match, false, false, {3, 3}},
        {{"--computer"}, Command::Play, Mode::Computer, false, true, {3, 3}},
        {{"--level=1", "--computer"}, Command::Play, Mode::Computer, false, true, {1, 1}},
        {{"--demo", "--level", "5"}, Command::Play, Mode::Demo, true, true, {5, 5}},
        {{"--demo", "--level", "1,2"}, Command::Play, Mode::Demo, true, true, {1, 2}},
        {{"--level=5,4", "--demo"}, Command::Play, Mode::Demo, true, true, {5, 4}},
        {{"--match", "--speed-up"}, Command::Play, Mode::Match, false, false, {3, 3}, true},
        {{"--speed-up", "--computer"}, Command::Play, Mode::Computer, false, true, {3, 3}, true},
        {{"--demo", "--speed-up"}, Command::Play, Mode::Demo, true, true, {3, 3}, true},
        {{"--host", "--speed-up"}, Command::Play, Mode::Host, false, false, {3, 3}, true},
    };
    for (const Case& c : cases) {
        Options o = optionsOf(c.args);
        GameSetup setup = gameSetupOf(o);
        EXPECT_EQ(std::tuple(c.command, c.mode, c.left, c.right, c.levels[0], c.levels[1],
                             c.mode != Mode::Local, c.speedUp),
                  std::tuple(o.command, o.mode, setup.computer[0], setup.computer[1],
                             setup.level[0], setup.level[1], setup.countdown, setup.speedUp))
            << testing::PrintToString(c.args) << ": " << o.error;
    }
}

TEST(CommandLine, NetworkOptionsKeepTheAddressAndTheCode) {
    struct Case {
        std::vector<const char*> args;
        Mode mode;
        net::Endpoint endpoint;
        const char* code;        // as shown, "" for none
        const char* player = ""; // --player's name
    };
    const Case cases[] = {
        {{"--host"}, Mode::Host, {"", 7416}, ""},
        {{"--host", "--code", "AB12-CD34"}, Mode::Host, {"", 7416}, "AB12-CD34"},
        {{"--host", "127.0.0.1:7416"}, Mode::Host, {"127.0.0.1", 7416}, ""},
        {{"--host=:9000", "--name", "[::1]:443"}, Mode::Host, {"", 9000}, ""},
        {{"--host", "--player", "\xc3\x85sa"}, Mode::Host, {"", 7416}, "", "\xc3\x85sa"},
        {{"--player=Li Wei", "--join", "h"}, Mode::Join, {"h", 7416}, "", "Li Wei"},
        {{"--join", "example.org", "--code", "7k3m q9xd"},
         Mode::Join,
         {"example.org", 7416},
         "7K3M-Q9XD"},
        {{"--code=7K3MQ9XD", "--watch=[::1]:1"}, Mode::Watch, {"::1", 1}, "7K3M-Q9XD"},
        {{"--join", "h"}, Mode::Join, {"h", 7416}, ""}, // asked for on the terminal
        {{"--host", "--code", "-"}, Mode::Host, {"", 7416}, ""},
        {{"--serve"}, Mode::Serve, {"", 7416}, ""},
        {{"--serve", "[::1]:0", "--trust", "10.0.0.5,::1"}, Mode::Serve, {"::1", 0}, ""},
    };
    for (const Case& c : cases) {
        Options o = optionsOf(c.args);
        EXPECT_EQ(std::tuple(Command::Play, c.mode, c.endpoint.host, c.endpoint.port,
                             std::string(c.code), c.args.back() == std::string("-"),
                             std::string(c.player)),
                  std::tuple(o.command, o.mode, o.endpoint.host, o.endpoint.port,
                             o.code ? net::formatJoinCode(*o.code) : "", o.askCode, o.player))
            << testing::PrintToString(c.args) << ": " << o.error;
    }
    // A server's rooms, as a command names them or as a page's link does.
    using Kind = net::RoomRoad::Kind;
    const struct {
        std::vector<const char*> args;
        net::Endpoint endpoint;
        Kind kind;
        const char* name;
    } rooms[] = {
        {{"--join", "example.org/new", "--here", "--first-to", "3"},
         {"example.org", 7416},
         Kind::New,
         ""},
        {{"--join", "h:80/quick/"}, {"h", 80}, Kind::Quick, ""},
        {{"--watch", "[::1]:9/r/Ab-c_9"}, {"::1", 9}, Kind::Room, "Ab-c_9"},
        {{"--join", "HTTP://h:8080/r/abcdefgh/#7K3M-Q9XD"}, {"h", 8080}, Kind::Room, "abcdefgh"},
    };
    for (const auto& c : rooms) {
        Options o = optionsOf(c.args);
        std::string what = testing::PrintToString(c.args) + ": " + o.error;
        ASSERT_EQ(Command::Play, o.command) << what;
        ASSERT_TRUE(o.room) << what;
        EXPECT_EQ(std::tuple(c.endpoint.host, c.endpoint.port, c.kind, std::string(c.name)),
                  std::tuple(o.endpoint.host, o.endpoint.port, o.room->kind, o.room->name))
            << what;
    }
    EXPECT_FALSE(optionsOf({"--join", "h"}).room);
    // A server's kept match, by its link or its command; any other text is a file.
    const struct {
        const char* replay;
        net::Endpoint endpoint;
        const char* room; // "" for a file
        int number;
    } replays[] = {
        {"h:80/r/abcd/replay/12", {"h", 80}, "abcd", 12},
        {"HTTP://[::1]:9/r/A-b_c/replay/1000000000/", {"::1", 9}, "A-b_c", 1000000000},
        {"example.org/r/abcd/replay/3", {"example.org", 7416}, "abcd", 3},
        {"./h:80/r/abcd/replay/1", {"", 0}, "", 0},
        {"h:80/r/abc/replay/1", {"", 0}, "", 0},
        {"h:80/r/abcd/replay/0", {"", 0}, "", 0},
        {"h:80/r/abcd/replay/01", {"", 0}, "", 0},
        {"h:80/r/abcd/replay/1000000001", {"", 0}, "", 0},
        {"h:80/r/abcd/replay/1.rec", {"", 0}, "", 0},
        {"match-1.rec", {"", 0}, "", 0},
    };
    for (const auto& c : replays) {
        Options o = optionsOf({"--replay", c.replay});
        ASSERT_EQ(std::tuple(Command::Play, Mode::Replay, std::string(c.replay)),
                  std::tuple(o.command, o.mode, o.replay))
            << c.replay << ": " << o.error;
        EXPECT_EQ(std::tuple(c.endpoint.host, c.endpoint.port, std::string(c.room), c.number),
                  o.replayRoad ? std::tuple(o.endpoint.host, o.endpoint.port, o.replayRoad->room,
                                            o.replayRoad->number)
                               : std::tuple(std::string(), 0, std::string(), 0))
            << c.replay;
    }
    EXPECT_EQ("/srv/b", optionsOf({"--serve", "--state", "/srv/b"}).state);
    Options bounded = optionsOf({"--serve", "--max-connections", "5000", "--max-per-client=4",
                                 "--max-rooms=20", "--rooms-per-minute", "3"});
    EXPECT_EQ(std::tuple(5000, 4, 20, 3), std::tuple(bounded.maxConnections, bounded.maxPerClient,
                                                     bounded.maxRooms, bounded.roomsPerMinute))
        << bounded.error;
}

// BLOCKDUEL_CODE stands for --code CODE where --code is not given; without
// either, a guest asks on the terminal and a host makes a random code.
TEST(CommandLine, TheCodeFromTheEnvironment) {
    struct Case {
        std::vector<const char*> args;
        const char* variable; // nullptr: not set
        const char* code;
        bool ask;
        const char* error; // "" when none
    };
    const Case cases[] = {
        {{"--join", "h"}, nullptr, "", true, ""},
        {{"--join", "h"}, "", "", true, ""},
        {{"--watch", "h"}, "7k3m-q9xd", "7K3M-Q9XD", false, ""},
        {{"--host"}, nullptr, "", false, ""},
        {{"--host"}, "7K3M-Q9XD", "7K3M-Q9XD", false, ""},
        {{"--join", "h", "--code", "AB12-CD34"}, "7K3M-Q9XD", "AB12-CD34", false, ""},
        {{"--join", "h", "--code", "-"}, "7K3M-Q9XD", "", true, ""},
        {{"--computer"}, "7K3M-Q9XD", "", false, ""},
        {{"--join", "h"}, "7K3M", "", false, "BLOCKDUEL_CODE: '7K3M' is not a join code"},
        {{"--host"}, "1111-1111", "", false, "BLOCKDUEL_CODE: 1111-1111 is too easy to guess"},
        // A new room's code and a quick match's are drawn; a room's link
        // brings its own.
        {{"--join", "h/new"}, nullptr, "", false, ""},
        {{"--join", "h/quick"}, "7K3M-Q9XD", "", false, ""},
        {{"--watch", "h/r/abcd"}, nullptr, "", true, ""},
        {{"--join", "http://h/r/abcd#7k3m-q9xd"}, "AB12-CD34", "7K3M-Q9XD", false, ""},
    };
    for (const Case& c : cases) {
        Options o = optionsOf(c.args);
        takeCodeFromEnvironment(o, c.variable);
        std::string what = testing::PrintToString(c.args) + " " + (c.variable ? c.variable : "-");
        EXPECT_EQ(*c.error == '\0' ? Command::Play : Command::Invalid, o.command) << what;
        EXPECT_NE(std::string::npos, o.error.find(c.error)) << what << ": " << o.error;
        if (*c.error == '\0') {
            EXPECT_EQ(c.code, o.code ? net::formatJoinCode(*o.code) : "") << what;
            EXPECT_EQ(c.ask, o.askCode) << what;
        }
    }
}

TEST(CommandLine, RefusedArgumentsSayWhy) {
    struct Case {
        std::vector<const char*> args;
        const char* error;
    };
    const Case cases[] = {
        {{"-x"}, "unknown option '-x'"},
        {{"play"}, "unexpected argument 'play'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--levelx"}, "unknown option '--levelx'"},
        {{"--computer", "--demo"}, "--computer and --demo cannot go together"},
        {{"--demo", "--demo"}, "--demo is given twice"},
        {{"--computer", "--host"}, "--computer and --host cannot go together"},
        {{"--computer", "--level"}, "--level needs a value"},
        {{"--computer", "--level", "0"},
         "--level takes a number from 1 to 5, or two as A,B, not '0'"},
        {{"--computer", "--level", "6"}, "from 1 to 5, or two as A,B, not '6'"},
        {{"--computer", "--level", "33"}, "not '33'"},
        {{"--computer", "--level", " 3"}, "not ' 3'"},
        {{"--computer", "--level=", "3"}, "not ''"},
        {{"--demo", "--level", "2,"}, "not '2,'"},
        {{"--demo", "--level", ",2"}, "not ',2'"},
        {{"--demo", "--level", "2,6"}, "not '2,6'"},
        {{"--demo", "--level", "2,3,4"}, "not '2,3,4'"},
        {{"--demo", "--level", "2;3"}, "not '2;3'"},
        {{"--demo", "--level", "2", "--level", "2"}, "--level is given twice"},
        {{"--level", "2"}, "--level goes with --computer or --demo"},
        {{"--match", "--first-to", "0"}, "--first-to takes a number from 1 to 99, not '0'"},
        {{"--match", "--first-to=100"}, "--first-to takes a number from 1 to 99, not '100'"},
        {{"--match", "--first-to", "+3"}, "not '+3'"},
        {{"--match", "--first-to="}, "not ''"},
        {{"--match", "--first-to"}, "--first-to needs a value"},
        {{"--demo", "--first-to", "2", "--first-to=3"}, "--first-to is given twice"},
        {{"--first-to", "3"},
         "--first-to goes with --match, --computer, --demo, --host or --join HOST:PORT/new"},
        {{"--join", "h/r/abcd", "--first-to", "3"}, "--first-to goes with"},
        {{"--join", "h", "--first-to", "3"}, "--first-to goes with"},
        {{"--speed-up"}, "--speed-up goes with --match, --computer, --demo or --host"},
        {{"--watch", "h", "--speed-up"}, "--speed-up goes with"},
        {{"--speed-up", "--join", "h"}, "--speed-up goes with"},
        {{"--replay", "last", "--speed-up"}, "--speed-up goes with"},
        {{"--stats", "--speed-up"}, "--speed-up goes with"},
        {{"--match", "--speed-up", "--speed-up"}, "--speed-up is given twice"},
        {{"--computer", "--level", "2,3"}, "--level A,B goes with --demo"},
        {{"--level", "2,3"}, "--level goes with --computer or --demo"},
        {{"--code", "00000000"}, "--code goes with --host, --join or --watch"},
        {{"--join", "h", "--name", "h"}, "--name goes with --host"},
        {{"--host", "--name", "h", "--name=i"}, "--name is given twice"},
        {{"--host", "--name", "::1"},
         "--name takes a name or an address, as NAME, NAME:PORT or "
         "[IPv6]:PORT, not '::1'"},
        {{"--host", "--name", "h:0"}, "not 'h:0'"},
        {{"--host", "--code="}, "--code needs a value"},
        // A player's name is checked as the host checks a guest's.
        {{"--watch", "h", "--player", "Ann"}, "--player goes with --host or --join"},
        {{"--match", "--player", "Ann"}, "--player goes with --host or --join"},
        {{"--join", "h/new", "--here", "--player", "Ann"}, "--player does not go with --here"},
        {{"--host", "--player", "<b>"}, "--player: the name has one of < > & \" '"},
        {{"--join", "h", "--player", "A\x1b[2J"}, "the name has a control character"},
        {{"--host", "--player", "ABCDEFGHIJKLMNOPQ"}, "the name is longer than 16 characters"},
        {{"--host", "--player="}, "--player needs a name"},
        {{"--host", "--player"}, "--player needs a value"},
        {{"--host", "--player", "A", "--player=B"}, "--player is given twice"},
        {{"--host", "--code", "0123-4567"}, "--code: 0123-4567 is too easy to guess"},
        {{"--host", "--code", "zzzz zzzz"}, "--code: ZZZZ-ZZZZ is too easy to guess"},
        {{"--watch"}, "--watch needs a value"},
        {{"--join=", "--code", "00000000"}, "--join needs the host's address"},
        // The address and the code are read as the network game reads them:
        // a port of 0 only to listen on, a code of 8 symbols.
        {{"--join", "h:0", "--code", "00000000"}, "--join: the port must be a number from 1"},
        {{"--host=:http"}, "--host: the port must be a number from 0 to 65535, not 'http'"},
        {{"--host", "--code", "1234567"}, "--code: '1234567' is not a join code"},
        {{"--join", "h", "--code", "\x1b[2J"}, "--code: '\\x1b[2J' is not a join code"},
        {{"--join", "\x1b]0;x:1", "--code", "00000000"}, "--join: '\\x1b]0;x' is not a host"},
        {{"--keys", "one=i,j,l,k"}, "--keys goes with --match, --computer, --host or --join"},
        {{"--match", "--keys", "one=i,j,l"}, "--keys one=i,j,l: four keys are needed"},
        {{"--match", "--keys"}, "--keys needs a value"},
        {{"--match", "--keys", "one=w,a,d,s"}, "--keys: W would be both players' key"},
        {{"--computer", "--keys", "two=p,a,d,s"}, "p pauses the game"},
        {{"--match", "--keys", "one=i,j,l,k", "--keys", "one=t,f,h,g"}, "chosen twice"},
        {{"--serve", ":http"}, "--serve: the port must be a number from 0 to 65535"},
        {{"--serve", "--host"}, "--serve and --host cannot go together"},
        {{"--serve", "--keys", "one=i,j,l,k"}, "--keys does not go with --serve"},
        {{"--host", "--trust", "10.0.0.5"}, "--trust goes with --serve"},
        {{"--serve", "--trust", "lb.example"}, "--trust takes the balancers' addresses"},
        {{"--serve", "--trust", "::1", "--trust", "::2"}, "--trust is given twice"},
        {{"--serve", "--max-connections", "0"}, "--max-connections takes a number from 1 to"},
        {{"--serve", "--max-per-client=1000001"}, "--max-per-client takes a number from 1 to"},
        {{"--serve", "--max-connections=9", "--max-connections=9"}, "given twice"},
        {{"--host", "--max-per-client", "4"}, "--rooms-per-minute go with --serve"},
        {{"--serve", "--max-rooms", "many"}, "--max-rooms takes a number from 1 to"},
        {{"--replay", "h:0/r/abcd/replay/1"}, "--replay: the port must be a number from 1"},
        {{"--host", "--state", "/tmp"}, "--state goes with --serve"},
        {{"--serve", "--state="}, "--state needs a folder"},
        {{"--serve", "--state", "a", "--state", "b"}, "--state is given twice"},
        // A server's rooms: what the path names, and what goes with it.
        {{"--join", "h:7416/x"}, "/x is no room of a server"},
        {{"--join", "h/r/ab"}, "\"ab\" is no room's name"},
        {{"--join", "h/r/a%2fb"}, "is no room's name"},
        {{"--join", "http://h:7416"}, "a server's room needs its path"},
        {{"--join", "https://h/r/abcd"}, "not over https"},
        {{"--join", "http://h/r/abcd#1234"}, "the link's #1234 is no join code"},
        {{"--join", "h/r/abcd#00000000", "--code", "00000000"}, "--code is given twice"},
        {{"--join", "h/quick", "--code", "00000000"}, "--code does not go with a quick match"},
        {{"--watch", "h/new"}, "--watch takes a room that is open"},
        {{"--watch", "h/quick"}, "--watch takes a room that is open"},
        {{"--join", "h/r/abcd", "--here"}, "--here goes with --join HOST:PORT/new"},
        {{"--match", "--here"}, "--here goes with --join HOST:PORT/new"},
        {{"--join", "h/new", "--here", "--here"}, "--here is given twice"},
        {{"--join", "h/new", "--code", "0123-4567"}, "--code: 0123-4567 is too easy to guess"},
    };
    for (const Case& c : cases) {
        Options o = optionsOf(c.args);
        EXPECT_EQ(Command::Invalid, o.command) << testing::PrintToString(c.args);
        EXPECT_NE(std::string::npos, o.error.find(c.error)) << o.error;
    }
}

// A bad argument is echoed in the error; nothing in it may reach the
// terminal as a control sequence, and none fills the screen.
TEST(CommandLine, ArgumentsAreShownWithoutControls) {
    struct Case {
        std::string_view argument;
        const char* shown;
        std::size_t longest = longestShownArgument;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"plain", "plain"},
        {"\x1b[?1049h", "\\x1b[?1049h"},
        {"a\tb\nc\x7f", "a\\x09b\\x0ac\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"caf\xc3\xa9 \xe2\x96\x93", "caf\xc3\xa9 \xe2\x96\x93"}, // é and ▓ are text
        {"\xc2\x9bm", "\\xc2\\x9bm"},                             // C1 CSI as UTF-8
        {"\x9bJ", "\\x9bJ"},                                      // 8-bit CSI
        {"\xc0\xaf", "\\xc0\\xaf"},                               // overlong '/'
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                      // a surrogate
        {"\xe2\x96", "\\xe2\\x96"},                               // cut short
        {"a\0b"sv, "a\\x00b"},                                    // a NUL ends nothing
        // Cut where a whole character or escape no longer fits.
        {"abcdef", "abcd...", 4},
        {"abcd", "abcd", 4},
        {"ab\x1b", "ab...", 5},
        {"ab\xc3\xa9", "ab...", 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, printable(c.argument, c.longest)) << c.shown;
    EXPECT_EQ("unexpected argument '\\x1b]0;x\\x07'", optionsOf({"\x1b]0;x\x07"}).error);
    // A path keeps its backslashes as typed, and a longer length.
    EXPECT_EQ("C:\\x\\\\x07", printablePath("C:\\x\\\x07"));
    std::string path(longestShownPath + 1, 'p');
    EXPECT_EQ(path.substr(1) + "...", printablePath(path));
    std::string address(100000, 'a');
    std::string error = optionsOf({"--join", address.c_str()}).error;
    EXPECT_LT(error.size(), 2 * longestShownArgument) << error;
    EXPECT_NE(std::string::npos, error.find("aaa...' is not a host name or address")) << error;
}

// What a file written from its start holds, and closes it.
std::string contents(std::FILE* f) {
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

// A usage error is its message and a line that points to the help, which
// would push the message out of sight; the program is named as it was
// started, so that the line runs as shown.
TEST(CommandLine, UsageErrorPointsToTheHelp) {
    struct Case {
        std::vector<const char*> argv;
        const char* program; // as shown
        const char* message;
    };
    const Case cases[] = {
        {{"blockduel", "--hots"}, "blockduel", "unknown option '--hots'"},
        {{"build/play/blockduel", "--demo", "--computer"},
         "build/play/blockduel",
         "--demo and --computer cannot go together"},
        {{"C:\\games\\blockduel.exe", "-x"}, "C:\\games\\blockduel.exe", "unknown option '-x'"},
        {{"", "play"}, "blockduel", "unexpected argument 'play'"},
        {{"\x1b[2J", "-x"}, "\\x1b[2J", "unknown option '-x'"},
    };
    for (const Case& c : cases) {
        std::FILE* f = std::tmpfile();
        ASSERT_NE(nullptr, f);
        std::FILE* saved = stderr;
        stderr = f; // NOLINT: the answer writes to stderr
        int status =
            answerCommandLine(parseCommandLine(static_cast<int>(c.argv.size()), c.argv.data()));
        stderr = saved;
        std::string program = c.program;
        EXPECT_EQ(2, status) << program;
        std::string expected = program;
        expected += ": ";
        expected += c.message;
        expected += "\nTry '" + program + " --help' for more information.\n";
        EXPECT_EQ(expected, contents(f));
    }
}

// The controls as the game reads them: arrows for player one, letters for
// player two, Escape for both.
TEST(CommandLine, UsageListsTheControls) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(nullptr, f);
    printUsage(f);
    std::string usage = contents(f);
    for (const char* line :
         {"  turn clockwise   Up arrow       W\n", "  move left        Left arrow     A\n",
          "  move right       Right arrow    D\n", "  drop faster      Down arrow     S\n",
          "  quit             Escape\n"})
        EXPECT_NE(std::string::npos, usage.find(line)) << line;
    for (const char* option : {"--match", "--computer", "--demo", "--level N", "--level A,B",
                               "--host [[ADDRESS]:PORT]", "--join HOST[:PORT]",
                               "--watch HOST[:PORT]", "--code CODE", "--player NAME", "-h, --help"})
        EXPECT_NE(std::string::npos, usage.find("\n  " + std::string(option))) << option;
}

// The output is a pipe whose reader has gone, where every system fails a
// write (/dev/full, which fails it too, is not on every system).
TEST(CommandLine, AnswersFailWhenTheirOutputCannotBeWritten) {
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    close(ends[0]);
    std::FILE* broken = fdopen(ends[1], "w");
    ASSERT_NE(nullptr, broken);
    auto previous = std::signal(SIGPIPE, SIG_IGN); // the write fails with EPIPE instead
    std::FILE* saved = stdout;
    stdout = broken; // NOLINT: the answer writes to stdout, and only a broken output fails it
    int help = answerCommandLine(optionsOf({"--help"}));
    int version = answerCommandLine(optionsOf({"--version"}));
    stdout = saved;
    std::signal(SIGPIPE, previous);
    std::fclose(broken);
    EXPECT_EQ(1, help);
    EXPECT_EQ(1, version);
    EXPECT_EQ(-1, answerCommandLine(optionsOf({"--demo"})));
}

} // namespace
