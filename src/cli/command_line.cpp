// SPDX-License-Identifier: MIT
// The command line: options, usage, version and the controls table.
#include "cli/command_line.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "game/keys.hpp"
#include "game/rhythm.hpp"
#include "input/key_table.hpp"
#include "net/address.hpp"
#include "net/forwarded_for.hpp"
#include "net/host_names.hpp"
#include "net/join_code.hpp"
#include "net/player_name.hpp"
#include "server/limits.hpp"
#include "text/printable.hpp"

namespace {

// What is wrong with `code` as `where` gives it for `mode`; "" when nothing
// is, and then `parsed` holds the code.
std::string codeProblem(std::string_view code, Mode mode, const char* where,
                        std::optional<net::JoinCode>& parsed) {
    net::JoinCode read;
    if (!net::parseJoinCode(code, read))
        return std::string(where) + ": '" + printable(code) +
               "' is not a join code, which is 8 letters and digits like 7K3M-Q9XD";
    if (mode == Mode::Host && net::weakJoinCode(read))
        return std::string(where) + ": " + net::formatJoinCode(read) +
               " is too easy to guess; leave the code out for a random one";
    parsed = read;
    return "";
}

// Reads the arguments one by one; the first problem found is kept.
class Parser {
public:
    Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    Options parse() {
        if (argc_ > 0 && argv_[0][0] != '\0')
            options_.program = argv_[0];
        for (int i = 1; i < argc_; ++i) {
            if (std::strcmp(argv_[i], "--help") == 0 || std::strcmp(argv_[i], "-h") == 0)
                return withCommand(Command::Help);
        }
        for (int i = 1; i < argc_; ++i) {
            if (std::strcmp(argv_[i], "--version") == 0)
                return withCommand(Command::Version);
        }
        for (next_ = 1; next_ < argc_ && options_.error.empty();)
            option(argv_[next_++]);
        if (options_.error.empty())
            checkCombination();
        if (!options_.error.empty())
            options_.command = Command::Invalid;
        return options_;
    }

private:
    Options withCommand(Command command) {
        options_.command = command;
        return options_;
    }

    void fail(const std::string& message) {
        if (options_.error.empty())
            options_.error = message;
    }

    // "--name=value" gives its value; "--name value" takes the next
    // argument, unless `optional` and the next one is another option.
    bool valueOf(const char* arg, const char* name, bool optional, std::string& value,
                 bool& given) {
        std::size_t length = std::strlen(name);
        if (std::strncmp(arg, name, length) != 0)
            return false;
        given = false;
        if (arg[length] == '=') {
            value = arg + length + 1;
            given = true;
        } else if (arg[length] != '\0') {
            return false;
        } else if (next_ < argc_ && !(optional && argv_[next_][0] == '-')) {
            value = argv_[next_++];
            given = true;
        }
        if (!given && !optional)
            fail(std::string(name) + " needs a value");
        return true;
    }

    void setMode(Mode mode) {
        if (options_.mode == mode)
            fail(std::string(optionOf(mode)) + " is given twice");
        else if (options_.mode != Mode::Local)
            fail(std::string(optionOf(options_.mode)) + " and " + optionOf(mode) +
                 " cannot go together");
        options_.mode = mode;
    }

    // The options that take no value; false for any other argument.
    bool flag(const char* arg) {
        static constexpr std::pair<const char*, Mode> modes[] = {{"--computer", Mode::Computer},
                                                                 {"--demo", Mode::Demo},
                                                                 {"--match", Mode::Match},
                                                                 {"--stats", Mode::Stats}};
        for (const auto& [name, mode] : modes) {
            if (std::strcmp(arg, name) == 0) {
                setMode(mode);
                return true;
            }
        }
        if (std::strcmp(arg, "--speed-up") == 0) {
            if (options_.speedUp)
                fail("--speed-up is given twice");
            options_.speedUp = true;
            return true;
        }
        if (std::strcmp(arg, "--here") == 0) {
            if (options_.here)
                fail("--here is given twice");
            options_.here = true;
            return true;
        }
        if (std::strcmp(arg, "--json") != 0)
            return false;
        options_.json = true;
        return true;
    }

    // The modes that take an address: a host's and a server's to listen on
    // (which may be left out), a guest's to reach.
    bool addressMode(const char* arg) {
        static constexpr struct {
            const char* name;
            Mode mode;
            bool optional;
        } modes[] = {{"--host", Mode::Host, true},
                     {"--serve", Mode::Serve, true},
                     {"--join", Mode::Join, false},
                     {"--watch", Mode::Watch, false}};
        std::string value;
        bool given = false;
        for (const auto& m : modes) {
            if (valueOf(arg, m.name, m.optional, value, given)) {
                setMode(m.mode);
                address_ = value;
                return true;
            }
        }
        return false;
    }

