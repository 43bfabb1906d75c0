// SPDX-License-Identifier: MIT
// The game's own WebSocket framing. It reads a frame in stages, each with
// its own check as soon as its bytes are in, and judges the frame (mask,
// reserved bits, kind, length) once its payload has begun or when it has
// none: the moment wslay judges it, so a connection ends at the same byte
// whichever framing the build has, however the bytes are split.
#include "net/web_socket_frames_own.hpp"

#include <algorithm>
#include <cstring>

namespace net {

namespace {

constexpr unsigned continuation = 0x0, textFrame = 0x1, binaryFrame = 0x2, closeFrame = 0x8,
                   pingFrame = 0x9, pongFrame = 0xa;
constexpr unsigned finBit = 0x80, maskBit = 0x80, controlBit = 0x8;
// Closing codes: the browser's close answered; a frame against the rules;
// text, which the game does not take; a message longer than any it sends.
constexpr unsigned normalClosure = 1000, protocolError = 1002, unsupportedData = 1003,
                   messageTooBig = 1009;
// The longest payload a control frame has, and what its seven-bit length
// says when a 16- or 64-bit length follows.
constexpr unsigned longestControl = 125, sixteenBitLength = 126, sixtyFourBitLength = 127;
constexpr std::uint64_t firstSixtyFourBit = 0x10000;
constexpr std::size_t maskBytes = 4;

bool isControl(unsigned opcode) { return (opcode & controlBit) != 0; }

void appendBigEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xffU));
}

// A whole frame, its length in the shortest form; masked with `mask` when
// there is one, as a client's frames are.
void appendFrame(std::string& out, unsigned opcode, const std::string& payload,
                 const unsigned char* mask = nullptr) {
    out.push_back(static_cast<char>(finBit | opcode));
    std::uint64_t size = payload.size();
    unsigned masked = mask != nullptr ? maskBit : 0U;
    if (size < sixteenBitLength) {
        out.push_back(static_cast<char>(masked | size));
    } else if (size < firstSixtyFourBit) {
        out.push_back(static_cast<char>(masked | sixteenBitLength));
        appendBigEndian(out, size, 2);
    } else {
        out.push_back(static_cast<char>(masked | sixtyFourBitLength));
        appendBigEndian(out, size, 8);
    }
    if (mask == nullptr) {
        out += payload;
        return;
    }
    out.append(reinterpret_cast<const char*>(mask), maskBytes);
    for (std::size_t i = 0; i < payload.size(); ++i)
        out.push_back(static_cast<char>(payload[i] ^ static_cast<char>(mask[i % maskBytes])));
}

} // namespace

bool OwnWebSocketFraming::unwrap(const unsigned char* bytes, std::size_t count,
                                 std::string& payload, std::string& out) {
    Input in{bytes, count, payload, out};
    while (!ended() && step(in)) {
    }
    return !ended();
}

void OwnWebSocketFraming::wrap(const std::string& message, std::string& out) {
    if (!ended())
        send(out, binaryFrame, message);
}

// A server's frames go unmasked; a client's each with a mask of its own
// (xorshift64*), which only has to differ from frame to frame.
void OwnWebSocketFraming::send(std::string& out, unsigned opcode, const std::string& payload) {
    if (!client_) {
        appendFrame(out, opcode, payload);
        return;
    }
    maskState_ ^= maskState_ >> 12U;
    maskState_ ^= maskState_ << 25U;
    maskState_ ^= maskState_ >> 27U;
    std::uint64_t drawn = maskState_ * 0x2545F4914F6CDD1DULL;
    unsigned char mask[maskBytes];
    for (std::size_t i = 0; i < maskBytes; ++i)
        mask[i] = static_cast<unsigned char>(drawn >> (8U * i));
    appendFrame(out, opcode, payload, mask);
}

// One stage further when its bytes are in; false when they are not yet.
bool OwnWebSocketFraming::step(Input& in) {
    switch (stage_) {
    case Stage::start:
        if (!gather(in, 2))
            return false;
        readStart(in.out);
        return true;
    case Stage::length:
        if (!gather(in, lengthBytes_))
            return false;
        readLength(in.out);
        return true;
    case Stage::mask:
        if (!gather(in, maskBytes))
            return false;
        std::memcpy(mask_, got_, maskBytes);
        enter(Stage::judge);
        return true;
    case Stage::judge:
        if (length_ > 0 && in.left == 0)
            return false;
        judge(in);
        return true;
    case Stage::payload: return readPayload(in);
    }
    return false;
}

bool OwnWebSocketFraming::gather(Input& in, std::size_t need) {
    std::size_t n = std::min(need - have_, in.left);
    std::memcpy(got_ + have_, in.bytes, n);
    have_ += n;
    in.bytes += n;
    in.left -= n;
    return have_ == need;
}

