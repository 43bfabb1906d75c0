// SPDX-License-Identifier: MIT
// A guest's tries at the code and what it says about them and on leaving.
#include <gtest/gtest.h>

#include <string>

#include "net/join_code.hpp"
#include "netplay/join_messages.hpp"

namespace {

using namespace netplay;

net::JoinCode codeOf(const char* text) {
    net::JoinCode code;
    EXPECT_TRUE(net::parseJoinCode(text, code)) << text;
    return code;
}

// A person gets codeTries codes on one command: every wrong one before the
// last asks again and says how many are left; the last ends the command,
// naming the code, with what to do. A code that came with the command is
// not one the person typed: they are told so, and asked for the code.
TEST(JoinTries, WrongCodesAskAgainUntilTheLast) {
    net::JoinCode code = codeOf("7K3M-Q9XE");
    for (int tried = 1; tried < codeTries; ++tried) {
        AfterWrongCode next = afterWrongCode(code, tried, false);
        EXPECT_TRUE(next.askAgain) << tried;
        EXPECT_NE(std::string::npos, next.text.find("refused the code 7K3M-Q9XE")) << next.text;
        int left = codeTries - tried;
        EXPECT_NE(std::string::npos,
                  next.text.find(std::to_string(left) + (left == 1 ? " try left" : " tries left")))
            << next.text;
    }
    AfterWrongCode last = afterWrongCode(code, codeTries, false);
    EXPECT_FALSE(last.askAgain);
    EXPECT_NE(std::string::npos,
              last.text.find(std::to_string(codeTries) + " codes, the last 7K3M-Q9XE"))
        << last.text;
    EXPECT_NE(std::string::npos, last.text.find("run the command again")) << last.text;
    EXPECT_EQ(std::string::npos, afterWrongCode(code, 1, false).text.find("given"));
    AfterWrongCode given = afterWrongCode(code, 1, true);
    EXPECT_TRUE(given.askAgain);
    EXPECT_NE(std::string::npos, given.text.find("given with the command")) << given.text;
}

// Only a connection refused by the system gets the advice to check the
// address; a name not found keeps the lookup's own.
TEST(JoinMessages, AFailedConnectionSaysWhatToCheck) {
    std::string refused = connectFailedText("cannot connect to 127.0.0.1:9: Connection refused");
    EXPECT_TRUE(refused.starts_with("cannot connect to 127.0.0.1:9: Connection refused; check"));
    EXPECT_NE(std::string::npos, refused.find("host's screen"));
    EXPECT_EQ("cannot find nowhere: no such name",
              connectFailedText("cannot find nowhere: no such name"));
}

// After Ctrl-C a player is told the command that joins again, a watcher
// the one that watches.
TEST(JoinMessages, LeavingByInterruptNamesTheCommandThatComesBack) {
    EXPECT_EQ("Left the game at [::1]:7416; the same command joins again: blockduel --join "
              "[::1]:7416",
              leftByInterruptText("blockduel", "[::1]:7416", net::Seat::Player));
    EXPECT_EQ("Left the game at h:1; the same command watches again: /x/blockduel --watch h:1",
              leftByInterruptText("/x/blockduel", "h:1", net::Seat::Watcher));
}

} // namespace
