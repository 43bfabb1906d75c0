// SPDX-License-Identifier: MIT
// Starting a game over the network: the terminal checks, the socket, the
// join code, the wait for player two, and the endings of either side.
#include "net_game.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

#include "code_prompt.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"
#include "game_guest.hpp"
#include "game_host.hpp"
#include "net/address.hpp"
#include "net/join_notice.hpp"
#include "net_socket.hpp"
#include "program_path.hpp"
#include "signals.hpp"
#include "startup.hpp"

namespace term {

namespace {

constexpr int connectTimeoutMs = 5000;
constexpr int answerTimeoutMs = 5000;
constexpr int lingerMs = 1000;
// How often the waits look at the flags the connections set.
constexpr int checkMs = 50;

void restoreAtExit() {
    if (TerminalSession* session = currentSession())
        session->restoreTerminal();
}

int complain(const std::string& message) {
    std::fprintf(stderr, "blockduel: %s\n", message.c_str());
    return 1;
}

// Takes the terminal as a game at one keyboard does. False, with the
// message shown, when it cannot.
bool takeTerminal(TerminalSession& session) {
    signals::install();
    setCurrentSession(&session);
    std::atexit(restoreAtExit);
    if (session.start())
        return true;
    session.restoreTerminal();
    std::fputs("blockduel: cannot switch the terminal to raw input\n", stderr);
    return false;
}

SessionOptions terminalOptions() {
    SessionOptions options;
    options.inFd = STDIN_FILENO;
    options.outFd = STDOUT_FILENO;
    options.render = renderOptionsFromEnvironment();
    return options;
}

// In place of the boards, until player two is there: how to join, the
// command without the code, which the guest types when it asks.
std::vector<NoticeLine> waitingNotice(const std::string& program, const std::string& address,
                                      int port, const net::JoinCode& code) {
    std::vector<std::string> command = {program, "--join " + net::formatEndpoint(address, port)};
    std::vector<NoticeLine> lines;
    for (net::JoinNoticeLine& line : net::joinNotice(command, code))
        lines.push_back({line.row, std::move(line.text)});
    return lines;
}

// A fresh random code; one of a form a guesser tries first is drawn again.
bool freshCode(net::JoinCode& code) {
    do {
        unsigned char bytes[net::joinCodeBytes];
        if (!netio::randomBytes(bytes, sizeof bytes))
            return false;
        code = net::joinCodeFromBytes(bytes);
    } while (net::weakJoinCode(code));
    return true;
}

// The code given (the command line has checked it), asked for, or fresh.
bool hostCode(const Options& options, net::JoinCode& code, std::string& error) {
    if (options.askCode)
        return askForCode(STDIN_FILENO, STDOUT_FILENO, true, code, error);
    if (!options.code.empty())
        return net::parseJoinCode(options.code, code);
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
    int listenFd = netio::listenOn(where, port, error);
    if (listenFd < 0)
        return complain(error);
    TerminalSession session(terminalOptions());
    GameHost game(session, code, listenFd);
    if (!takeTerminal(session))
        return 1;
    session.setExtension(&game);
    game.setWaitingNotice(waitingNotice(program, netio::addressToJoin(where.host), port, code));
    while (!game.playerReady()) {
        session.sleepMs(checkMs);
        if (session.keyPressed(vkEscape)) { // nobody came: leave as if never started
            session.restoreTerminal();
            return 0;
        }
    }
    game.gameStarted();
    GameSetup setup;
    setup.remote[1] = game.playerTwoKeys();
    setup.match = true;
    setup.viewer = Viewer::PlayerOne;
    setup.countdown = true;
    Match match;
    game.setMatch(&match, &setup);
    setCurrentHost(&game);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    playMatch(setup, match);
    setCurrentHost(nullptr);
    game.gameOver();
    session.finish();
    session.setExtension(nullptr);
    game.finish(lingerMs);
    setCurrentSession(nullptr);
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
    std::string problem = startProblem(STDIN_FILENO, STDOUT_FILENO, std::getenv("TERM"));
    if (!problem.empty())
        return complain(problem.substr(std::string("blockduel: ").size()));
    net::JoinCode code;
    std::string error;
    if (options.askCode && !askForCode(STDIN_FILENO, STDOUT_FILENO, false, code, error))
        return complain(error);
    if (!options.askCode)
        net::parseJoinCode(options.code, code); // the command line has checked it
    int fd = netio::connectTo(where, connectTimeoutMs, error);
    if (fd < 0)
        return complain(error);
    TerminalSession session(terminalOptions());
    GameGuest guest(session, fd, seat);
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
    if (!takeTerminal(session))
        return 1;
    session.setExtension(&guest);
    guest.ready(session.kitty());
    session.setNotices({{9, "Joined " + there + "; the game starts soon."}});
    while (guest.state() == GameGuest::State::Playing)
        session.sleepMs(checkMs);
    session.setExtension(nullptr);
    guest.close();
    if (guest.state() != GameGuest::State::Ended) {
        session.restoreTerminal();
        setCurrentSession(nullptr);
        if (guest.state() == GameGuest::State::Left)
            return 0;
        return complain(guest.lostWhy());
    }
    session.finish();
    setCurrentSession(nullptr);
    return 0;
}

} // namespace

int playOverNetwork(const Options& options) {
    net::Endpoint where;
    net::parseEndpoint(options.address, options.mode == Mode::Host, where);
    if (options.mode == Mode::Host) {
        std::string problem = startProblem(STDIN_FILENO, STDOUT_FILENO, std::getenv("TERM"));
        if (!problem.empty())
            return complain(problem.substr(std::string("blockduel: ").size()));
        return host(options, where,
                    programForCommand(options.program.c_str(), std::getenv("PATH")));
    }
    return join(options, where,
                options.mode == Mode::Join ? net::Seat::Player : net::Seat::Watcher);
}

} // namespace term
