// SPDX-License-Identifier: MIT
// What the program says of itself: the help, the version, and a usage
// error with the line that points to the help.
#include "cli/help.hpp"

#include <cerrno>
#include <cstring>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/rhythm.hpp"
#include "history/replay_line.hpp"
#include "input/key_table.hpp"
#include "net/address.hpp"
#include "net/admission.hpp"
#include "net/player_name.hpp"
#include "record/keeper.hpp"
#include "server/limits.hpp"
#include "text/printable.hpp"

#ifndef BLOCKDUEL_VERSION
#define BLOCKDUEL_VERSION "unknown"
#endif

namespace {

struct ControlRow {
    const char* name;
    int Controls::*key;
};

constexpr ControlRow controlRows[] = {
    {"turn clockwise", &Controls::rotate},
    {"move left", &Controls::left},
    {"move right", &Controls::right},
    {"drop faster", &Controls::drop},
};

} // namespace

const char* keyName(int virtualKey) {
    int key = virtualKey >= positionBase ? virtualKey - positionBase : virtualKey;
    switch (key) {
    case vkUp: return "Up arrow";
    case vkLeft: return "Left arrow";
    case vkRight: return "Right arrow";
    case vkDown: return "Down arrow";
    case vkEscape: return "Escape";
    case vkReturn: return "Enter";
    default: break;
    }
    const BindableKey* entry = bindableKey(key);
    return entry != nullptr ? entry->label : "?";
}

