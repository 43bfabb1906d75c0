// SPDX-License-Identifier: MIT
// Starting a game over the network: the console checks, the socket, the
// join code, the wait for player two, and the endings of either side.
#include "netplay/play.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"
#include "game/platform.hpp"
#include "net/address.hpp"
#include "netplay/code_prompt.hpp"
#include "netplay/guest.hpp"
#include "netplay/host.hpp"
#include "netplay/join_notice.hpp"
#include "netplay/local.hpp"
#include "netplay/network.hpp"

namespace netplay {

namespace {

constexpr int connectTimeoutMs = 5000;
constexpr int answerTimeoutMs = 5000;
constexpr int lingerMs = 1000;
// How often the waits look at the flags the connections set.
constexpr int checkMs = 50;

int complain(const std::string& message) {
    localComplain(message);
    return 1;
}

// In place of the boards, until player two is there: how to join, the
// command without the code, which the guest types when it asks.
std::vector<NoticeLine> waitingNotice(const std::string& program, const std::string& address,
                                      int port, const net::JoinCode& code) {
    std::vector<std::string> command = {program, "--join " + net::formatEndpoint(address, port)};
    return joinNotice(command, code, localContinuation());
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
    if (!options.code.empty()) {
        code = options.joinCode;
        return true;
    }
    if (freshCode(code))
        return true;
    error = "no randomness for a join code from the operating system";
    return false;
}

int host(const Options& options, const net::Endpoint& where, const std::string& program) {
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
    if (!localTake()) {
        netClose(listener);
        return 1;
    }
    GameHost game(localScreen(), code, listener);
    localServe(&game);
    game.setWaitingNotice(waitingNotice(program, netAddressToJoin(where.host), port, code));
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
    setup.viewer = Viewer::PlayerOne;
    setup.countdown = true;
    setup.frameHook = game.frameHook();
    seedGenerators(setup);
    Match match;
    game.setMatch(&match, &setup);
    playMatch(setup, match);
    game.gameOver();
    localServe(nullptr);
    localFinish();
    game.finish(lingerMs);
    return 0;
}

std::string refusalText(net::Refusal reason, const net::JoinCode& code) {
    switch (reason) {
    case net::Refusal::WrongCode:
        return "the host refused the code " + net::formatJoinCode(code) +
               "; check the code the host's screen shows";
    case net::Refusal::SeatTaken:
        return "player two is already playing that game; to see it, use --watch";
    case net::Refusal::NoRoom: return "that game has as many watchers as it takes";
    case net::Refusal::OtherVersion:
        return "the host runs another version of blockduel, and the two cannot play together; "
               "both players need the same version (blockduel --version)";
    }
    return "the host refused to let this game in";
}

int join(const Options& options, const net::Endpoint& where, net::Seat seat) {
    std::string problem = localProblem();
    if (!problem.empty())
        return complain(problem);
    net::JoinCode code;
    std::string error;
    if (options.askCode && !askForCode(false, code, error))
        return complain(error);
    if (!options.askCode)
        code = options.joinCode;
    NetSocket socket = netConnect(where, connectTimeoutMs, error);
    if (socket == noSocket)
        return complain(error);
    GameGuest guest(localScreen(), socket, seat);
    GameSetup mine = gameSetupOf(options);
    guest.bindKeys(mine.keys, bothKeysLegend(mine.keys));
    std::string there = net::formatEndpoint(where.host, where.port);
    switch (guest.greet(code, answerTimeoutMs)) {
    case GameGuest::Answer::Welcomed: break;
    case GameGuest::Answer::Refused: return complain(refusalText(guest.refusal(), code));
    case GameGuest::Answer::Closed:
        return complain(there + " closed the connection without an answer; when it is busy "
                                "turning strangers away, try again");
    case GameGuest::Answer::Broken:
        return complain("the connection to " + there + " broke: " + guest.problem());
    case GameGuest::Answer::NotAHost: return complain(there + " is not a blockduel game");
    case GameGuest::Answer::NoAnswer: return complain(there + " did not answer in 5 seconds");
    }
    if (!localTake())
        return 1;
    localServe(&guest);
    guest.ready(localKeyReleases());
    localScreen().setNotices({{9, "Joined " + there + "; the game starts soon."}});
    while (guest.state() == GameGuest::State::Playing)
        sleepMs(checkMs);
    localServe(nullptr);
    guest.close();
    if (guest.state() != GameGuest::State::Ended) {
        localRestore();
        if (guest.state() == GameGuest::State::Left)
            return 0;
        return complain(guest.lostWhy());
    }
    localFinish();
    return 0;
}

} // namespace

int playOverNetwork(const Options& options) {
    std::string error;
    if (!netStart(error))
        return complain(error);
    const net::Endpoint& where = options.endpoint;
    if (options.mode == Mode::Host) {
        std::string problem = localProblem();
        if (!problem.empty())
            return complain(problem);
        return host(options, where, localCommandName(options.program.c_str()));
    }
    return join(options, where,
                options.mode == Mode::Join ? net::Seat::Player : net::Seat::Watcher);
}

} // namespace netplay
