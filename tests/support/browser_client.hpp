// SPDX-License-Identifier: MIT
// A browser's side of a connection to the host, for the tests: its request,
// and WebSocket frames written and read by hand (masked, as a browser sends
// them), independent of the library the host frames with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace term {

struct Frame {
    int opcode = 0;
    std::string payload;
};

// A client frame: FIN and `opcode`, masked unless `masked` is false.
std::string clientFrame(int opcode, const std::string& payload, bool masked = true,
                        bool fin = true);

// Takes the server's frames from the front of `bytes`; false when a frame
// there is malformed (the frames before it are kept).
bool takeFrames(std::string& bytes, std::vector<Frame>& frames);

// The head of a request for the game's WebSocket at `path` from `origin`.
std::string upgradeRequest(const std::string& host, const std::string& origin,
                           const std::string& path = "/play");

} // namespace term
