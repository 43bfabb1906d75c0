// SPDX-License-Identifier: MIT
// --replay FILE and --replay last, from the command line to the console:
// the recording found and read, refused with a message that says why, or
// played back.
#pragma once

#include <string>

namespace history {

// `which`: a recording's path, or "last" for the newest in `folder`; the
// exit status.
int replayCommand(const std::string& which, const std::string& folder);
// Plays the recording `bytes` (named `named` in messages, as the person
// gave it); the exit status.
int replayBytes(const std::string& bytes, const std::string& named);

} // namespace history
