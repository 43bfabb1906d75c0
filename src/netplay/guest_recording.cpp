// SPDX-License-Identifier: MIT
#include "netplay/guest_recording.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "netplay/round_outcome.hpp"

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

GuestRecorder::GuestRecorder(KeptAs as, net::Seat seat, const std::string& legend)
    : as_(std::move(as)), seen_(seenFrom(seat, legend)) {}

std::string GuestRecorder::recordingPath() const {
    return keeper_ ? keeper_->recordingPath() : std::string();
}

std::string GuestRecorder::warning(const std::string& logWarning) const {
    return keeper_ ? keepingWarning(*keeper_, logWarning) : logWarning;
}

void GuestRecorder::heard(const net::Message& message, long long nowMs) {
    if (!changesPicture(message.type) || (!keeper_ && message.type != net::MessageType::Picture))
        return; // the game begins with its first whole picture
    if (!keeper_)
        keeper_ = keeperFor(seen_, as_);
    appendHeard(piece_, heardOf(message, lastMs_ < 0 ? 0 : nowMs - lastMs_));
    lastMs_ = nowMs;
    keptMs_ = keptMs_ < 0 ? nowMs : keptMs_;
    count_ += 1;
    if (message.type == net::MessageType::Result) {
        finish();
        const net::RoundOutcome& r = message.result;
        keeper_->roundResult(roundOf(r), r.matchOver, r.champion);
    } else if (message.type == net::MessageType::End || nowMs - keptMs_ >= heardEveryMs) {
        finish();
    }
}

void GuestRecorder::finish() {
    if (!keeper_)
        return;
    keeper_->keepHeard(piece_);
    piece_.clear();
    keptMs_ = lastMs_;
}

} // namespace netplay
