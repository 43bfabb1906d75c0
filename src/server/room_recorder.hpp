// SPDX-License-Identifier: MIT
// What a room keeps of its match: the pictures a watcher is sent, with the
// rounds' results and the end, in the recording a network guest keeps
// (netplay/guest_recording.hpp), among the server's recordings under the
// room's name and the match's number in it (record/room_recordings.hpp),
// which its replay link names. It goes to disk at each round's end and at
// the match's, or sooner when much has come: a server writes its rooms'
// files seldom, whole records each time, and a crash loses at most the
// round under way.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "net/picture.hpp"
#include "net/protocol.hpp"
#include "netplay/guest_recording.hpp"
#include "netplay/picture_feed.hpp"

namespace server {

// How the server keeps a match that starts now (its state folder, the
// program's version, the time); empty, or a folder of "", keeps nothing.
using KeepingAs = std::function<KeptAs()>;

class RoomRecorder {
public:
    // Keeps room `room`'s match as `keeping` says.
    RoomRecorder(KeepingAs keeping, std::string room);

    // The match begins between the players named `boardOne` and `boardTwo`
    // ("" for none): the number it is kept under in its room, its file
    // begun; 0 when nothing is kept.
    int start(const std::string& boardOne = "", const std::string& boardTwo = "");
    // The watchers' picture after a frame, and whether the match is over
    // (the last picture, and the end with it).
    void picture(const net::Picture& picture, bool over, long long nowMs);
    // How a round ended, after its last picture.
    void result(const net::RoundOutcome& outcome, long long nowMs);
    // A recording was begun: the pictures are worth making for it.
    bool recording() const { return recorder_ != nullptr; }
    // The match's number while its recording holds together (the disk took
    // every piece of it so far); 0 else.
    int kept() const;
    // What went wrong with the disk; "" when nothing did.
    std::string warning() const;

private:
    void heard(const std::string& messages, long long nowMs);

    KeepingAs keeping_;
    std::string room_;
    int number_ = 0;
    std::unique_ptr<netplay::GuestRecorder> recorder_;
    netplay::PictureFeed feed_;
};

} // namespace server
