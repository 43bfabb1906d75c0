// SPDX-License-Identifier: MIT
// The guests' connections: reading and pacing them, keeping them alive,
// ending the silent, and the pictures' flow to each.
#include "netplay/guests.hpp"

#include <algorithm>
#include <utility>

namespace netplay {

std::optional<net::Refusal> Guests::noRoom(net::Seat seat, long long nowMs) {
    if (seat == net::Seat::Player && count(seat, false) >= playerSeats_ && !freeSilentSeat(nowMs))
        return net::Refusal::SeatTaken;
    if (seat == net::Seat::Watcher && count(seat, false) >= maxWatchers)
        return net::Refusal::NoRoom;
    return std::nullopt;
}

// A live connection is heard at least every keepAliveMs: one quieter than
// that may be a stalled link, whose player may be the one coming back.
long long Guests::seatFreesAt(net::Seat seat, long long nowMs) const {
    if (seat != net::Seat::Player)
        return -1;
    long long frees = -1;
    for (const Peer& p : peers_) {
        if (p.seat != net::Seat::Player || !p.link->isOpen())
            continue;
        long long heard = p.link->heardMs();
        if (nowMs - heard >= net::keepAliveMs && (frees < 0 || heard + seatSilenceMs + 1 < frees))
            frees = heard + seatSilenceMs + 1;
    }
    return frees;
}

int Guests::freeBoard() const {
    if (playerSeats_ == 1)
        return 1;
    bool boardOneHeld = std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) {
        return p.seat == net::Seat::Player && p.board == 0 && p.link->isOpen();
    });
    return boardOneHeld ? 1 : 0;
}

// What it sent with its greeting is read as if it came now; a connection
// that ended after it ends here too.
void Guests::enter(Arrival arrival, long long nowMs) {
    Peer peer;
    peer.link = std::move(arrival.link);
    peer.seat = arrival.seat;
    peer.board = arrival.seat == net::Seat::Player ? freeBoard() : 1;
    peer.from = std::move(arrival.from);
    peer.name = std::move(arrival.name);
    peers_.push_back(std::move(peer));
    std::size_t at = peers_.size() - 1;
    tellNames(&peers_[at], nowMs);
    for (const net::Message& message : arrival.early)
        if (peers_[at].link->isOpen() && paced(peers_[at], &message, nowMs))
            handle(peers_[at], message, nowMs);
    if (!peers_[at].link->isOpen())
        drop(peers_[at], nowMs);
}

void Guests::nameBoard(int board, std::string name, long long nowMs) {
    ownNames_[board] = std::move(name);
    tellNames(nullptr, nowMs);
}

// A board a guest plays has its guest's name, even an empty one.
void Guests::tellNames(const Peer* newcomer, long long now) {
    std::string names[2] = {ownNames_[0], ownNames_[1]};
    for (const Peer& p : peers_)
        if (p.seat == net::Seat::Player && p.link->isOpen())
            names[p.board] = p.name;
    bool changed = names[0] != toldNames_[0] || names[1] != toldNames_[1];
    if (!changed && newcomer == nullptr)
        return;
    toldNames_[0] = names[0];
    toldNames_[1] = names[1];
    std::string message;
    net::appendNames(message, names[0], names[1]);
    for (Peer& p : peers_)
        if (p.link->isOpen() && (changed || &p == newcomer))
            p.link->queue(message, now);
}

bool Guests::playerReady(int board) const {
    return std::any_of(peers_.begin(), peers_.end(), [board](const Peer& p) {
        return p.seat == net::Seat::Player && p.board == board && p.stage == Stage::Ready &&
               p.link->isOpen();
    });
}

int Guests::watching() const { return count(net::Seat::Watcher, true); }

int Guests::count(net::Seat seat, bool readyOnly) const {
    return static_cast<int>(std::count_if(peers_.begin(), peers_.end(), [&](const Peer& p) {
        return p.seat == seat && p.link->isOpen() && (!readyOnly || p.stage == Stage::Ready);
    }));
}

// A guest that is behind gets no deltas: they would only pile up. It gets
// the whole picture once it has read what it was sent.
void Guests::show(long long nowMs) {
    GuestEvents::Showing showing = events_.showing();
    if (showing == GuestEvents::Showing::Nothing)
        return;
    bool over = showing == GuestEvents::Showing::Final;
    // Player one's picture, player two's, a watcher's: each made once.
    std::optional<net::Picture> pictures[3];
    auto pictureOf = [&](const Peer& peer) -> const net::Picture& {
        int which = peer.seat == net::Seat::Player ? peer.board : 2;
        if (!pictures[which])
            pictures[which] = events_.pictureFor(peer.seat, peer.board);
        return *pictures[which];
    };
    for (Peer& peer : peers_) {
        if (peer.stage != Stage::Ready || peer.feed.ended())
            continue;
        if (peer.feed.pictured() && (peer.stale || peer.link->queued() > maxQueued)) {
            peer.stale = true;
            continue;
        }
        std::string message = peer.feed.next(pictureOf(peer), over);
        if (!message.empty())
            peer.link->queue(message, nowMs);
    }
}

void Guests::sendWhole(Peer& peer, long long now) {
    GuestEvents::Showing showing = events_.showing();
    peer.stale = false;
    std::string message = peer.feed.whole(events_.pictureFor(peer.seat, peer.board),
                                          showing == GuestEvents::Showing::Final);
    if (!message.empty())
        peer.link->queue(message, now);
}

void Guests::toEveryGuest(const std::string& message, long long nowMs) {
    for (Peer& peer : peers_)
        if (peer.stage == Stage::Ready && peer.link->isOpen())
            peer.link->queue(message, nowMs);
}

