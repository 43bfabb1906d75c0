// SPDX-License-Identifier: MIT
// The WebSocket frames around the game's byte stream, the server's side,
// done by wslay (which frames and parses and nothing more): bytes that came
// in are unwrapped into the game's bytes, the game's messages wrapped into
// binary frames. It never touches a socket: both ways go through memory, so
// nothing here waits and the link keeps its own queue and bounds.
#pragma once

#include <cstddef>
#include <string>

#include "net/protocol.hpp"

struct wslay_event_context;

namespace net {

class WebSocketFraming {
public:
    // No message a browser sends, whole or in fragments, is longer.
    static constexpr std::size_t maxIncoming = std::size_t{2} * maxMessage;

    WebSocketFraming();
    ~WebSocketFraming();
    WebSocketFraming(const WebSocketFraming&) = delete;
    WebSocketFraming& operator=(const WebSocketFraming&) = delete;

    // Unwraps `bytes`: the payloads of binary messages go to `payload`, and
    // wslay's answers (a pong, the closing frame) to `out`. False once the
    // connection is to end: a text message, a malformed or unmasked frame,
    // one too long, or the browser's close; problem() says which.
    bool unwrap(const unsigned char* bytes, std::size_t count, std::string& payload,
                std::string& out);
    // `message` as one binary frame, appended to `out`.
    void wrap(const std::string& message, std::string& out);

    const std::string& problem() const { return problem_; }

private:
    struct Io;
    bool fail(const char* what);
    void flush(std::string& out);

    wslay_event_context* context_ = nullptr;
    // Where the callbacks read and write for the call in progress.
    const unsigned char* in_ = nullptr;
    std::size_t inLeft_ = 0;
    std::string* payload_ = nullptr;
    std::string* out_ = nullptr;
    std::string problem_;
};

} // namespace net
