// SPDX-License-Identifier: MIT
// A network guest's recording played back: the host's pictures as the
// guest showed them, one message after another, each after the wait it
// came after, at the chosen speed, with the replay's keys and line. Enter
// plays on without waiting up to the next round's start, which the
// host's Result marks.
#pragma once

#include <string>
#include <vector>

#include "history/heard_picture.hpp"
#include "netplay/heard.hpp"

namespace history {

// Plays `heard` on this machine's console (taken already); `title` names
// the match.
void playHeard(const std::vector<netplay::HeardMessage>& heard, const std::string& title);

} // namespace history
