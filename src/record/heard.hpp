// SPDX-License-Identifier: MIT
// What a network guest's recording holds in place of a tape: the messages
// of the host that change the picture (Picture, Delta, End, Result), each
// with the milliseconds since the one before, in stretches (the payloads of
// Heard records). A stretch is a run of entries: the milliseconds as a
// number (record/varint.hpp), then the message as the host sent it, which
// the protocol's own decoder reads back and checks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/message_decoder.hpp"

namespace record {

// The longest wait between two messages a stretch may hold: an hour, far
// beyond any pause of a match the host keeps going.
constexpr long long maxHeardGapMs = 3'600'000;

// One message, as kept and as read back.
struct HeardMessage {
    long long afterMs = 0; // since the message before it
    net::MessageType type = net::MessageType::End;
    std::string runs;           // Picture, Delta
    net::RoundOutcome result{}; // Result
};

// True for the messages a recording keeps.
bool changesPicture(net::MessageType type);
// The message as it came, for keeping; only those that change the picture.
HeardMessage heardOf(const net::Message& message, long long afterMs);
// Appends one entry to a stretch; the wait goes at its bounds.
void appendHeard(std::string& stretch, const HeardMessage& message);
// Reads one stretch; false, with nothing of it taken, when it does not
// hold together (a message that does not change the picture, one the
// decoder refuses, one cut short, a wait beyond maxHeardGapMs).
bool readHeard(std::string_view stretch, std::vector<HeardMessage>& into);
// Reads the entry at `at` of a stretch into `message` (whose runs keep
// their room for the next) and moves `at` past it; false, with `at` as it
// was, when it does not hold together as readHeard checks.
bool readHeardAt(std::string_view stretch, std::size_t& at, HeardMessage& message);

} // namespace record
