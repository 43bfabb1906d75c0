// SPDX-License-Identifier: MIT
// --replay: a kept match played back on this machine's console, frame for
// frame the pictures the match showed, at the game's pace. Space pauses and
// resumes; Right steps a frame while paused; + and - change the speed
// (a quarter to eight times); Enter jumps to the next round; Escape
// leaves. A line over the picture says that it is a replay, of which
// match, which round, and at what speed.
#pragma once

#include <string>

#include "history/recording_file.hpp"
#include "history/replay_line.hpp"

namespace history {

// Plays `recording` back; `title` names the match. The console is taken
// and given back with the last picture.
void playRecording(Recording& recording, const std::string& title);

} // namespace history
