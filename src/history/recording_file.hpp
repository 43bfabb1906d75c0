// SPDX-License-Identifier: MIT
// A kept match read back for its playback: the header, the tape of all its
// rounds (or what a network guest was sent) and how many rounds ended in
// it. A recording of another format
// version, or one whose header does not read, is refused with words that
// say so; one cut short (the power went) plays up to where it ends.
#pragma once

#include <string>
#include <string_view>

#include "netplay/heard.hpp"
#include "record/results.hpp"
#include "record/tape.hpp"

namespace history {

struct Recording {
    record::MatchSetup header;
    record::TapeReader tape;
    std::vector<netplay::HeardMessage> heard; // a network guest's, in place of a tape
    int rounds = 0;                           // rounds that ended in it
    bool cutShort = false;                    // it ends inside a record, or its tape breaks off
};

// "" when `bytes` can be played back, else why not.
std::string readRecording(std::string_view bytes, Recording& recording);

// The newest recording in the state folder; "" when there is none.
std::string lastRecording(const std::string& folder);

} // namespace history