void OwnWebSocketFraming::enter(Stage stage) {
    stage_ = stage;
    have_ = 0;
    read_ = 0;
}

void OwnWebSocketFraming::readStart(std::string& out) {
    fin_ = (got_[0] & finBit) != 0;
    rsv_ = (got_[0] >> 4U) & 0x7U;
    opcode_ = got_[0] & 0xfU;
    masked_ = (got_[1] & maskBit) != 0;
    unsigned shortLength = got_[1] & 0x7fU;
    if (isControl(opcode_) && (shortLength > longestControl || !fin_)) {
        refuse(out, protocolError, "sent a control frame too long or in pieces");
        return;
    }
    if (shortLength >= sixteenBitLength) {
        lengthBytes_ = shortLength == sixteenBitLength ? 2 : 8;
        enter(Stage::length);
        return;
    }
    length_ = shortLength;
    enter(masked_ ? Stage::mask : Stage::judge);
}

// A longer length than the seven bits hold, in the shortest form that holds
// it, and never with the top bit set.
void OwnWebSocketFraming::readLength(std::string& out) {
    std::uint64_t length = 0;
    for (std::size_t i = 0; i < lengthBytes_; ++i)
        length = (length << 8U) | got_[i];
    bool shortest = lengthBytes_ == 2 ? length >= sixteenBitLength
                                      : length >= firstSixtyFourBit && (length >> 63U) == 0;
    if (!shortest) {
        refuse(out, protocolError, "sent a length in a longer form than it needs");
        return;
    }
    length_ = length;
    enter(masked_ ? Stage::mask : Stage::judge);
}

void OwnWebSocketFraming::judge(Input& in) {
    if (!judgeKind(in.out))
        return;
    if (isControl(opcode_))
        control_.clear();
    else if (opcode_ == binaryFrame)
        inMessage_ = true;
    if (length_ == 0) {
        endFrame(in);
        return;
    }
    enter(Stage::payload);
}

// Whether the frame may come now: masked from a browser and unmasked from
// a server, no reserved bits, a kind the
// game knows in its place, not too long; text and the close end it here,
// before their payload.
bool OwnWebSocketFraming::judgeKind(std::string& out) {
    if (rsv_ != 0 || masked_ == client_) {
        refuse(out, protocolError,
               client_ ? "sent a masked frame or reserved bits"
                       : "sent an unmasked frame or reserved bits");
        return false;
    }
    bool control = opcode_ == closeFrame || opcode_ == pingFrame || opcode_ == pongFrame;
    bool fits = control || (inMessage_ ? opcode_ == continuation
                                       : opcode_ == textFrame || opcode_ == binaryFrame);
    if (!fits) {
        refuse(out, protocolError, "sent a frame out of place");
        return false;
    }
    std::uint64_t held = control ? 0 : message_.size();
    if (length_ > maxIncoming - held) {
        refuse(out, messageTooBig, "sent a message too long");
        return false;
    }
    if (opcode_ == textFrame) {
        refuse(out, unsupportedData, "sent text");
        return false;
    }
    if (opcode_ == closeFrame) {
        refuse(out, normalClosure, "closed");
        return false;
    }
    return true;
}

bool OwnWebSocketFraming::readPayload(Input& in) {
    if (in.left == 0)
        return false;
    std::string& into = isControl(opcode_) ? control_ : message_;
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(in.left, length_ - read_));
    std::size_t from = into.size();
    into.append(reinterpret_cast<const char*>(in.bytes), n);
    for (std::size_t i = 0; i < n; ++i)
        into[from + i] = static_cast<char>(into[from + i] ^ mask_[(read_ + i) % maskBytes]);
    read_ += n;
    in.bytes += n;
    in.left -= n;
    if (read_ == length_)
        endFrame(in);
    return true;
}

// A ping is answered with its payload; a binary message goes to the game
// once its last fragment is in; a pong needs nothing.
void OwnWebSocketFraming::endFrame(Input& in) {
    if (opcode_ == pingFrame) {
        send(in.out, pongFrame, control_);
    } else if (!isControl(opcode_) && fin_) {
        in.payload += message_;
        message_.clear();
        inMessage_ = false;
    }
    enter(Stage::start);
}

// `what` the other side did, said as who did it; the other side's own
// close is only "closed".
void OwnWebSocketFraming::refuse(std::string& out, unsigned status, const char* what) {
    std::string code;
    appendBigEndian(code, status, 2);
    send(out, closeFrame, code);
    if (status == normalClosure)
        fail(what);
    else
        fail(std::string(client_ ? "the server " : "the browser ") + what);
}

} // namespace net
