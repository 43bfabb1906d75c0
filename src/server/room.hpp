// SPDX-License-Identifier: MIT
// One room of the server: the network game's host without a console. Its
// door and guests (netplay/host.hpp) keep every promise they keep at a
// terminal, per room, and are served on the server's loop: the room's
// sockets are file events of the loop, brought to the host's list after
// every call into the host (so that a socket the host closed is let go
// before its number can come back for another connection), and the host's
// next deadline is a timer. Player one is the computer at the room's level; player two is the
// first guest to greet it with its code (or the computer too); the match
// starts once that guest is ready (or at once) and is a LoopMatch from then
// on. Nothing here waits.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "loop/event_loop.hpp"
#include "netplay/host.hpp"
#include "server/loop_match.hpp"
#include "server/room_recorder.hpp"

namespace server {

// What a room plays: on board one the computer at its level, or a person
// (0: two people, each from a link); on board two a person (0) or the
// computer too (a match to watch); and the rounds a player must win (0:
// rounds until someone leaves).
struct RoomKind {
    int level = 3;
    int levelTwo = 0;
    int firstTo = 0;
    // A quick match: two people who do not know each other, whatever their
    // codes; whoever waits `quickWaitMs` for the second plays the computer.
    bool quick = false;
    int quickWaitMs = 30'000;
};

// The level of the computer that plays whoever waited too long for a quick match.
constexpr int quickComputerLevel = 3;

// A match's seed, from the system's randomness (the clock's milliseconds
// only where it has none): rooms that start in the same millisecond draw
// pieces of their own, and nobody can work out a room's pieces from when
// it started. Never 0, which the game reads as "seed from the clock".
unsigned roomSeed();

class Room {
public:
    // Bytes still queued when the match has ended are sent for this long.
    static constexpr int lingerMs = 1000;

    // The room at /r/`name`; it ends once nobody has been in it for
    // `emptyMs`. Its code is `code`, or when null its first player's. Its
    // match is kept as `keeping` says, and its guests told its number.
    Room(loop::EventLoop& loop, const std::string& name, const RoomKind& kind, int emptyMs,
         const net::JoinCode* code = nullptr, KeepingAs keeping = {});
    ~Room();
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;

    // The round under way is the match's last, and a room not playing
    // ends now: the server drains.
    void drain();

    // A connection for the room's game, with what was read of it (its head).
    void take(NetSocket socket, const net::PeerAddress& from, std::string_view head);

    // Its match played out and its guests told, or nobody came for a while:
    // the room may go.
    bool ended() const { return stage_ == Stage::Ended; }
    bool playing() const { return stage_ == Stage::Playing; }
    // A quick match's room that waits for its second player: one who came
    // before the first had greeted is paired too, and a third goes elsewhere.
    bool seeksPartner() const {
        return kind_.quick && stage_ == Stage::Waiting && taken_ < 2 && !host_.playerReady(1);
    }
    // Its match began and has ended.
    bool playedOut() const { return match_ != nullptr && match_->over(); }
    // The number its match is kept under; 0 while none is.
    int kept() const { return recorder_.kept(); }
    int players() const;
    int watchers() const { return host_.watching(); }
    // Frames that ended, and those that ended more than lateMs after they
    // were due, since the last call.
    long long takeFrames();
    long long takeLateFrames();
    static constexpr int lateMs = 10;

private:
    enum class Stage { Waiting, Playing, Ending, Ended };
    struct Slot {
        Room* room;
        int index; // into watches_
    };

    static void socketCame(loop::EventLoop& loop, loop::Handle handle, unsigned mask, void* slot);
    static long long serveSoon(loop::EventLoop& loop, loop::TimerId id, void* self);
    static void frameEnded(void* self, const SteppedMatch& match);
    void serveNow();
    // Watches the host's sockets now and lets go of those it no longer
    // lists, with a timer for its next deadline.
    void watch();
    void unwatch();
    void askToServe();
    void serveIn(long long ms);
    void startMatch();
    bool everyoneReady() const;
    void end();
    // The watchers' picture now, to the recording.
    void keepPicture(bool over);

    loop::EventLoop& loop_;
    RoomKind kind_;
    int emptyMs_;
    UnseenScreen console_; // the host draws nothing of its own here
    netplay::GameHost host_;
    std::unique_ptr<LoopMatch> match_;
    RoomRecorder recorder_;
    Stage stage_ = Stage::Waiting;
    SocketWatch watches_[NetService::maxSockets] = {};
    int watched_ = 0;
    Slot slots_[NetService::maxSockets] = {};
    std::vector<NetSocket> handles_; // watched in the loop now, in order
    // watch()'s own: the host's handles with their masks and slots, and the
    // handles kept, reused from call to call.
    struct Wanted {
        NetSocket handle;
        unsigned mask;
        int slot;
    };
    std::vector<Wanted> wanted_;
    std::vector<NetSocket> kept_;
    loop::TimerId serveTimer_ = loop::noTimer;
    long long serveAtMs_ = 0; // when serveTimer_ fires
    long long emptySinceMs_;
    long long endBy_ = 0; // Ending: the host is closed by then
    long long frames_ = 0;
    long long lateFrames_ = 0;
    long long aloneSinceMs_ = -1; // a quick match's: since its first player came
    int taken_ = 0;               // connections handed to the room
    FrameHook hostHook_;
    bool lastRound_ = false;
};

} // namespace server