void Guests::readFrom(Peer& peer, long long now) {
    auto pacedThenHandled = [&](const net::Message& m) {
        if (paced(peer, &m, now))
            handle(peer, m, now);
    };
    if (peer.link->isOpen() && !peer.link->receive(now, pacedThenHandled, bytesPerServe))
        drop(peer, now);
}

// Each read counts as a message too: bytes sent one at a time would
// otherwise wake the host for each.
bool Guests::paced(Peer& peer, const net::Message* message, long long now) {
    bool droppable =
        message != nullptr && message->type == net::MessageType::Key &&
        (message->keyKind == net::KeyKind::Press || message->keyKind == net::KeyKind::Repeat);
    switch (peer.pace.message(droppable, now)) {
    case net::Pace::Take: return true;
    case net::Pace::Drop: return false;
    case net::Pace::End: break;
    }
    events_.flooded(peer.from, now);
    drop(peer, now);
    return false;
}

void Guests::handle(Peer& peer, const net::Message& message, long long now) {
    using net::MessageType;
    switch (peer.stage) {
    case Stage::Welcomed:
        if (message.type == MessageType::Ready)
            ready(peer, message, now);
        else if (message.type != MessageType::KeepAlive)
            drop(peer, now);
        return;
    case Stage::Ready:
        if (message.type == MessageType::Key && peer.seat == net::Seat::Player)
            events_.playerKey(message, peer.board);
        else if (message.type != MessageType::KeepAlive)
            drop(peer, now);
        return;
    }
}

void Guests::ready(Peer& peer, const net::Message& message, long long now) {
    peer.stage = Stage::Ready;
    if (peer.seat == net::Seat::Player)
        events_.playerJoined(message, peer.board);
    if (events_.showing() != GuestEvents::Showing::Nothing)
        sendWhole(peer, now);
}

// Player two's seat, held by a connection not heard from for seatSilenceMs:
// a link that went half-open, whose player is back on a new one with the
// right code. That one gets in at once rather than after silenceLimitMs.
bool Guests::freeSilentSeat(long long now) {
    auto silent = [now](const Peer& p) {
        return p.seat == net::Seat::Player && p.link->isOpen() &&
               now - p.link->heardMs() > seatSilenceMs;
    };
    auto it = std::find_if(peers_.begin(), peers_.end(), silent);
    if (it == peers_.end())
        return false;
    drop(*it, now);
    return true;
}

// Once: a link closed while it was read ends the read as a broken one.
void Guests::drop(Peer& peer, long long now) {
    bool onPage = peer.link->isWebSocket();
    peer.link->close();
    if (peer.seat == net::Seat::Player && !peer.dropped)
        events_.playerLeft(onPage, peer.board);
    if (!peer.dropped)
        tellNames(nullptr, now);
    peer.dropped = true;
}

// Deadlines: five seconds of silence, a keep-alive after a second without
// sending.
void Guests::keepTime(Peer& peer, long long now) {
    Link& link = *peer.link;
    if (!link.isOpen())
        return;
    if (now - link.heardMs() >= net::silenceLimitMs) {
        drop(peer, now);
    } else if (link.queued() == 0 && now - link.sentMs() >= net::keepAliveMs) {
        std::string keepAlive;
        net::appendKeepAlive(keepAlive);
        link.queue(keepAlive, now);
    }
}

long long Guests::nextDue(const Peer& peer) {
    const Link& link = *peer.link;
    long long silence = link.heardMs() + net::silenceLimitMs;
    if (link.queued() > 0)
        return silence;
    return std::min(silence, link.sentMs() + net::keepAliveMs);
}

int Guests::watched(SocketWatch* watches, int room) {
    slots_.clear();
    int n = 0;
    for (std::size_t i = 0; i < peers_.size() && n < room; ++i) {
        const Link& link = *peers_[i].link;
        if (!link.isOpen())
            continue;
        watches[n++] = {link.socket(), link.queued() > 0, false, false};
        slots_.push_back(static_cast<int>(i));
    }
    return n;
}

void Guests::serve(const SocketWatch* watches, int count, long long nowMs) {
    for (int i = 0; i < count && i < static_cast<int>(slots_.size()); ++i) {
        const SocketWatch& watch = watches[i];
        if (!watch.readable && !watch.writable)
            continue;
        Peer& peer = peers_[static_cast<std::size_t>(slots_[static_cast<std::size_t>(i)])];
        if (!peer.link->isOpen() || watch.socket != peer.link->socket())
            continue;
        if (watch.writable)
            peer.link->sendQueued(nowMs);
        if (!watch.readable || paced(peer, nullptr, nowMs))
            readFrom(peer, nowMs);
    }
    slots_.clear();
    for (Peer& peer : peers_) {
        keepTime(peer, nowMs);
        if (peer.stale && peer.link->isOpen() && peer.link->queued() == 0)
            sendWhole(peer, nowMs);
    }
    std::erase_if(peers_, [](const Peer& p) { return !p.link->isOpen(); });
}

long long Guests::due() const {
    long long next = -1;
    for (const Peer& peer : peers_) {
        long long at = peer.link->isOpen() ? nextDue(peer) : -1;
        if (at >= 0 && (next < 0 || at < next))
            next = at;
    }
    return next;
}

bool Guests::sending() const {
    return std::any_of(peers_.begin(), peers_.end(),
                       [](const Peer& p) { return p.link->isOpen() && p.link->queued() > 0; });
}

void Guests::close() {
    peers_.clear();
    slots_.clear();
}

} // namespace netplay
