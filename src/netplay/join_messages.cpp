// SPDX-License-Identifier: MIT
// A guest's messages about finding the host, getting in and leaving.
#include "netplay/join_messages.hpp"

namespace netplay {

namespace {

std::string triesLeft(int left) {
    return left == 1 ? "1 try left" : std::to_string(left) + " tries left";
}

} // namespace

AfterWrongCode afterWrongCode(const net::JoinCode& code, int tried, bool given) {
    std::string shown = net::formatJoinCode(code);
    if (tried >= codeTries)
        return {false, "the host refused " + std::to_string(tried) + " codes, the last " + shown +
                           "; check the code on the host's screen and run the command again"};
    std::string left = triesLeft(codeTries - tried);
    if (given)
        return {true, "The host refused the code " + shown +
                          " given with the command; type the code its screen shows (" + left +
                          ")."};
    return {true, "The host refused the code " + shown +
                      "; check the code its screen shows and type it again (" + left + ")."};
}

std::string refusalText(net::Refusal reason) {
    switch (reason) {
    case net::Refusal::WrongCode: return "the host refused the code";
    case net::Refusal::SeatTaken:
        return "player two is already playing that game; to see it, use --watch";
    case net::Refusal::NoRoom:
        return "that game has as many watchers as it takes; try again when one has left";
    case net::Refusal::OtherVersion:
        return "the host runs another version of blockduel, and the two cannot play together; "
               "both players need the same version (blockduel --version)";
    case net::Refusal::BadName:
        return "the host refused the name given with --name: a name is at most " +
               std::to_string(net::maxPlayerNameLength) +
               " letters, digits, spaces and punctuation, without < > & \" '";
    }
    return "the host refused to let this game in";
}

// A name not found has its own advice from the lookup.
std::string connectFailedText(const std::string& error) {
    if (!error.starts_with("cannot connect"))
        return error;
    return error + "; check the address and port against the host's screen, and that its "
                   "game still waits for players";
}

std::string leftByInterruptText(const std::string& program, const std::string& there,
                                net::Seat seat) {
    bool player = seat == net::Seat::Player;
    return "Left the game at " + there + "; the same command " + (player ? "joins" : "watches") +
           " again: " + program + (player ? " --join " : " --watch ") + there;
}

} // namespace netplay