    // --max-connections, --max-per-client, --max-rooms, --rooms-per-minute;
    // false for any other option.
    bool serverBoundOption(const char* arg) {
        struct Bound {
            const char* name;
            int Options::*field;
        };
        static constexpr Bound bounds[] = {
            {"--max-connections", &Options::maxConnections},
            {"--max-per-client", &Options::maxPerClient},
            {"--max-rooms", &Options::maxRooms},
            {"--rooms-per-minute", &Options::roomsPerMinute},
        };
        std::string value;
        bool given = false;
        for (const Bound& b : bounds) {
            if (valueOf(arg, b.name, false, value, given)) {
                serverBound(b.name, value, given, options_.*b.field);
                return true;
            }
        }
        return false;
    }

    // --name, a host's for browsers, and --player, a player's; false for
    // any other option.
    bool nameOption(const char* arg) {
        std::string value;
        bool given = false;
        if (valueOf(arg, "--name", false, value, given))
            givenName(value);
        else if (valueOf(arg, "--player", false, value, given))
            playerName(value, given);
        else
            return false;
        return true;
    }

    void option(const char* arg) {
        std::string value;
        bool given = false;
        if (flag(arg))
            return;
        if (valueOf(arg, "--level", false, value, given)) {
            if (given)
                level(value);
        } else if (valueOf(arg, "--first-to", false, value, given)) {
            firstTo(value); // without a value the first failure, "needs a value", stands
        } else if (addressMode(arg) || serverBoundOption(arg) || nameOption(arg)) {
            return;
        } else if (valueOf(arg, "--replay", false, value, given)) {
            setMode(Mode::Replay);
            options_.replay = value;
        } else if (valueOf(arg, "--keys", false, value, given)) {
            std::string problem = given ? chooseKeys(value, options_.keys) : "";
            if (!problem.empty())
                fail("--keys " + problem);
        } else if (valueOf(arg, "--state", false, value, given)) {
            stateFolder(value);
        } else if (valueOf(arg, "--trust", false, value, given)) {
            trust(value, given);
        } else if (valueOf(arg, "--code", false, value, given)) {
            if (codeGiven_)
                fail("--code is given twice");
            codeGiven_ = true;
            options_.askCode = value == "-";
            code_ = options_.askCode ? "" : value;
        } else {
            bool dashed = arg[0] == '-' && arg[1] != '\0'; // a lone "-" is no option
            fail(std::string(dashed ? "unknown option" : "unexpected argument") + " '" +
                 printable(arg) + "'");
        }
    }

    // Checked with the mode, which may come after it.
    void stateFolder(const std::string& value) {
        if (stateGiven_)
            fail("--state is given twice");
        stateGiven_ = true;
        options_.state = value;
    }

    // Checked with the mode, which may come after it.
    void givenName(const std::string& value) {
        if (nameGiven_)
            fail("--name is given twice");
        nameGiven_ = true;
        options_.name = value;
    }

    // Checked as the host checks a guest's, whose door would refuse it.
    void playerName(const std::string& value, bool given) {
        if (playerGiven_)
            fail("--player is given twice");
        playerGiven_ = true;
        const char* fault = net::checkPlayerName(value);
        if (given && value.empty())
            fail("--player needs a name");
        else if (fault != nullptr)
            fail(std::string("--player: the name ") + fault + "; a name is up to " +
                 std::to_string(net::maxPlayerNameLength) +
                 " letters, digits, spaces and punctuation");
        options_.player = value;
    }

    // "N" for both boards, or "A,B" for the left and the right board.
    void level(const std::string& value) {
        if (levelGiven_)
            fail("--level is given twice");
        levelGiven_ = true;
        std::size_t comma = value.find(',');
        levelPair_ = comma != std::string::npos;
        int left = levelOf(value.substr(0, comma));
        int right = levelPair_ ? levelOf(value.substr(comma + 1)) : left;
        if (left == 0 || right == 0)
            fail("--level takes a number from " + std::to_string(computerMinLevel) + " to " +
                 std::to_string(computerMaxLevel) + ", or two as A,B, not '" + printable(value) +
                 "'");
        options_.level[0] = left;
        options_.level[1] = right;
    }

    // Rounds to win, in digits only: "+3" and " 3" are no numbers here.
    void firstTo(const std::string& value) {
        if (firstToGiven_)
            fail("--first-to is given twice");
        firstToGiven_ = true;
        bool digits = !value.empty() && value.size() <= 2 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
        int n = digits ? std::stoi(value) : 0;
        if (n < 1 || n > maxFirstTo)
            fail("--first-to takes a number from 1 to " + std::to_string(maxFirstTo) + ", not '" +
                 printable(value) + "'");
        options_.firstTo = n;
    }

