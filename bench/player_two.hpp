// SPDX-License-Identifier: MIT
// Player two as the network figures play it: a plain socket that greets the
// host with the host's code and says that its keys come as autorepeat
// sends them.
#pragma once

#include <string>

#include "net/join_code.hpp"
#include "net/protocol.hpp"

// The host's code, given on its command line or to its GameHost.
constexpr const char* codeText = "7K3M-Q9XD";

inline net::JoinCode joinCode() {
    net::JoinCode code;
    net::parseJoinCode(codeText, code);
    return code;
}

inline std::string helloMessage() {
    std::string bytes;
    net::appendHello(bytes, net::Seat::Player, joinCode());
    return bytes;
}

inline std::string readyMessage() {
    std::string bytes;
    net::appendReady(bytes, net::KeyMode::Autorepeat);
    return bytes;
}
