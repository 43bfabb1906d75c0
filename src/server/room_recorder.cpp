// SPDX-License-Identifier: MIT
#include "server/room_recorder.hpp"

#include <utility>

#include "net/message_decoder.hpp"
#include "record/disk.hpp"
#include "record/room_recordings.hpp"

namespace server {

namespace {

// Held until a round ends: far more than a watcher is sent in any round.
constexpr int roomHeldMs = 24 * 60 * 60 * 1000;

} // namespace

RoomRecorder::RoomRecorder(KeepingAs keeping, std::string room)
    : keeping_(std::move(keeping)), room_(std::move(room)) {}

int RoomRecorder::start(const std::string& boardOne, const std::string& boardTwo) {
    if (!keeping_ || recorder_)
        return kept();
    KeptAs as = keeping_();
    if (as.folder.empty())
        return 0;
    std::string recordings = as.folder + disk::folderSeparator() + record::recordingsFolder;
    number_ = record::nextRoomNumber(
        disk::filesIn(recordings, record::recordingPrefix, record::recordingEnding), room_);
    if (number_ == 0)
        return 0;
    as.mode = record::PlayMode::Guest;
    as.you = -1;
    as.tag = record::roomTag(room_, number_);
    as.resultsLog = false;
    recorder_ =
        std::make_unique<netplay::GuestRecorder>(std::move(as), net::Seat::Watcher, "", roomHeldMs);
    recorder_->nameBoards(boardOne, boardTwo);
    recorder_->start();
    return kept();
}

void RoomRecorder::picture(const net::Picture& picture, bool over, long long nowMs) {
    if (recorder_)
        heard(feed_.next(picture, over), nowMs);
}

void RoomRecorder::result(const net::RoundOutcome& outcome, long long nowMs) {
    if (!recorder_)
        return;
    std::string message;
    net::appendResult(message, outcome);
    heard(message, nowMs);
}

// The recorder keeps messages as a guest hears them: the bytes made for
// it are read back as a guest's decoder reads them.
void RoomRecorder::heard(const std::string& messages, long long nowMs) {
    net::MessageDecoder decoder(net::Sender::Host);
    const auto* bytes = reinterpret_cast<const unsigned char*>(messages.data());
    std::size_t at = 0;
    while (at < messages.size() && !decoder.failed()) {
        at += decoder.feed(bytes + at, messages.size() - at);
        if (decoder.hasMessage())
            recorder_->heard(decoder.message(), nowMs);
    }
}

int RoomRecorder::kept() const {
    return recorder_ && !recorder_->recordingPath().empty() ? number_ : 0;
}

std::string RoomRecorder::warning() const { return recorder_ ? recorder_->warning("") : ""; }

} // namespace server