    // One level, a single digit within the bounds; 0 for anything else.
    static int levelOf(const std::string& text) {
        bool digit = text.size() == 1 && text[0] >= '0' && text[0] <= '9';
        int n = digit ? text[0] - '0' : 0;
        return n >= computerMinLevel && n <= computerMaxLevel ? n : 0;
    }

    void checkCombination() {
        Mode mode = options_.mode;
        if (levelGiven_ && mode != Mode::Computer && mode != Mode::Demo)
            fail("--level goes with --computer or --demo");
        if (levelPair_ && mode != Mode::Demo)
            fail("--level A,B goes with --demo, where the computer plays both boards");
        if (codeGiven_ && !networked(mode))
            fail("--code goes with --host, --join or --watch");
        checkNames(mode);
        checkWhoPlays(mode);
        checkKeys(mode);
        if (networked(mode) && mode != Mode::Host && address_.empty())
            fail(std::string(optionOf(mode)) + " needs the host's address");
        if (codeGiven_ && code_.empty() && !options_.askCode)
            fail("--code needs a value");
        if (networked(mode))
            checkNetwork(mode);
        if (stateGiven_ && mode != Mode::Serve)
            fail("--state goes with --serve");
        if (stateGiven_ && options_.state.empty())
            fail("--state needs a folder");
        if (mode == Mode::Serve)
            checkServe();
        else if (trustGiven_)
            fail("--trust goes with --serve");
        else if (serverBoundGiven_)
            fail("--max-connections, --max-per-client, --max-rooms and --rooms-per-minute go "
                 "with --serve");
    }

    // The host's name for browsers, and a player's, which is shown to the
    // other player: only a network game has one.
    void checkNames(Mode mode) {
        net::HostAndPort named;
        if (nameGiven_ && mode != Mode::Host)
            fail("--name goes with --host");
        else if (nameGiven_ && !net::parseHostAndPort(options_.name, named))
            fail("--name takes a name or an address, as NAME, NAME:PORT or [IPv6]:PORT, not '" +
                 printable(options_.name.c_str()) + "'");
        if (playerGiven_ && mode != Mode::Host && mode != Mode::Join)
            fail("--player goes with --host or --join, where the other player sees it");
        else if (playerGiven_ && options_.here)
            fail("--player does not go with --here: two players share this keyboard");
    }

    // The room a guest's address names, and the options that go with
    // whoever plays the match: the host, and a server's new room.
    void checkWhoPlays(Mode mode) {
        if (mode == Mode::Join || mode == Mode::Watch)
            checkRoom(mode);
        else if (options_.here)
            fail("--here goes with --join HOST:PORT/new");
        // The host plays the match, and a server's new room; a guest sees
        // how it ends.
        bool opensRoom = options_.room && options_.room->kind == net::RoomRoad::Kind::New;
        bool hostsPlay = playsMatch(mode) && mode != Mode::Join && mode != Mode::Watch;
        if (firstToGiven_ && !hostsPlay && !opensRoom)
            fail("--first-to goes with --match, --computer, --demo, --host or --join "
                 "HOST:PORT/new");
        if (options_.speedUp && !hostsPlay)
            fail("--speed-up goes with --match, --computer, --demo or --host");
    }

    void serverBound(const char* name, const std::string& value, bool given, int& bound) {
        if (bound != 0)
            fail(std::string(name) + " is given twice");
        bool digits = !value.empty() && value.size() <= 6 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
        int n = digits ? std::stoi(value) : 0;
        if (given && (n < 1 || n > server::mostConnections))
            fail(std::string(name) + " takes a number from 1 to " +
                 std::to_string(server::mostConnections) + ", not '" + printable(value) + "'");
        bound = n;
        serverBoundGiven_ = true;
    }

    void trust(const std::string& value, bool given) {
        std::string why;
        if (trustGiven_)
            fail("--trust is given twice");
        trustGiven_ = true;
        if (given && !net::parseTrusted(value, options_.balancers, why))
            fail("--trust takes the balancers' addresses, as 10.0.0.5,10.0.0.6: " + why);
    }

    // The server listens where a host would, on every address unless told.
    void checkServe() {
        std::string problem = net::parseEndpoint(address_, true, options_.endpoint);
        if (!problem.empty())
            fail("--serve: " + problem);
    }

    void checkKeys(Mode mode) {
        bool keysGiven = options_.keys.chosen[0] || options_.keys.chosen[1];
        checkKept(mode, keysGiven);
        if (keysGiven && mode == Mode::Serve)
            fail("--keys does not go with --serve: the players' own keys play");
        if (keysGiven && mode == Mode::Local)
            fail("--keys goes with --match, --computer, --host or --join; the game without "
                 "options keeps its own keys");
        Controls keys[2];
        std::string twice = keysGiven ? keysInPlay(options_.keys, keys) : "";
        if (!twice.empty())
            fail("--keys: " + twice);
    }

