// SPDX-License-Identifier: MIT
// The WebSocket frames around the game's byte stream, the server's side,
// done by wslay (which frames and parses and nothing more), where the system
// packages it. It never touches a socket: both ways go through memory.
#pragma once

#include <cstddef>
#include <string>

#include "net/web_socket_verdict.hpp"

struct wslay_event_context;

namespace net {

class WslayWebSocketFraming : public WebSocketVerdict {
public:
    WslayWebSocketFraming();
    ~WslayWebSocketFraming();
    WslayWebSocketFraming(const WslayWebSocketFraming&) = delete;
    WslayWebSocketFraming& operator=(const WslayWebSocketFraming&) = delete;

    // As WebSocketFraming says (net/web_socket_framing.hpp).
    bool unwrap(const unsigned char* bytes, std::size_t count, std::string& payload,
                std::string& out);
    void wrap(const std::string& message, std::string& out);

private:
    struct Io;
    void flush(std::string& out);

    wslay_event_context* context_ = nullptr;
    // Where the callbacks read and write for the call in progress.
    const unsigned char* in_ = nullptr;
    std::size_t inLeft_ = 0;
    std::string* payload_ = nullptr;
    std::string* out_ = nullptr;
};

} // namespace net
