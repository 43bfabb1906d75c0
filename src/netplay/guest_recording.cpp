// SPDX-License-Identifier: MIT
#include "netplay/guest_recording.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "net/protocol.hpp"
#include "netplay/round_outcome.hpp"
#include "record/varint.hpp"

namespace netplay {

namespace {

// The message again, as the host sent it: the decoder reads exactly one
// way of writing each.
std::string encoded(const net::Message& m) {
    std::string out;
    switch (m.type) {
    case net::MessageType::Picture:
    case net::MessageType::Delta:
        net::appendRuns(out, m.type,
                        std::string(reinterpret_cast<const char*>(m.runs),
                                    static_cast<std::size_t>(m.runsLength)));
        break;
    case net::MessageType::End: net::appendEnd(out); break;
    case net::MessageType::Result: net::appendResult(out, m.result); break;
    case net::MessageType::Hello:
    case net::MessageType::Welcome:
    case net::MessageType::Refused:
    case net::MessageType::Ready:
    case net::MessageType::Key:
    case net::MessageType::KeepAlive: break;
    }
    return out;
}

GameSetup seenFrom(net::Seat seat, const std::string& legend) {
    GameSetup setup;
    setup.match = true;
    setup.viewer = seat == net::Seat::Player ? Viewer::PlayerTwo : Viewer::Watcher;
    std::size_t length = std::min(legend.size(), std::size_t{maxLegendLength});
    std::memcpy(setup.legend[1], legend.data(), length);
    setup.legend[1][length] = '\0';
    return setup;
}

bool kept(net::MessageType type) {
    return type == net::MessageType::Picture || type == net::MessageType::Delta ||
           type == net::MessageType::End || type == net::MessageType::Result;
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
    if (!kept(message.type) || (!keeper_ && message.type != net::MessageType::Picture))
        return; // the game begins with its first whole picture
    if (!keeper_)
        keeper_ = keeperFor(seen_, as_);
    long long after = lastMs_ < 0 ? 0 : std::clamp(nowMs - lastMs_, 0LL, maxHeardGapMs);
    lastMs_ = nowMs;
    keptMs_ = keptMs_ < 0 ? nowMs : keptMs_;
    record::appendNumber(piece_, static_cast<std::uint64_t>(after));
    piece_ += encoded(message);
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

bool readHeard(std::string_view piece, std::vector<HeardMessage>& into) {
    std::vector<HeardMessage> read;
    record::NumberReader reader(piece);
    while (!reader.atEnd()) {
        std::uint64_t after = 0;
        if (!reader.number(after) || after > static_cast<std::uint64_t>(maxHeardGapMs))
            return false;
        std::string_view rest = piece.substr(reader.at());
        net::MessageDecoder decoder(net::Sender::Host);
        std::size_t used =
            decoder.feed(reinterpret_cast<const unsigned char*>(rest.data()), rest.size());
        if (!decoder.hasMessage() || !kept(decoder.message().type))
            return false;
        const net::Message& m = decoder.message();
        HeardMessage& h = read.emplace_back();
        h.afterMs = static_cast<long long>(after);
        h.type = m.type;
        h.runs.assign(reinterpret_cast<const char*>(m.runs),
                      static_cast<std::size_t>(m.runsLength));
        h.result = m.result;
        std::string_view skipped;
        reader.bytes(used, skipped);
    }
    into.insert(into.end(), read.begin(), read.end());
    return true;
}

} // namespace netplay
