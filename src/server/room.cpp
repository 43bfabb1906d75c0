// SPDX-License-Identifier: MIT
#include "server/room.hpp"

#include <algorithm>
#include <utility>

#include "netplay/round_outcome.hpp"

namespace server {

namespace {

// Until its first player greets it the door has no code: this one stands
// in, and the first player's replaces it.
constexpr net::JoinCode noCodeYet = {};

} // namespace

unsigned roomSeed() {
    unsigned char bytes[sizeof(unsigned)] = {};
    unsigned seed = 0;
    if (netRandomBytes(bytes, sizeof bytes))
        for (unsigned char b : bytes)
            seed = seed << 8 | b;
    if (seed == 0)
        seed = static_cast<unsigned>(netClockMs()) | 1U;
    return seed;
}

Room::Room(loop::EventLoop& loop, const std::string& name, const RoomKind& kind, int emptyMs,
           const net::JoinCode* code, KeepingAs keeping)
    : loop_(loop), kind_(kind), emptyMs_(emptyMs),
      host_(console_, code != nullptr ? *code : noCodeYet, noSocket),
      recorder_(std::move(keeping), name), emptySinceMs_(loop.nowMs()) {
    host_.openRoom("/r/" + name, code == nullptr);
    if (kind_.level == 0)
        host_.seatBothPlayers();
    if (kind_.quick)
        host_.takeAnyCode();
    hostHook_ = host_.frameHook();
    if (kind_.levelTwo > 0)
        startMatch();
}

Room::~Room() {
    match_.reset();
    unwatch();
    if (serveTimer_ != loop::noTimer)
        loop_.cancelTimer(serveTimer_);
    host_.close();
}

void Room::take(NetSocket socket, const net::PeerAddress& from, std::string_view head) {
    ++taken_;
    host_.adopt(socket, from, head);
    watch();
}

int Room::players() const {
    return (host_.playerReady(0) ? 1 : 0) + (host_.playerReady(1) ? 1 : 0);
}

// Every board a person plays has its player ready.
bool Room::everyoneReady() const {
    return (kind_.level > 0 || host_.playerReady(0)) &&
           (kind_.levelTwo > 0 || host_.playerReady(1));
}

long long Room::takeFrames() {
    long long frames = frames_;
    frames_ = 0;
    return frames;
}

long long Room::takeLateFrames() {
    long long late = lateFrames_;
    lateFrames_ = 0;
    return late;
}

void Room::socketCame(loop::EventLoop& /*loop*/, loop::Handle /*handle*/, unsigned mask,
                      void* slot) {
    const Slot& s = *static_cast<Slot*>(slot);
    SocketWatch& w = s.room->watches_[s.index];
    w.readable = w.readable || (mask & loop::readable) != 0;
    w.writable = w.writable || (mask & loop::writable) != 0;
    s.room->askToServe();
}

// Whatever came on the room's sockets in one turn is served at once, at
// the turn's end.
void Room::askToServe() { serveIn(0); }

// One timer serves the room: at the earliest time asked for.
void Room::serveIn(long long ms) {
    long long at = loop_.nowMs() + ms;
    if (serveTimer_ != loop::noTimer && serveAtMs_ <= at)
        return;
    if (serveTimer_ != loop::noTimer)
        loop_.cancelTimer(serveTimer_);
    serveAtMs_ = at;
    serveTimer_ = loop_.addTimer(ms, serveSoon, this);
}

long long Room::serveSoon(loop::EventLoop& /*loop*/, loop::TimerId /*id*/, void* self) {
    auto& room = *static_cast<Room*>(self);
    room.serveTimer_ = loop::noTimer;
    room.serveNow();
    return loop::noMore;
}

void Room::serveNow() {
    if (stage_ == Stage::Ended)
        return;
    host_.serve(watches_, watched_);
    long long now = loop_.nowMs();
    if (seeksPartner() && aloneSinceMs_ < 0)
        aloneSinceMs_ = now;
    if (seeksPartner() && now - aloneSinceMs_ >= kind_.quickWaitMs)
        kind_.levelTwo = quickComputerLevel; // nobody came: the computer plays
    if (stage_ == Stage::Waiting && everyoneReady())
        startMatch();
    if (stage_ == Stage::Ending && (!host_.sending() || now >= endBy_))
        return end();
    watch();
    // A quick match everyone left before it began is of no more use: the
    // next to come should find a room with somebody in it.
    if (watched_ == 0 && kind_.quick && stage_ == Stage::Waiting)
        return end();
    if (watched_ > 0)
        emptySinceMs_ = now;
    else if (now - emptySinceMs_ >= emptyMs_)
        end();
}

void Room::unwatch() {
    for (NetSocket handle : handles_)
        loop_.removeFile(handle);
    handles_.clear();
}

// The loop's events are brought to the host's list by difference: what
// the loop holds for a handle listed again is changed in place, so that a
// loop that keeps a set tells it only of what changed. Every handle the
// list no longer names is let go, a closed socket's too.
void Room::watch() {
    watched_ = stage_ == Stage::Ended ? 0 : host_.watched(watches_, NetService::maxSockets);
    wanted_.clear();
    for (int i = 0; i < watched_; ++i) {
        watches_[i].readable = watches_[i].writable = false;
        slots_[i] = {this, i};
        unsigned mask = watches_[i].write ? loop::readable | loop::writable : loop::readable;
        NetSocket handles[2];
        for (int h = 0, n = netHandles(watches_[i].socket, handles); h < n; ++h)
            wanted_.push_back({handles[h], mask, i});
    }
    // A handle listed twice is watched for both, with the later slot, as
    // adding it twice would have it.
    std::stable_sort(wanted_.begin(), wanted_.end(),
                     [](const Wanted& a, const Wanted& b) { return a.handle < b.handle; });
    for (std::size_t i = 1; i < wanted_.size(); ++i)
        if (wanted_[i].handle == wanted_[i - 1].handle)
            wanted_[i].mask |= wanted_[i - 1].mask;
    auto listed = [this](NetSocket handle) {
        auto at = std::lower_bound(wanted_.begin(), wanted_.end(), handle,
                                   [](const Wanted& w, NetSocket h) { return w.handle < h; });
        return at != wanted_.end() && at->handle == handle;
    };
    for (NetSocket handle : handles_)
        if (!listed(handle))
            loop_.removeFile(handle);
    kept_.clear();
    for (std::size_t i = 0; i < wanted_.size(); ++i) {
        const Wanted& w = wanted_[i];
        if (i + 1 < wanted_.size() && wanted_[i + 1].handle == w.handle)
            continue;
        bool ours = std::binary_search(handles_.begin(), handles_.end(), w.handle);
        if (unsigned dropped = loop_.fileMask(w.handle) & ~w.mask; ours && dropped != 0)
            loop_.removeFile(w.handle, dropped);
        if (loop_.addFile(w.handle, w.mask, socketCame, &slots_[w.slot]))
            kept_.push_back(w.handle);
    }
    handles_.swap(kept_); // sorted, as wanted_ is
    // The host's next deadline (a silent guest, a keep-alive), or a look
    // now and then at an empty room.
    long long due = host_.due();
    long long wait = due >= 0 ? std::max(0LL, due - netClockMs()) : emptyMs_;
    // Until the computer is given the board; not after, or a player who
    // never says Ready would have the room looked at without a pause.
    if (aloneSinceMs_ >= 0 && stage_ == Stage::Waiting && kind_.levelTwo == 0)
        wait = std::min(wait, std::max(0LL, aloneSinceMs_ + kind_.quickWaitMs - loop_.nowMs()));
    serveIn(std::min<long long>(wait, emptyMs_));
}

void Room::startMatch() {
    host_.gameStarted();
    GameSetup setup;
    if (kind_.level > 0) {
        setup.computer[0] = true;
        setup.level[0] = kind_.level;
    } else {
        setup.remote[0] = host_.playerKeys(0);
    }
    if (kind_.levelTwo > 0) {
        setup.computer[1] = true;
        setup.level[1] = kind_.levelTwo;
    } else {
        setup.remote[1] = host_.playerTwoKeys();
    }
    setup.match = true;
    setup.countdown = true;
    setup.pause = true;
    setup.firstTo = kind_.firstTo;
    setup.nobodyHere = true;
    setup.lastRound = &lastRound_;
    // After each of the host's calls its sockets are watched afresh.
    setup.frameHook = hostHook_;
    setup.frameHook.context = this;
    setup.frameHook.beforeDelay = [](void* self) {
        auto& room = *static_cast<Room*>(self);
        room.hostHook_.beforeDelay(room.hostHook_.context);
        room.watch();
    };
    setup.frameHook.frameEnded = [](void* self) {
        auto& room = *static_cast<Room*>(self);
        room.hostHook_.frameEnded(room.hostHook_.context);
        room.keepPicture(false);
        room.watch();
    };
    setup.frameHook.roundEnded = [](void* self, const record::RoundResult& round, bool over,
                                    int champion) {
        auto& room = *static_cast<Room*>(self);
        room.hostHook_.roundEnded(room.hostHook_.context, round, over, champion);
        room.keepPicture(false); // the round's last picture comes first
        room.recorder_.result(
            netplay::outcomeOf(round, &room.match_->match().setup(), over, champion),
            room.loop_.nowMs());
    };
    setup.seed = roomSeed();
    match_ = std::make_unique<LoopMatch>(loop_, setup, frameEnded, this);
    host_.setMatch(&match_->match());
    stage_ = Stage::Playing;
    recorder_.start(host_.name(0), host_.name(1));
}

// A room that keeps nothing makes no watchers' picture for it each frame.
void Room::keepPicture(bool over) {
    if (recorder_.recording())
        recorder_.picture(host_.pictureFor(net::Seat::Watcher), over, loop_.nowMs());
}

void Room::frameEnded(void* self, const SteppedMatch& /*match*/) {
    auto& room = *static_cast<Room*>(self);
    ++room.frames_;
    if (room.loop_.nowMs() - room.match_->dueMs() > lateMs)
        ++room.lateFrames_;
    if (!room.match_->over())
        return;
    if (int number = room.recorder_.kept(); number > 0)
        room.host_.sendKept(number);
    room.host_.gameOver();
    room.keepPicture(true);
    room.stage_ = Stage::Ending;
    room.endBy_ = room.loop_.nowMs() + lingerMs;
    room.askToServe();
}

void Room::drain() {
    lastRound_ = true;
    if (stage_ == Stage::Waiting)
        end();
}

void Room::end() {
    stage_ = Stage::Ended;
    unwatch();
    host_.close();
}

} // namespace server
