// SPDX-License-Identifier: MIT
// Starting a game over the network: the console checks, the socket, the
// join code, the wait for player two, and the endings of either side.
#include "app/network_command.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "cli/game_setup.hpp"
#include "cli/key_choice.hpp"
#include "cli/match_keeping.hpp"
#include "game/game.hpp"
#include "game/keeping.hpp"
#include "game/keys.hpp"
#include "game/local.hpp"
#include "game/match.hpp"
#include "game/platform.hpp"
#include "history/replay_command.hpp"
#include "net/address.hpp"
#include "netplay/browser_answer.hpp"
#include "netplay/code_prompt.hpp"
#include "netplay/guest.hpp"
#include "netplay/guest_recording.hpp"
#include "netplay/here_guests.hpp"
#include "netplay/host.hpp"
#include "netplay/join_messages.hpp"
#include "netplay/join_notice.hpp"
#include "netplay/link.hpp"
#include "netplay/network.hpp"
#include "netplay/replay_fetch.hpp"
#include "netplay/serving.hpp"
#include "record/log_records.hpp"
#include "record/results_log.hpp"

namespace app {

using namespace netplay;

namespace {

constexpr int connectTimeoutMs = 5000;
constexpr int answerTimeoutMs = 5000;
constexpr int lingerMs = 1000;
// How often the waits look at the flags the connections set.
constexpr int checkMs = 50;

// Nothing to say is nothing wrong: the person left (Escape at the code's
// question), and the command ends as the game does on Escape.
int complain(const std::string& message) {
    if (message.empty())
        return 0;
    localComplain(message);
    return 1;
}

// In place of the boards, until player two is there: how to join, the
// command without the code, which the guest types when it asks.
std::vector<NoticeLine> waitingNotice(const std::string& address, int port,
                                      const net::JoinCode& code) {
    std::vector<std::string> command = {std::string(joinProgram),
                                        "--join " + net::formatEndpoint(address, port)};
    std::string link = browserLink(address, port, code);
    return joinNotice(command, code, localContinuation(), link);
}

// A fresh random code; one of a form a guesser tries first is drawn again.
bool freshCode(net::JoinCode& code) {
    do {
        unsigned char bytes[net::joinCodeBytes];
        if (!netRandomBytes(bytes, sizeof bytes))
            return false;
        code = net::joinCodeFromBytes(bytes);
    } while (net::weakJoinCode(code));
    return true;
}

// The code given (the command line has checked it), asked for, or fresh.
bool hostCode(const Options& options, net::JoinCode& code, std::string& error) {
    if (options.askCode)
        return askForCode(true, code, error);
    if (options.code) {
        code = *options.code;
        return true;
    }
    if (freshCode(code))
        return true;
    error = "no randomness for a join code from the operating system";
    return false;
}

// The host's match is kept as every match on this machine's core is.
int host(const Options& options, const net::Endpoint& where) {
    net::JoinCode code;
    std::string problem;
    if (!hostCode(options, code, problem))
        return complain(problem);
    std::string error;
    int port = 0;
    NetSocket listener = netListen(where, port, error);
    if (listener == noSocket && error.find("in use") != std::string::npos)
        return complain(error +
                        "; another program, or another game, has that port: choose "
                        "another with --host :PORT, for example --host :" +
                        std::to_string(where.port + 1));
    if (listener == noSocket)
        return complain(error);
    if (!localTake(ConsoleUse::Network)) {
        netClose(listener);
        return 1;
    }
    GameHost game(localScreen(), code, listener);
    std::string shown = netAddressToJoin(where.host);
    game.answerTo(hostNamesHere(shown, options.name));
    game.nameBoard(0, options.player);
    localServe(&game);
    game.setWaitingNotice(waitingNotice(shown, port, code));
    while (!game.playerReady()) {
        sleepMs(checkMs);
        if (keyPressed(vkEscape)) { // nobody came: leave as if never started
            localServe(nullptr);
            localRestore();
            localSay("Nobody joined; the game was called off.\n");
            return 0;
        }
    }
    game.gameStarted();
    GameSetup setup = gameSetupOf(options);
    setup.remote[1] = game.playerTwoKeys();
    setup.names[0] = game.name(0);
    setup.names[1] = game.name(1);
    setup.viewer = Viewer::PlayerOne;
    setup.countdown = true;
    setup.frameHook = game.frameHook();
    seedGenerators(setup);
    std::string kept;
    std::unique_ptr<record::MatchKeeper> keeper = startKeeping(setup, keptAs(Mode::Host), kept);
    SteppedMatch match(setup, platformOutside());
    game.setMatch(&match);
    driveMatch(match);
    game.gameOver();
    localServe(nullptr);
    localFinish();
    game.finish(lingerMs);
    kept = keepingWarning(*keeper, kept);
    if (!kept.empty())
        localComplain(kept);
    return 0;
}

// One connection to the host, and the look or the greeting on it.
struct Meeting {
    std::unique_ptr<GameGuest> guest;
    GameGuest::Answer answer = GameGuest::Answer::Broken;
    std::string failed; // what went wrong, for the message that ends the command
};

// A server's answer other than the switch to its room.
std::string declinedText(int status, const std::string& there) {
    switch (status) {
    case 404:
        return "there is no such room at " + there +
               ": it closed, or the link is mistyped; HOST:PORT/new opens one";
    case 429: return there + " opened enough rooms for you this minute; try again in a minute";
    case 503: return there + " is full or shutting down; try again later";
    case 403:
        return there + " refused the connection: a server reached through a balancer needs its "
                       "name as the balancer's, as in the room's link";
    default:
        return there + " answered " + std::to_string(status) +
               ", not the room's game; check the address against the room's link";
    }
}

std::string answerText(const Meeting& meeting, const std::string& there) {
    switch (meeting.answer) {
    case GameGuest::Answer::Welcomed:
    case GameGuest::Answer::Found: return "";
    case GameGuest::Answer::Refused: return refusalText(meeting.guest->refusal());
    case GameGuest::Answer::Closed:
        return there + " closed the connection without an answer; when it is busy turning "
                       "strangers away, try again";
    case GameGuest::Answer::Broken:
        return "the connection to " + there + " broke: " + meeting.guest->problem();
    case GameGuest::Answer::NotAHost:
        return there + " is not a blockduel game; check the address and port against the "
                       "host's screen";
    case GameGuest::Answer::NoAnswer:
        return there + " did not answer in 5 seconds; check the address and port against the "
                       "host's screen";
    case GameGuest::Answer::Declined: return declinedText(meeting.guest->declined(), there);
    }
    return "";
}

// Where a guest goes: a host, or a server's room at `path` (empty for a
// host).
struct Road {
    net::Endpoint where;
    std::string path;
    std::string opened; // the name of the room this guest opens, if it does
};

// Greets with `code` and the player's `name`, or without a code (nullptr)
// only looks for the game, each time on a connection of its own: the host
// closes one that has not greeted within its limit, and one it refused a
// code.
Meeting meet(const Road& road, net::Seat seat, const net::JoinCode* code,
             LocalScreen& screen = localScreen(), std::string_view name = {}) {
    const net::Endpoint& where = road.where;
    Meeting meeting;
    std::string error;
    NetSocket socket = netConnect(where, connectTimeoutMs, error);
    if (socket == noSocket) {
        meeting.failed = connectFailedText(error);
        return meeting;
    }
    meeting.guest = std::make_unique<GameGuest>(screen, socket, seat);
    if (!road.path.empty())
        meeting.guest->throughRoom(net::formatEndpoint(where.host, where.port), road.path);
    meeting.answer = code != nullptr ? meeting.guest->greet(*code, answerTimeoutMs, name)
                                     : meeting.guest->look(answerTimeoutMs);
    meeting.failed = answerText(meeting, net::formatEndpoint(where.host, where.port));
    return meeting;
}

// A game listens at `where`; its connection is closed before the person
// types, which may take longer than the host waits for a greeting.
bool found(const Road& where, net::Seat seat, std::string& failed) {
    Meeting look = meet(where, seat, nullptr);
    failed = look.failed;
    return look.answer == GameGuest::Answer::Found;
}

// The host let this guest in with the code given or typed, asked again
// after each wrong one; `failed` says why not.
std::unique_ptr<GameGuest> getIn(const Options& options, const Road& where, net::Seat seat,
                                 net::JoinCode code, std::string& failed,
                                 LocalScreen& screen = localScreen()) {
    // The game is found before the person types.
    if (options.askCode && (!found(where, seat, failed) || !askForCode(false, code, failed)))
        return nullptr;
    for (int tried = 1;; ++tried) {
        Meeting meeting = meet(where, seat, &code, screen, options.player);
        bool wrong = meeting.answer == GameGuest::Answer::Refused &&
                     meeting.guest->refusal() == net::Refusal::WrongCode;
        if (!wrong) {
            failed = meeting.failed;
            return meeting.answer == GameGuest::Answer::Welcomed ? std::move(meeting.guest)
                                                                 : nullptr;
        }
        AfterWrongCode next = afterWrongCode(code, tried, tried == 1 && !options.askCode);
        if (!next.askAgain) {
            failed = next.text;
            return nullptr;
        }
        localSay(next.text + "\n");
        std::string refused = "the host refused the code " + net::formatJoinCode(code) + "; ";
        if (!askForCode(false, code, failed)) {
            if (!failed.empty()) // not when the person left with Escape
                failed.insert(0, refused);
            return nullptr;
        }
    }
}

// The console given back as the guest's end asks; the exit status.
int guestEnded(const GameGuest& guest, const std::string& there) {
    if (guest.state() == GameGuest::State::Ended) {
        localFinish();
        // Everything above came from the host: were it to draw a prompt, this
        // line says whose it is.
        localSay("The host's last picture, above: the game at " + there + " is over.\n");
        return 0;
    }
    localRestore();
    if (guest.state() == GameGuest::State::Left) {
        localSay("You left the game at " + there + ".\n");
        return 0;
    }
    return complain(guest.lostWhy());
}

// The room a guest's command names on a server: a new one's name drawn
// here, so that a balancer routes it by its name from the first request
// on; its code too, which its first player brings.
bool roomRoad(const Options& options, Road& road, net::JoinCode& code, std::string& problem) {
    road.where = options.endpoint;
    code = options.code.value_or(net::JoinCode{});
    if (!options.room)
        return true;
    using Kind = net::RoomRoad::Kind;
    const net::RoomRoad& room = *options.room;
    if (room.kind == Kind::Room) {
        road.path = net::roomPlayPath(room.name, "");
        return true;
    }
    unsigned char bytes[net::roomNameLength];
    if ((!options.code && !freshCode(code)) || !netRandomBytes(bytes, sizeof bytes)) {
        problem = "no randomness for a room's name and code from the operating system";
        return false;
    }
    std::string query = options.here ? "here" : "friend";
    if (options.firstTo > 0)
        query += "&first-to=" + std::to_string(options.firstTo);
    if (room.kind == Kind::Quick) {
        road.path = net::roomPlayPath(std::string(net::quickRoomName), "");
        return true;
    }
    road.opened = net::roomNameFromBytes(bytes);
    road.path = net::roomPlayPath(road.opened, query);
    return true;
}

// Until player two is there, how to join the room this guest opened: its
// link for a browser, the command for a terminal, as a host shows them.
std::vector<NoticeLine> roomNotice(const Road& road, const net::JoinCode& code) {
    std::string there = net::formatEndpoint(road.where.host, road.where.port);
    std::vector<std::string> command = {std::string(joinProgram),
                                        "--join " + there + "/r/" + road.opened};
    return joinNotice(command, code, localContinuation(),
                      net::roomLink(road.where.host, road.where.port, road.opened, code));
}

// Both boards of a new room at this keyboard: `one` has opened it; the
// second player's guest and the watcher that paints come in with its code.
// Each player's keys are one set, and P pauses once.
std::unique_ptr<HereGuests> bothHere(std::unique_ptr<GameGuest> one, const Road& road,
                                     const net::JoinCode& code, const Controls keys[2],
                                     UnseenScreen& unseen, BothPlayersScreen& shown,
                                     std::string& failed) {
    Meeting two = meet(road, net::Seat::Player, &code, unseen);
    if (two.answer != GameGuest::Answer::Welcomed) {
        failed = two.failed;
        return nullptr;
    }
    Meeting watcher = meet(road, net::Seat::Watcher, &code, shown);
    if (watcher.answer != GameGuest::Answer::Welcomed) {
        failed = watcher.failed;
        return nullptr;
    }
    const Controls first[2] = {keys[0], keys[0]};
    const Controls second[2] = {keys[1], keys[1]};
    one->bindKeys(first, keysLegend(keys[0]));
    two.guest->bindKeys(second, keysLegend(keys[1]), false);
    return std::make_unique<HereGuests>(std::move(one), std::move(two.guest),
                                        std::move(watcher.guest));
}

// Where the server keeps the match its room played: its replay link for a
// browser, and the command that plays it here.
std::string keptText(const Options& options, const Road& road, int number) {
    using Kind = net::RoomRoad::Kind;
    const net::RoomRoad& room = *options.room;
    net::ReplayRoad kept{room.kind == Kind::Room    ? room.name
                         : room.kind == Kind::Quick ? std::string(net::quickRoomName)
                                                    : road.opened,
                         number};
    std::string link = net::replayLink(road.where.host, road.where.port, kept);
    std::string command =
        localCommandName(options.program.c_str()) + " --replay " + link.substr(link.find("//") + 2);
    return "The server keeps this match. A browser plays it back at\n  " + link +
           "\nand this terminal with\n  " + command + "\n";
}

// The guest, or both players here, from the greeting to the end.
struct Joined {
    std::unique_ptr<GameGuest> guest;
    std::unique_ptr<HereGuests> here;
    NetService& service() const { return here ? static_cast<NetService&>(*here) : *guest; }
    GameGuest& painter() const { return here ? here->watcher() : *guest; }
    const GameGuest& ending() const { return here ? here->ending() : *guest; }
    void ready(bool keyReleases) const {
        if (here)
            here->ready(keyReleases);
        else
            guest->ready(keyReleases);
    }
    void close() const {
        if (here)
            here->close();
        else
            guest->close();
    }
};

int join(const Options& options, net::Seat seat) {
    std::string problem = localProblem(ConsoleUse::Network);
    if (!problem.empty())
        return complain(problem);
    Road road;
    net::JoinCode code;
    if (!roomRoad(options, road, code, problem))
        return complain(problem);
    UnseenScreen unseen[2];
    BothPlayersScreen bothShown(localScreen());
    Joined joined;
    joined.guest = options.here ? getIn(options, road, seat, code, problem, unseen[0])
                                : getIn(options, road, seat, code, problem);
    if (!joined.guest)
        return complain(problem);
    GameSetup mine = gameSetupOf(options);
    if (options.here)
        joined.here =
            bothHere(std::move(joined.guest), road, code, mine.keys, unseen[1], bothShown, problem);
    else
        joined.guest->bindKeys(mine.keys, bothKeysLegend(mine.keys));
    if (options.here && !joined.here)
        return complain(problem);
    std::string there = net::formatEndpoint(options.endpoint.host, options.endpoint.port);
    std::string program = localCommandName(options.program.c_str());
    if (!localTake(ConsoleUse::Network))
        return 1;
    // Kept as every match is, from what the host sends this guest.
    net::Seat kept = options.here ? net::Seat::Watcher : seat;
    KeptAs as = keptAs(kept == net::Seat::Player ? Mode::Join : Mode::Watch);
    std::string logWarning = record::readResults(as.folder).warning;
    GuestRecorder recorder(as, kept, bothKeysLegend(mine.keys));
    joined.painter().keepIn(&recorder);
    localFarewell(leftByInterruptText(program, there, seat) + "\n");
    localServe(&joined.service());
    joined.ready(localKeyReleases());
    if (road.opened.empty() || options.here)
        localScreen().setNotices({{9, "Joined " + there + "; the game starts soon."}});
    else
        localScreen().setNotices(roomNotice(road, code));
    while (joined.ending().state() == GameGuest::State::Playing)
        sleepMs(checkMs);
    localFarewell("");
    localServe(nullptr);
    joined.close();
    recorder.finish();
    int status = guestEnded(joined.ending(), there);
    if (int number = joined.painter().kept(); number > 0 && options.room)
        localSay(keptText(options, road, number));
    std::string warning = recorder.warning(logWarning);
    if (!warning.empty())
        localComplain(warning);
    return status;
}

} // namespace

KeptAs keptAs(Mode mode) {
    long long now = std::time(nullptr);
    return {playModeOf(mode), boardOfYou(mode), localStateFolder(), now,
            localProcessId(), programVersion(), timeStamp(now)};
}

int replayFromServer(const Options& options) {
    std::string error;
    if (!netStart(error))
        return complain(error);
    std::string bytes;
    std::string problem =
        fetchRecording(options.endpoint, *options.replayRoad, record::maxFileBytes, bytes);
    std::string link =
        net::replayLink(options.endpoint.host, options.endpoint.port, *options.replayRoad);
    if (!problem.empty())
        return complain("cannot fetch " + link + ": " + problem);
    return history::replayBytes(bytes, link);
}

int playOverNetwork(const Options& options) {
    std::string error;
    if (!netStart(error))
        return complain(error);
    const net::Endpoint& where = options.endpoint;
    if (options.mode == Mode::Host) {
        std::string problem = localProblem(ConsoleUse::Network);
        if (!problem.empty())
            return complain(problem);
        return host(options, where);
    }
    return join(options, options.mode == Mode::Join ? net::Seat::Player : net::Seat::Watcher);
}

} // namespace app
