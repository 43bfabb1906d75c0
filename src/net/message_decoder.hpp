// SPDX-License-Identifier: MIT
// Turns the bytes of a connection into messages. A pure unit like the
// terminal's input decoder: bytes go in, checked messages come out; no
// socket, no clock. It never reads past the bytes it is given nor holds
// more than one message. The first thing wrong (a type the sender may not
// send, a length outside its type's bounds, a payload that does not hold
// together) is kept: from then on the decoder takes nothing, and the
// connection is to be closed.
#pragma once

#include <cstddef>
#include <string_view>

#include "net/protocol.hpp"

namespace net {

// A name as a message carries it: its bytes, not yet checked.
struct NameBytes {
    char bytes[maxPlayerNameBytes] = {};
    int length = 0;
    std::string_view text() const { return {bytes, static_cast<std::size_t>(length)}; }
};

struct Message {
    MessageType type = MessageType::KeepAlive;
    // Hello: the version it speaks (when not protocolVersion, nothing else
    // of it is read); Welcome: the host's.
    int version = 0;
    Seat seat = Seat::Player; // Hello, Welcome
    JoinCode code = {};       // Hello
    NameBytes name = {};      // Hello: the player's
    NameBytes names[2] = {};  // Names: each board's
    Refusal refusal = {};     // Refused; a reason this side does not know stays as sent
    KeyMode keyMode = {};     // Ready
    char legend[maxLegendLength + 1] = {}; // Ready: the guest's keys as its legend shows them
    KeyKind keyKind = {};                  // Key
    int action = 0; // Key: an action's number (game/keys.hpp), 0 with ReleaseAll
    const unsigned char* runs = nullptr; // Picture, Delta: valid until the next feed()
    int runsLength = 0;
    RoundOutcome result = {}; // Result
    int kept = 0;             // Kept
};

class MessageDecoder {
public:
    explicit MessageDecoder(Sender from) : from_(from) {}

    // Takes bytes from `data`, up to the end of the next message and never
    // beyond, and returns how many it took. When they complete a message,
    // hasMessage() is true until the next call. After an error it takes
    // nothing and returns 0.
    std::size_t feed(const unsigned char* data, std::size_t size);

    bool hasMessage() const { return complete_; }
    const Message& message() const { return message_; }
    bool failed() const { return error_ != nullptr; }
    // What was wrong, in a few words; nullptr while nothing was.
    const char* error() const { return error_; }

private:
    void checkType();
    void readLength();
    void checkLength(int length);
    void finish();
    void fail(const char* what) { error_ = what; }
    void readHello(const unsigned char* p);
    void readResult(const unsigned char* p);
    // The name at `at` of the payload, moving `at` past it; false when it
    // does not fit.
    bool readName(const unsigned char* p, int& at, NameBytes& name) const;

    Sender from_;
    unsigned char buffer_[maxMessage] = {};
    int have_ = 0;    // bytes of the message under way
    int header_ = 0;  // its header's length, once complete
    int length_ = -1; // its payload's length, once the header is complete
    bool complete_ = false;
    const char* error_ = nullptr;
    Message message_;
};

// One run of cells as read from a payload.
struct Run {
    int first;
    int count;
    unsigned char attr;
    const unsigned char* codes;
};

// Reads the run at `at` of `length` bytes of runs, after a run in `attr`
// (firstRunAttribute for the first); moves `at` past it and sets `attr` to
// its attribute. False when the bytes hold no whole run inside the picture.
bool nextRun(const unsigned char* runs, int length, int& at, unsigned char& attr, Run& run);

// Checks that `length` bytes are runs that stay inside the picture.
bool validRuns(const unsigned char* runs, int length);

} // namespace net
