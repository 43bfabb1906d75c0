// SPDX-License-Identifier: MIT
// A kept match read back for its playback: the header, the tape of all its
// rounds (or what a network guest was sent) and how many rounds ended in
// it. A recording of another format
// version, or one whose header does not read, is refused with words that
// say so; one cut short (the power went) plays up to where it ends, and
// one whose match had not ended (the game was killed, or is still playing
// it) says so.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "record/heard.hpp"
#include "record/results.hpp"
#include "record/tape.hpp"

namespace history {

// The most messages a guest's recording may hold: one a millisecond of the
// waits between them, beyond those that can come at once. A host sends a
// guest a picture a frame, about eleven a second, and at a round's end two
// more; at once only what waits for a guest: at most 16 KiB the host
// queues and its sockets' buffers, far below a mebibyte, in messages of at
// least three bytes. So a real match never comes near it, and a file of
// millions of messages sent at once is refused.
constexpr long long heardAtOnce = (1LL << 20) / 3;

// The most records a recording may hold. A match adds one at its start, one
// every five seconds or so of a round (its tape, or a guest's stretch, sooner
// only when a guest's stretch grows large) and one at each round's end, which
// comes after the three seconds of the countdown at the earliest: about one
// every two seconds and a half at the most, so a week of play without a break
// stays below it, and a file of millions of tiny records is refused before
// they cost memory.
constexpr std::size_t recordingRecords = std::size_t{1} << 18;

struct Recording {
    record::MatchSetup header;
    record::TapeReader tape;
    // A network guest's, in place of a tape: its stretches, into the bytes
    // read (which outlive it); each message is read as it is played.
    std::vector<std::string_view> heard;
    long long heardMessages = 0;
    int rounds = 0;                                // rounds that ended in it
    std::optional<record::RoundResult> firstRound; // how the first of them ended
    bool cutShort = false; // it ends inside a record, or its tape breaks off
    bool ended = false;    // the match's end is in it
};

// "" when `bytes` can be played back, else why not; `recording` then
// points into `bytes`.
std::string readRecording(std::string_view bytes, Recording& recording);

// Every message of a guest's recording at once, for a look at them all;
// its playback reads them one at a time instead.
std::vector<record::HeardMessage> heardMessages(const Recording& recording);

// The newest recording in the state folder; "" when there is none.
std::string lastRecording(const std::string& folder);

} // namespace history