    // --replay and --stats read what was kept, and take nothing that plays.
    void checkKept(Mode mode, bool keysGiven) {
        if (options_.json && mode != Mode::Stats)
            fail("--json goes with --stats");
        if (mode != Mode::Replay && mode != Mode::Stats)
            return;
        if (keysGiven)
            fail(std::string("--keys does not go with ") + optionOf(mode));
        if (mode == Mode::Replay && options_.replay.empty())
            fail("--replay needs a recording, or last for the newest");
        net::ReplayRoad road;
        std::string wrong;
        if (mode == Mode::Replay &&
            net::parseReplayRoad(options_.replay, options_.endpoint, road, wrong)) {
            if (!wrong.empty())
                fail("--replay: " + wrong);
            options_.replayRoad = road;
        }
    }

    // A guest's address may name a server's room: a watcher's only one
    // already open, --here only a new one, and a quick match meets
    // strangers, whatever code each brings.
    void checkRoom(Mode mode) {
        net::RoomRoad road;
        bool isRoom = false;
        std::string problem = net::parseRoomRoad(address_, options_.endpoint, road, isRoom);
        if (!problem.empty())
            fail(std::string(optionOf(mode)) + ": " + problem);
        if (isRoom)
            options_.room = road;
        using Kind = net::RoomRoad::Kind;
        if (isRoom && mode == Mode::Watch && road.kind != Kind::Room)
            fail("--watch takes a room that is open: HOST:PORT/r/ROOM");
        if (options_.here && (!isRoom || road.kind != Kind::New || mode != Mode::Join))
            fail("--here goes with --join HOST:PORT/new");
        if (isRoom && road.kind == Kind::Quick && codeGiven_)
            fail("--code does not go with a quick match: it pairs whoever comes");
        if (road.code && codeGiven_)
            fail("--code is given twice: the link has one");
        if (road.code)
            options_.code = road.code;
    }

    // The address and the code as the network game will read them, so that
    // a typing mistake is a usage error before the terminal is touched.
    void checkNetwork(Mode mode) {
        std::string problem =
            options_.room ? ""
                          : net::parseEndpoint(address_, mode == Mode::Host, options_.endpoint);
        if (!problem.empty())
            fail(std::string(optionOf(mode)) + ": " + problem);
        // A new room's code is as a host's: no weak one.
        bool opensRoom = options_.room && options_.room->kind == net::RoomRoad::Kind::New;
        std::string bad =
            codeGiven_ && !options_.askCode
                ? codeProblem(code_, opensRoom ? Mode::Host : mode, "--code", options_.code)
                : "";
        if (!bad.empty())
            fail(bad);
    }

    int argc_;
    const char* const* argv_;
    int next_ = 1;
    Options options_;
    bool levelGiven_ = false;
    bool levelPair_ = false; // --level A,B
    // As given, until checked with the mode.
    std::string address_;
    std::string code_;
    bool codeGiven_ = false;
    bool nameGiven_ = false;
    bool playerGiven_ = false;
    bool stateGiven_ = false;
    bool trustGiven_ = false;
    bool serverBoundGiven_ = false;
    bool firstToGiven_ = false;
};

} // namespace

const char* optionOf(Mode mode) {
    switch (mode) {
    case Mode::Computer: return "--computer";
    case Mode::Demo: return "--demo";
    case Mode::Match: return "--match";
    case Mode::Host: return "--host";
    case Mode::Join: return "--join";
    case Mode::Watch: return "--watch";
    case Mode::Replay: return "--replay";
    case Mode::Stats: return "--stats";
    case Mode::Serve: return "--serve";
    case Mode::Local: break;
    }
    return "";
}

bool networked(Mode mode) {
    return mode == Mode::Host || mode == Mode::Join || mode == Mode::Watch;
}

bool playsMatch(Mode mode) {
    return mode != Mode::Local && mode != Mode::Replay && mode != Mode::Stats &&
           mode != Mode::Serve;
}

Options parseCommandLine(int argc, const char* const* argv) { return Parser(argc, argv).parse(); }

void takeCodeFromEnvironment(Options& options, const char* value) {
    // A new room's code, and a quick match's, are drawn at random.
    bool drawsCode = options.room && options.room->kind != net::RoomRoad::Kind::Room;
    if (options.command != Command::Play || !networked(options.mode) || options.code ||
        options.askCode || drawsCode)
        return;
    if (value != nullptr && value[0] != '\0') {
        options.error = codeProblem(value, options.mode, codeVariable, options.code);
        if (!options.error.empty())
            options.command = Command::Invalid;
        return;
    }
    options.askCode = options.mode != Mode::Host;
}
