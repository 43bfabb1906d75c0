// SPDX-License-Identifier: MIT
#include "netplay/guest_recording.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "net/protocol.hpp"
#include "netplay/round_outcome.hpp"
#include "record/log_records.hpp"

namespace netplay {

namespace {

GameSetup seenFrom(net::Seat seat, const std::string& legend) {
    GameSetup setup;
    setup.match = true;
    setup.viewer = seat == net::Seat::Player ? Viewer::PlayerTwo : Viewer::Watcher;
    std::size_t length = std::min(legend.size(), std::size_t{maxLegendLength});
    std::memcpy(setup.legend[1], legend.data(), length);
    setup.legend[1][length] = '\0';
    return setup;
}

} // namespace

GuestRecorder::GuestRecorder(KeptAs as, net::Seat seat, const std::string& legend, int everyMs)
    : as_(std::move(as)), seen_(seenFrom(seat, legend)), everyMs_(everyMs) {}

void GuestRecorder::start() {
    if (!keeper_)
        keeper_ = keeperFor(seen_, as_);
}

std::string GuestRecorder::recordingPath() const {
    return keeper_ ? keeper_->recordingPath() : std::string();
}

std::string GuestRecorder::warning(const std::string& logWarning) const {
    return keeper_ ? keepingWarning(*keeper_, logWarning) : logWarning;
}

void GuestRecorder::heard(const net::Message& message, long long nowMs) {
    if (!record::changesPicture(message.type) ||
        (!keeper_ && message.type != net::MessageType::Picture))
        return; // the game begins with its first whole picture
    start();
    std::string entry;
    record::appendHeard(entry, record::heardOf(message, lastMs_ < 0 ? 0 : nowMs - lastMs_));
    add(entry);
    lastMs_ = nowMs;
    keptMs_ = keptMs_ < 0 ? nowMs : keptMs_;
    count_ += 1;
    if (message.type == net::MessageType::Result) {
        const net::RoundOutcome& r = message.result;
        keeper_->roundResult(roundOf(r), r.matchOver, r.champion, held_);
        release();
    } else if (message.type == net::MessageType::End || nowMs - keptMs_ >= everyMs_ ||
               heldBytes_ >= heardMostBytes) {
        finish();
    }
}

// A stretch is whole entries: a new one starts where the next would not fit.
void GuestRecorder::add(const std::string& entry) {
    // An entry is its wait (at most ten bytes) and one message.
    static_assert(net::maxMessage + 10 <= record::maxPayload, "an entry fits in a stretch");
    if (held_.empty() || held_.back().size() + entry.size() > record::maxPayload)
        held_.emplace_back();
    held_.back() += entry;
    heldBytes_ += entry.size();
}

void GuestRecorder::finish() {
    if (!keeper_)
        return;
    keeper_->keepHeard(held_);
    release();
}

void GuestRecorder::release() {
    record::MatchKeeper::Stretches().swap(held_);
    heldBytes_ = 0;
    keptMs_ = lastMs_;
}

} // namespace netplay
