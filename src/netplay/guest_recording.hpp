// SPDX-License-Identifier: MIT
// A network guest keeps its matches too. Its game runs at the host, so
// there is no tape of reads to keep: the recording holds what the host sent
// that changes the picture (Picture, Delta, End, Result), each with the
// milliseconds since the one before, so that a playback shows the guest's
// pictures in their order and at their pace. They go to the recording in
// stretches (Heard records), each a run of entries: the milliseconds as a
// number (record/varint.hpp), then the message as the host sent it. Each
// Result also ends its round in the recording and adds the round's line to
// the results log, so that the statistics count the guest's side.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "game/keeping.hpp"
#include "net/message_decoder.hpp"
#include "record/keeper.hpp"

namespace netplay {

// How often the stretch heard so far goes to disk, in milliseconds: a
// crash loses at most this much of the match.
constexpr int heardEveryMs = 5000;
// The longest wait between two messages a recording may hold: an hour, far
// beyond any pause of a match the host keeps going.
constexpr long long maxHeardGapMs = 3'600'000;

class GuestRecorder {
public:
    // Keeps the match in the state folder `as` names, as seen from `seat`,
    // with player two's keys shown as `legend`, from the first picture on:
    // a guest that leaves before the game begins keeps nothing.
    GuestRecorder(KeptAs as, net::Seat seat, const std::string& legend);
    GuestRecorder(const GuestRecorder&) = delete;
    GuestRecorder& operator=(const GuestRecorder&) = delete;
    ~GuestRecorder() { finish(); }

    // A message from the host, come at `nowMs`; one that changes nothing
    // shown, or comes before the first whole picture, is not kept.
    void heard(const net::Message& message, long long nowMs);
    // What is still held goes to disk: at the match's end, however it ended.
    void finish();
    // The recording's path; "" while nothing is kept.
    std::string recordingPath() const;
    // What went wrong with the files, as one message for after the match,
    // after `logWarning` (what reading the results log found); "" when
    // nothing did.
    std::string warning(const std::string& logWarning) const;
    // How many messages it has kept so far.
    long long heardCount() const { return count_; }

private:
    KeptAs as_;
    GameSetup seen_; // the match as this guest sees it
    std::unique_ptr<record::MatchKeeper> keeper_;
    std::string piece_; // heard since the last stretch went to disk
    long long lastMs_ = -1;
    long long keptMs_ = -1; // when the last stretch went to disk
    long long count_ = 0;
};

// One message of a guest's recording, as read back.
struct HeardMessage {
    long long afterMs = 0; // since the message before it
    net::MessageType type = net::MessageType::End;
    std::string runs;           // Picture, Delta
    net::RoundOutcome result{}; // Result
};

// Reads one stretch; false, with nothing of it taken, when it does not
// hold together (a message the host may not send a guest's picture, one
// the decoder refuses, one cut short, a gap beyond maxHeardGapMs).
bool readHeard(std::string_view piece, std::vector<HeardMessage>& into);

} // namespace netplay