void printUsage(std::FILE* out) {
    std::fputs("Usage: blockduel [--match | --computer | --demo] [--level N] [--keys ...]\n"
               "                 [--first-to N] [--speed-up]\n"
               "       blockduel --demo --level A,B\n"
               "       blockduel --host [[ADDRESS]:PORT] [--code CODE | --code -]\n"
               "                 [--name HOST] [--player NAME]\n"
               "       blockduel --join HOST[:PORT] [--code CODE | --code -]\n"
               "                 [--player NAME]\n"
               "       blockduel --watch HOST[:PORT] [--code CODE | --code -]\n"
               "       blockduel --join HOST[:PORT]/new [--here] [--first-to N]\n"
               "       blockduel --join HOST[:PORT]/quick\n"
               "       blockduel --join HOST[:PORT]/r/ROOM [--code CODE | --code -]\n"
               "       blockduel --watch HOST[:PORT]/r/ROOM [--code CODE | --code -]\n"
               "       blockduel --replay FILE | --replay last\n"
               "       blockduel --replay HOST[:PORT]/r/ROOM/replay/N\n"
               "       blockduel --stats [--json]\n"
               "       blockduel --serve [[ADDRESS]:PORT] [--trust ADDRESS,...]\n"
               "                 [--max-connections N] [--max-per-client N]\n"
               "                 [--max-rooms N] [--rooms-per-minute N] [--state DIR]\n"
               "\n"
               "A falling-block puzzle game for two players at one keyboard.\n"
               "Full rows clear, score 18 points each and send a penalty cell\n"
               "to the other board. The game ends when either stack reaches the top.\n"
               "\n"
               "Controls:\n",
               out);
    std::fprintf(out, "  %-16s %-14s %s\n", "", "player one", "player two");
    for (const ControlRow& a : controlRows)
        std::fprintf(out, "  %-16s %-14s %s\n", a.name, keyName(playerOneKeys.*a.key),
                     keyName(playerTwoKeys.*a.key));
    std::fprintf(out, "  %-16s %s\n", "quit", keyName(vkEscape));
    std::fprintf(out, "  %-16s %s\n", "next round", keyName(vkReturn));
    std::fprintf(out, "  %-16s %s\n", "pause", keyName(vkP));
    std::fputs("\n"
               "P pauses and resumes a match in every mode but the game without options,\n"
               "which has no pause: either player in --match and over the network.\n"
               "\n"
               "Options:\n"
               "  --match          play a match of rounds: after each round a line\n"
               "                   says who won and the tally; Enter starts the next\n"
               "                   round, Escape leaves (as do the modes below)\n"
               "  --computer       play alone against the computer, which plays the\n"
               "                   right board; use the arrows or W A S D\n"
               "  --demo           the computer plays both boards, a new round five\n"
               "                   seconds after each; Escape ends it\n",
               out);
    std::fprintf(out,
                 "  --level N        how well the computer plays, %d (a beginner) to %d;\n"
                 "                   %d unless given\n",
                 computerMinLevel, computerMaxLevel, computerDefaultLevel);
    std::fprintf(out,
                 "  --level A,B      with --demo: the left board's level, then the right's\n"
                 "  --first-to N     with --match, --computer, --demo, --host or --join\n"
                 "                   HOST:PORT/new: the match ends once a player has won\n"
                 "                   N rounds (1 to %d); without it, a match goes on\n"
                 "                   until Escape\n",
                 maxFirstTo);
    std::fprintf(out,
                 "  --speed-up       with --match, --computer, --demo or --host: gravity\n"
                 "                   quickens as each round goes on; a piece falls a row\n"
                 "                   every %d frames (about a second), %d frames sooner\n"
                 "                   every %d seconds of the round, down to every %d\n"
                 "                   frames from %d:%02d on\n",
                 gravityPeriod, speedUpStep, speedUpEvery / framesPerSecond, speedUpFloor,
                 speedUpFloorSeconds / 60, speedUpFloorSeconds % 60);
    std::fprintf(out,
                 "  --host [[ADDRESS]:PORT]\n"
                 "                   wait for player two to join from another terminal\n"
                 "                   or a browser, on TCP port %d of all addresses\n"
                 "                   unless given; shows the command that joins, with\n"
                 "                   its code, and the link a browser opens\n"
                 "                   (http://HOST:PORT/)\n"
                 "  --name HOST\n"
                 "                   with --host: a name browsers reach this host by\n"
                 "                   (in DNS, or a proxy's; only the name is checked);\n"
                 "                   a browser's request under any name but this,\n"
                 "                   localhost and this machine's addresses is refused\n",
                 net::defaultPort);
    std::fprintf(out,
                 "  --player NAME    with --host or --join: this player's name, shown\n"
                 "                   under their board on both players' screens, to\n"
                 "                   watchers and in the match's replay; up to %d\n"
                 "                   letters, digits, single spaces and punctuation of\n"
                 "                   any script, none of < > & \" ' (not with --here,\n"
                 "                   where two share the keyboard)\n"
                 "  --join HOST[:PORT]\n"
                 "                   play the right board of a game hosted there\n"
                 "  --watch HOST[:PORT]\n"
                 "                   watch a game hosted there\n"
                 "  --join HOST[:PORT]/new\n"
                 "                   open a room on a server (--serve) and play its\n"
                 "                   left board; shows the room's link and the command\n"
                 "                   that joins it\n"
                 "  --here           with --join HOST[:PORT]/new: both boards of the\n"
                 "                   room at this keyboard\n"
                 "  --join HOST[:PORT]/quick\n"
                 "                   play whoever waits next at that server\n"
                 "  --join HOST[:PORT]/r/ROOM\n"
                 "  --watch HOST[:PORT]/r/ROOM\n"
                 "                   play the free board of a server's room, or watch\n"
                 "                   it; its link, http://HOST:PORT/r/ROOM#CODE, does\n"
                 "                   as well, and brings its code\n"
                 "  --code CODE      the join code the host shows (a wrong one is asked\n"
                 "                   for again, %d codes in all); on --host, the code to\n"
                 "                   use instead of a fresh random one (not one as easy\n"
                 "                   to guess as 1111-1111 or 0123-4567)\n"
                 "  --code -         ask for the code on the terminal, which --join and\n"
                 "                   --watch do anyway without --code: other users of\n"
                 "                   the machine can read a command line, not the\n"
                 "                   terminal; BLOCKDUEL_CODE=CODE in the environment\n"
                 "                   stands for --code CODE\n"
                 "  --keys one=TURN,LEFT,RIGHT,DROP\n"
                 "  --keys two=TURN,LEFT,RIGHT,DROP\n"
                 "                   choose a player's keys with --match, --computer,\n"
                 "                   --host or --join: a-z, 0-9, up, down, left,\n"
                 "                   right and , . / ; ' [ ] - = by what they type, as in\n"
                 "                   --keys one=i,j,l,k; the same lines in the keys file\n"
                 "                   ~/.config/blockduel/keys hold unless --keys says\n"
                 "                   otherwise. Unless chosen, player two's keys are the\n"
                 "                   keys where W A S D sit on a US keyboard, wherever\n"
                 "                   the terminal says where a key sits: Z Q S D on a\n"
                 "                   French (AZERTY) keyboard\n"
                 "  --replay FILE    play a kept match back as it was played: FILE, or\n"
                 "                   last for the newest; Space pauses, Right steps a\n"
                 "                   frame while paused, + and - change the speed (%s\n"
                 "                   to %s), Enter jumps to the next round, Escape leaves\n"
                 "  --replay HOST[:PORT]/r/ROOM/replay/N\n"
                 "                   play back match N of a server's room, as its\n"
                 "                   replay link http://HOST:PORT/r/ROOM/replay/N does\n"
                 "                   in a browser (a file of such a name: ./ before it)\n"
                 "  --stats          what the kept matches add up to, per mode and level,\n"
                 "                   and the next level of the computer to try\n"
                 "  --json           with --stats: the same as JSON, for scripts\n"
                 "  --serve [[ADDRESS]:PORT]\n"
                 "                   run as a server, without a terminal, on TCP port\n"
                 "                   %d of all addresses unless given (or on the socket\n"
                 "                   systemd passes): GET /healthz and /metrics for\n"
                 "                   operators, one log line per event on standard\n"
                 "                   error; SIGTERM drains it and ends it with status 0\n"
                 "  --trust ADDRESS[,ADDRESS...]\n"
                 "                   with --serve: the balancers in front of it, by\n"
                 "                   their numeric addresses; their connections are\n"
                 "                   counted as the client they name (a PROXY header,\n"
                 "                   else X-Forwarded-For), never as the balancer\n"
                 "  --max-connections N\n"
                 "                   with --serve: connections open at once (%d unless\n"
                 "                   given, 1 to %d); one more is closed as it comes\n"
                 "  --max-per-client N\n"
                 "                   with --serve: connections open at once from one\n"
                 "                   client (%d unless given)\n"
                 "  --max-rooms N    with --serve: rooms open at once (%d unless given)\n"
                 "  --rooms-per-minute N\n"
                 "                   with --serve: rooms one client may open in a\n"
                 "                   minute (%d unless given)\n"
                 "  --state DIR      with --serve: keep each room's match in DIR, for its\n"
                 "                   replay link (the state folder below unless given)\n"
                 "\n"
                 "Every match of --match, --computer, --demo, --host, --join and --watch is\n"
                 "kept as it is played, in $XDG_STATE_HOME/blockduel (~/.local/state/blockduel\n"
                 "unless set): its recording (a guest's holds what its host sent it), and a\n"
                 "line per round in the results. The newest %d recordings are kept (%lld MB\n"
                 "at most); the results always. The game without options keeps nothing.\n"
                 "\n"
                 "  -h, --help       show this help and exit\n"
                 "  --version        show the version and exit\n",
                 net::maxPlayerNameLength, net::Admission::freeTries,
                 history::speedText(history::slowestQuarters).c_str(),
                 history::speedText(history::fastestQuarters).c_str(), net::defaultPort,
                 server::defaultMaxConnections, server::mostConnections,
                 server::defaultMaxPerClient, server::defaultMaxRooms,
                 server::defaultRoomsPerMinute, record::keptRecordings,
                 record::keptRecordingBytes / (1024LL * 1024));
}

void printVersion(std::FILE* out) { std::fprintf(out, "blockduel %s\n", BLOCKDUEL_VERSION); }

namespace {

// Output that did not reach its file is an error, also when only the final
// flush finds out (a full disk, a closed pipe).
int finishOutput(std::FILE* out, const char* what, int status) {
    if (std::fflush(out) == 0 && std::ferror(out) == 0)
        return status;
    int error = errno;
    std::fprintf(stderr, "blockduel: cannot write the %s: %s\n", what,
                 printable(std::strerror(error)).c_str());
    return 1;
}

} // namespace

int answerCommandLine(const Options& options) {
    switch (options.command) {
    case Command::Play: return -1;
    case Command::Help: printUsage(stdout); return finishOutput(stdout, "help", 0);
    case Command::Version: printVersion(stdout); return finishOutput(stdout, "version", 0);
    case Command::Invalid: break;
    }
    // Named as it was started, as GNU tools do, so that the line runs as shown.
    std::string program = printablePath(options.program);
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.c_str(),
                 options.error.c_str(), program.c_str());
    return 2;
}
