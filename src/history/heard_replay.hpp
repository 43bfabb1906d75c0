// SPDX-License-Identifier: MIT
// A network guest's recording played back: the host's pictures as the
// guest showed them, one message after another, each after the wait it
// came after, at the chosen speed, with the replay's keys and line. Enter
// plays on without waiting up to the next round's start, which the
// host's Result marks.
#pragma once

#include <string>
#include <vector>

#include "net/picture.hpp"
#include "netplay/guest_recording.hpp"

namespace history {

// The picture and the round as the messages so far make them.
class HeardPicture {
public:
    void apply(const netplay::HeardMessage& message);
    const net::Picture& picture() const { return picture_; }
    // The round shown: the first, then the one after each that ended.
    int round() const { return round_; }

private:
    net::Picture picture_;
    int round_ = 1;
};

// Plays `heard` on this machine's console (taken already); `title` names
// the match.
void playHeard(const std::vector<netplay::HeardMessage>& heard, const std::string& title);

} // namespace history
