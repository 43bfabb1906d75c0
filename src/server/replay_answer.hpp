// SPDX-License-Identifier: MIT
// A room's kept matches, under its path: /r/ROOM/replay/N is the page that
// plays match N back, and /r/ROOM/replay/N.rec the recording it plays (the
// same file `blockduel --replay HOST:PORT/r/ROOM/replay/N` fetches), read
// from the server's state folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace server {

// What follows a room's name in a path ("/replay/3", "/replay/3/" or
// "/replay/3.rec"): the match's number and whether the recording is asked
// for; number 0 for any other path.
struct ReplayPath {
    int number = 0;
    bool recording = false;
};
ReplayPath replayPathOf(std::string_view rest);

// The answer for the recording of match `number` of `room` in the state
// folder `folder`: 200 with its bytes, or 404 when it keeps no such match
// (or no file at all: `folder` ""). `bytes` is how much of the answer is
// the recording, for the bound on what the server holds to send.
std::string replayRecordingResponse(const std::string& folder, std::string_view room, int number,
                                    std::size_t& bytes);

} // namespace server
