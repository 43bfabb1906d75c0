// SPDX-License-Identifier: MIT
// The command line every back end shares. No arguments plays the game at
// one keyboard; the options choose a computer opponent, a demo, or a game
// over the network; --help and --version answer and exit. Every argument
// is checked here, before the game touches the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/key_choice.hpp"
#include "game/game.hpp"
#include "net/address.hpp"
#include "net/admission.hpp"
#include "net/join_code.hpp"
#include "net/room_road.hpp"

enum class Command { Play, Help, Version, Invalid };

// Who plays the two boards.
enum class Mode {
    Local,    // two people at one keyboard, one game as it always was
    Match,    // two people at one keyboard, rounds with a tally
    Computer, // a person (left) against the computer (right)
    Demo,     // the computer on both boards
    Host,     // this keyboard on the left, a guest on another terminal on the right
    Join,     // this keyboard on the right of a hosted game
    Watch,    // a hosted game, watched: no keys sent
    Replay,   // a kept match played back (--replay FILE)
    Stats,    // what the kept matches add up to, printed (--stats)
    Serve,    // a server of rooms, without a terminal (--serve)
};

struct Options {
    Command command = Command::Play;
    Mode mode = Mode::Local;
    // How well the computer plays the left and the right board (--level).
    int level[2] = {computerDefaultLevel, computerDefaultLevel};
    // Where --host and --serve listen ([ADDRESS]:PORT, every address and
    // port 7416 unless given), or --join and --watch find the host
    // (HOST[:PORT]), as the command line gave it and checked it.
    net::Endpoint endpoint = {};
    // --join and --watch at a server's room (HOST:PORT/new, /quick or
    // /r/ROOM, or the room's link); none for a --host game.
    std::optional<net::RoomRoad> room;
    bool here = false; // --here: both boards of a new room at this keyboard
    // The join code of --code CODE or BLOCKDUEL_CODE, checked; none when
    // neither gives one.
    std::optional<net::JoinCode> code;
    bool askCode = false; // ask for the code on the terminal (--code -, or none given to a guest)
    std::string name;     // --name HOST[:PORT]: a name browsers reach the host by (empty: none)
    // --player NAME: the name of this terminal's player, beside its board
    // on every screen, checked (empty: none)
    std::string player;
    std::string error;                 // what is wrong, when command is Invalid
    std::string program = "blockduel"; // how the program was started (argv[0]), for messages
    KeyChoice keys;     // --keys, then the keys file for a player the command line leaves
    int firstTo = 0;    // --first-to N: the match ends at N rounds won; 0: until Escape
    std::string replay; // --replay FILE: the recording, or "last" for the newest
    // --replay HOST:PORT/r/ROOM/replay/N: a server's kept match (at endpoint)
    std::optional<net::ReplayRoad> replayRoad;
    // --state DIR: where --serve keeps its rooms' matches; "" for the
    // user's state folder
    std::string state;
    bool json = false; // --stats --json: for scripts
    // --speed-up: gravity quickens as each round goes on
    bool speedUp = false;
    // --trust ADDRESS[,ADDRESS...]: the balancers in front of --serve,
    // whose connections carry others'
    std::vector<net::PeerAddress> balancers;
    // --max-connections N, --max-per-client N, --max-rooms N,
    // --rooms-per-minute N: the server's bounds; 0 for its defaults
    int maxConnections = 0;
    int maxPerClient = 0;
    int maxRooms = 0;
    int roomsPerMinute = 0;
};

// The option that chooses the mode ("--demo"); "" for Mode::Local.
const char* optionOf(Mode mode);
// True for the modes that play over the network.
bool networked(Mode mode);
// True for the modes that play matches of rounds: all but the plain game
// and what only reads the kept matches.
bool playsMatch(Mode mode);

Options parseCommandLine(int argc, const char* const* argv);

// The environment variable that gives the join code to scripts, so that it
// need not be on a command line, where every user of the machine can read it.
constexpr const char* codeVariable = "BLOCKDUEL_CODE";

// Completes the network options with the variable's `value` (nullptr when it
// is not set): the code when --code is not given; else --join and --watch
// ask for it on the terminal. A value that is no code, or a weak one for
// --host, makes the options Invalid.
void takeCodeFromEnvironment(Options& options, const char* value);
