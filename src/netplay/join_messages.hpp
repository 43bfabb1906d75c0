// SPDX-License-Identifier: MIT
// What a guest says while it finds the host and gets in, and when it
// leaves: each case says what happened and what to do. A person who
// mistypes the code is asked again, up to codeTries codes on one command.
#pragma once

#include <string>

#include "net/admission.hpp"
#include "net/join_code.hpp"
#include "net/protocol.hpp"

namespace netplay {

// Codes tried on one command: no more than the host answers at once from
// one address, so that a person's mistakes never wait on its throttle.
constexpr int codeTries = net::Admission::freeTries;

// What follows the host's refusal of `code` as wrong, the `tried`th code
// of the command (from 1); `given`: it came with the command rather than
// typed. Ask again, with `text` said first, or end with `text`.
struct AfterWrongCode {
    bool askAgain;
    std::string text;
};
AfterWrongCode afterWrongCode(const net::JoinCode& code, int tried, bool given);

// Why the host let nobody in for any other reason than the code.
std::string refusalText(net::Refusal reason);

// The connection failed: the system's `error`, and what to check.
std::string connectFailedText(const std::string& error);

// Shown once the terminal is given back after Ctrl-C (or a signal) ended
// a guest's game: where it was (`there`, HOST:PORT) and the command, as
// `program` names it, that comes back.
std::string leftByInterruptText(const std::string& program, const std::string& there,
                                net::Seat seat);

} // namespace netplay
