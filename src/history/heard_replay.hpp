// SPDX-License-Identifier: MIT
// A network guest's recording played back: the host's pictures as the
// guest showed them, one message after another, each after the wait it
// came after, at the chosen speed, with the replay's keys and line. Enter
// plays on without waiting up to the next round's start, which the
// host's Result marks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "history/heard_picture.hpp"
#include "record/heard.hpp"

namespace history {

// Plays the stretches `heard` (as readRecording checked them) on this
// machine's console (taken already), a message read at a time; `title`
// names the match.
void playHeard(const std::vector<std::string_view>& heard, const std::string& title);

} // namespace history
