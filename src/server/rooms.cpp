// SPDX-License-Identifier: MIT
#include "server/rooms.hpp"

#include <utility>

#include <algorithm>
#include <charconv>

#include "computer/level.hpp"
#include "game/game.hpp"

namespace server {

namespace {

constexpr int sweepEveryMs = 1000;
constexpr long long minuteMs = 60'000;

// The number `name`=N of `query`, if it has one; false for one that is no
// number.
bool queryNumber(std::string_view query, std::string_view name, int& value, bool& found) {
    found = false;
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (pair.size() <= name.size() || pair.substr(0, name.size()) != name ||
            pair[name.size()] != '=')
            continue;
        std::string_view digits = pair.substr(name.size() + 1);
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc() || end != digits.data() + digits.size())
            return false;
        found = true;
    }
    return true;
}

std::string keyOf(const net::PeerAddress& a) { return {a.bytes.begin(), a.bytes.end()}; }

} // namespace

bool roomKindOf(std::string_view query, RoomKind& kind) {
    bool hasLevel = false;
    bool hasFirstTo = false;
    int level = 0;
    int firstTo = 0;
    if (!queryNumber(query, "computer", level, hasLevel) ||
        !queryNumber(query, "first-to", firstTo, hasFirstTo))
        return false;
    bool friendly = false;
    for (std::string_view rest = query; !rest.empty();) {
        std::size_t amp = rest.find('&');
        // Two people by a link, or both at one page: the server seats them alike.
        friendly = friendly || rest.substr(0, amp) == "friend" || rest.substr(0, amp) == "here";
        rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    }
    if (friendly == hasLevel)
        return false; // neither, or both
    if (hasLevel && (level < computerMinLevel || level > computerMaxLevel))
        return false;
    if (hasFirstTo && (firstTo < 0 || firstTo > maxFirstTo))
        return false;
    kind.level = friendly ? 0 : level;
    kind.firstTo = hasFirstTo ? firstTo : 0;
    return true;
}

Rooms::Rooms(loop::EventLoop& loop, const RoomLimits& limits, RoomEvents* events, KeepingAs keeping)
    : loop_(loop), limits_(limits), events_(events), keeping_(std::move(keeping)) {
    sweepTimer_ = loop_.addTimer(sweepEveryMs, sweepSoon, this);
}

Rooms::~Rooms() { loop_.cancelTimer(sweepTimer_); }

Rooms::Taken Rooms::take(std::string_view name, std::string_view query, NetSocket socket,
                         const net::PeerAddress& client, std::string_view head) {
    if (name == quickRoomName)
        return takeQuick(socket, client, head);
    auto found = rooms_.find(name);
    if (found != rooms_.end()) {
        found->second->take(socket, client, head);
        return Taken::Yes;
    }
    RoomKind kind;
    if (!roomKindOf(query, kind))
        return Taken::NoSuchRoom;
    return open(std::string(name), std::string(name), kind, socket, client, head);
}

void Rooms::drain() {
    draining_ = true;
    for (auto& [name, room] : rooms_)
        room->drain();
}

// The next to come joins the room of whoever waits; with nobody waiting,
// a room of its own waits for the one after. Each is kept under a name no
// link can ask for (a space is no room name's), its path the quick one's.
Rooms::Taken Rooms::takeQuick(NetSocket socket, const net::PeerAddress& client,
                              std::string_view head) {
    for (auto& [name, room] : rooms_) {
        if (room->seeksPartner()) {
            room->take(socket, client, head);
            return Taken::Yes;
        }
    }
    RoomKind kind;
    kind.level = 0;
    kind.quick = true;
    kind.quickWaitMs = limits_.quickWaitMs;
    std::string key = std::string(quickRoomName) + " " + std::to_string(quickRooms_ + 1);
    Taken taken = open(key, std::string(quickRoomName), kind, socket, client, head);
    if (taken == Taken::Yes)
        ++quickRooms_;
    return taken;
}

// A new room under `key`, at the path of `name`, when the limits allow.
Rooms::Taken Rooms::open(const std::string& key, const std::string& name, const RoomKind& kind,
                         NetSocket socket, const net::PeerAddress& client, std::string_view head) {
    if (draining_)
        return Taken::Draining;
    if (static_cast<int>(rooms_.size()) >= limits_.maxRooms)
        return Taken::Full;
    if (!mayOpen(client, loop_.nowMs()))
        return Taken::TooOften;
    auto room = std::make_unique<Room>(loop_, name, kind, limits_.emptyMs, nullptr, keeping_);
    Room& r = *rooms_.emplace(key, std::move(room)).first->second;
    counts_.rooms = static_cast<long long>(rooms_.size());
    if (events_ != nullptr)
        events_->opened(key, kind, client);
    r.take(socket, client, head);
    return Taken::Yes;
}

bool Rooms::mayOpen(const net::PeerAddress& client, long long now) {
    Openings& o = openings_[keyOf(client)];
    if (now - o.since >= minuteMs)
        o = {now, 0};
    if (o.count >= limits_.roomsPerMinute)
        return false;
    ++o.count;
    return true;
}

void Rooms::sweep() {
    long long players = 0;
    long long watchers = 0;
    for (auto it = rooms_.begin(); it != rooms_.end();) {
        Room& room = *it->second;
        counts_.lateFrames += room.takeLateFrames();
        if (room.ended()) {
            if (room.playedOut())
                ++counts_.matchesEnded;
            if (events_ != nullptr)
                events_->closed(it->first, room.playedOut(), room.kept());
            it = rooms_.erase(it);
            continue;
        }
        players += room.players();
        watchers += room.watchers();
        ++it;
    }
    counts_.rooms = static_cast<long long>(rooms_.size());
    counts_.players = players;
    counts_.watchers = watchers;
    long long now = loop_.nowMs();
    std::erase_if(openings_, [now](const auto& o) { return now - o.second.since >= minuteMs; });
}

void Rooms::countInto(Counts& counts) const {
    counts.rooms = static_cast<long long>(rooms_.size());
    counts.players = counts_.players;
    counts.watchers = counts_.watchers;
    counts.matchesEnded = counts_.matchesEnded;
    counts.lateFrames = counts_.lateFrames;
}

long long Rooms::sweepSoon(loop::EventLoop& /*loop*/, loop::TimerId /*id*/, void* self) {
    static_cast<Rooms*>(self)->sweep();
    return sweepEveryMs;
}

} // namespace server
