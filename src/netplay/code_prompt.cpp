// SPDX-License-Identifier: MIT
// The join code as the person types it.
#include "netplay/code_prompt.hpp"

#include "game/local.hpp"

namespace netplay {

namespace {

constexpr int tries = 3;
// Longer than any way of typing a code; a longer line is refused.
constexpr std::size_t maxLine = 64;
// The byte of the Escape key, which ends the line where the terminal lets
// it, else wherever in the line it was typed.
constexpr char escapeKey = '\x1b';

} // namespace

bool askForCode(bool forHost, net::JoinCode& code, std::string& error) {
    const char* question =
        forHost ? "Join code for this game: " : "Join code (the host shows it): ";
    for (int i = 0; i < tries; ++i) {
        std::string line;
        LineRead got = localAskLine(question, line, maxLine);
        if (got == LineRead::Line && line.find(escapeKey) != std::string::npos) {
            error.clear(); // Escape leaves, as it leaves the game: no complaint
            localSay("\n");
            return false;
        }
        if (got == LineRead::End || got == LineRead::Failed) {
            error = got == LineRead::End ? "no join code given" : "cannot read the join code";
            localSay("\n");
            return false;
        }
        if (got == LineRead::TooLong || !net::parseJoinCode(line, code))
            localSay("That is not a join code, which is 8 letters and digits like 7K3M-Q9XD.\n");
        else if (forHost && net::weakJoinCode(code))
            localSay(net::formatJoinCode(code) + " is too easy to guess; type another.\n");
        else
            return true;
    }
    error = forHost ? "three tries gave no code to use; type 8 letters and digits not as easy "
                      "to guess as 1111-1111, or leave --code out for a random one"
                    : "three tries gave no join code; the host's screen shows it, 8 letters and "
                      "digits like 7K3M-Q9XD";
    return false;
}

} // namespace netplay
