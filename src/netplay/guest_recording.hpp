// SPDX-License-Identifier: MIT
// A network guest keeps its matches too. Its game runs at the host, so
// there is no tape of reads to keep: the recording holds what the host sent
// that changes the picture (Picture, Delta, End, Result), each with the
// milliseconds since the one before, so that a playback shows the guest's
// pictures in their order and at their pace. They go to the recording in
// stretches (record/heard.hpp) every few seconds, at each round's end, and
// sooner when much has come; each stretch fits one record, and all that
// is held goes in one append. Each Result also ends its round in the
// recording and adds the round's line to the results log, so that the
// statistics count the guest's side.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "game/keeping.hpp"
#include "net/message_decoder.hpp"
#include "record/heard.hpp"
#include "record/keeper.hpp"

namespace netplay {

// How often the stretch heard so far goes to disk, in milliseconds: a
// crash loses at most this much of the match.
constexpr int heardEveryMs = 5000;
// What is held sooner goes to disk once this many bytes have come: a host
// sends a few kilobytes in heardEveryMs, and a flood holds no more memory.
constexpr std::size_t heardMostBytes = std::size_t{256} * 1024;

class GuestRecorder {
public:
    // Keeps the match in the state folder `as` names, as seen from `seat`,
    // with player two's keys shown as `legend`, from the first picture on:
    // a guest that leaves before the game begins keeps nothing.
    // Held messages go to disk every `everyMs` (and at each round's end).
    GuestRecorder(KeptAs as, net::Seat seat, const std::string& legend, int everyMs = heardEveryMs);
    GuestRecorder(const GuestRecorder&) = delete;
    GuestRecorder& operator=(const GuestRecorder&) = delete;
    ~GuestRecorder() { finish(); }

    // Each board's player's name as the host said, for the recording's
    // header: it takes them as they stand at start() or the first picture.
    void nameBoards(const std::string& boardOne, const std::string& boardTwo) {
        seen_.names[0] = boardOne;
        seen_.names[1] = boardTwo;
    }
    // The recording begins now rather than at the first picture: its file
    // is there from this moment, for whoever names the next.
    void start();
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
    int everyMs_;
    std::unique_ptr<record::MatchKeeper> keeper_;
    void add(const std::string& entry);
    // Lets go of what went to disk, and of the memory it took.
    void release();

    record::MatchKeeper::Stretches held_; // heard since they last went to disk
    std::size_t heldBytes_ = 0;
    long long lastMs_ = -1;
    long long keptMs_ = -1; // when the last stretch went to disk
    long long count_ = 0;
};

} // namespace netplay
