// SPDX-License-Identifier: MIT
// The WebSocket frames around the game's byte stream, the server's side,
// written for the game: where no wslay is packaged (the Windows build, the
// static release) this one serves browsers, under the same rules as wslay's
// (the tests and a fuzzer hold the two against each other). Only what a
// browser's connection to the host needs: masked client frames, binary
// messages in one frame or many, pings, pongs and the close; the host's own
// frames go out unmasked and whole.
//
// The same framing is the terminal's side of a connection to a server's
// room (a client's): its frames go out masked, and a server's come
// unmasked, whichever framing the server has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/web_socket_verdict.hpp"

namespace net {

class OwnWebSocketFraming : public WebSocketVerdict {
public:
    OwnWebSocketFraming() = default;
    // A client's framing; `maskSeed` starts its masks.
    explicit OwnWebSocketFraming(std::uint64_t maskSeed)
        : client_(true), maskState_(maskSeed | 1U) {}
    OwnWebSocketFraming(const OwnWebSocketFraming&) = delete;
    OwnWebSocketFraming& operator=(const OwnWebSocketFraming&) = delete;

    // As WebSocketFraming says (net/web_socket_framing.hpp).
    bool unwrap(const unsigned char* bytes, std::size_t count, std::string& payload,
                std::string& out);
    void wrap(const std::string& message, std::string& out);

private:
    // Where the frame in hand is: its first two bytes, the longer length,
    // the mask, the moment it is judged, its payload.
    enum class Stage { start, length, mask, judge, payload };
    struct Input {
        const unsigned char* bytes;
        std::size_t left;
        std::string& payload;
        std::string& out;
    };

    bool step(Input& in);
    bool gather(Input& in, std::size_t need);
    void enter(Stage stage);
    void readStart(std::string& out);
    void readLength(std::string& out);
    void judge(Input& in);
    bool judgeKind(std::string& out);
    bool readPayload(Input& in);
    void endFrame(Input& in);
    void refuse(std::string& out, unsigned status, const char* what);
    void send(std::string& out, unsigned opcode, const std::string& payload);

    bool client_ = false;
    std::uint64_t maskState_ = 0;

    Stage stage_ = Stage::start;
    unsigned char got_[8] = {};
    std::size_t have_ = 0;
    std::size_t lengthBytes_ = 0;

    // The frame in hand.
    bool fin_ = false;
    unsigned rsv_ = 0;
    unsigned opcode_ = 0;
    bool masked_ = false;
    unsigned char mask_[4] = {};
    std::uint64_t length_ = 0;
    std::uint64_t read_ = 0;

    // A binary message until its last fragment, and a control frame's payload.
    bool inMessage_ = false;
    std::string message_;
    std::string control_;
};

} // namespace net
