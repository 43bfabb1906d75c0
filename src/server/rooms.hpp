// SPDX-License-Identifier: MIT
// The server's rooms, by name: a connection for a room's game is handed to
// it, and the first for a name that has none opens one, within the limits
// (rooms at once, rooms opened from one client a minute) and only while the
// server is not draining. A room that has ended is let go at the next
// sweep, outside its own calls; the sweep also brings the counts up to date.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "loop/event_loop.hpp"
#include "net/room_road.hpp"
#include "server/counts.hpp"
#include "server/limits.hpp"
#include "server/room.hpp"

namespace server {

struct RoomLimits {
    int maxRooms = defaultMaxRooms;
    int roomsPerMinute = defaultRoomsPerMinute; // opened from one client
    int emptyMs = 5 * 60 * 1000;                // a room nobody is in ends after this
    int quickWaitMs = 30'000; // a quick match's first player waits this long for a second
};

// Every quick match is reached at net::quickRoomName: its players are
// paired with the next who waits, in rooms of their own under that path.
// A room's other names are chosen at random by whoever opens it
// (net::validRoomName).
using net::quickRoomName;
using net::validRoomName;

// What a new room plays, from its link's query: "computer=3" (the
// computer at level 3) or "friend" or "here" (two people, by a link or at
// one page), and "first-to=5"; false
// when the query opens no room the server has (neither, or a number out of
// its bounds).
bool roomKindOf(std::string_view query, RoomKind& kind);

// What the rooms tell the server's log.
class RoomEvents {
public:
    virtual ~RoomEvents() = default;
    virtual void opened(const std::string& name, const RoomKind& kind,
                        const net::PeerAddress& client) = 0;
    // `playedOut`: its match was played to the end, not left empty;
    // `kept`: the number its match is kept under, 0 for none.
    virtual void closed(const std::string& name, bool playedOut, int kept) = 0;
};

class Rooms {
public:
    enum class Taken { Yes, NoSuchRoom, Full, TooOften, Draining };

    // Each room's match is kept as `keeping` says (nothing when empty).
    explicit Rooms(loop::EventLoop& loop, const RoomLimits& limits = {},
                   RoomEvents* events = nullptr, KeepingAs keeping = {});
    ~Rooms();
    Rooms(const Rooms&) = delete;
    Rooms& operator=(const Rooms&) = delete;

    // A connection from `client` for the game of room `name`, its head
    // read; `query` is its target's, which says what a new room plays. The
    // socket is the room's when Yes, still the caller's otherwise.
    Taken take(std::string_view name, std::string_view query, NetSocket socket,
               const net::PeerAddress& client, std::string_view head);

    // No room opens from now on; those open play to the end of their round.
    void drain();
    // No room is open.
    bool idle() const { return rooms_.empty(); }
    // Ended rooms let go, the counts made current.
    void sweep();
    // The rooms' counts (as of the last sweep) into `counts`.
    void countInto(Counts& counts) const;
    int open() const { return static_cast<int>(rooms_.size()); }

private:
    static long long sweepSoon(loop::EventLoop& loop, loop::TimerId id, void* self);
    Taken takeQuick(NetSocket socket, const net::PeerAddress& client, std::string_view head);
    Taken open(const std::string& key, const std::string& name, const RoomKind& kind,
               NetSocket socket, const net::PeerAddress& client, std::string_view head);
    bool mayOpen(const net::PeerAddress& client, long long now);

    loop::EventLoop& loop_;
    Counts counts_;
    RoomLimits limits_;
    RoomEvents* events_;
    KeepingAs keeping_;
    std::map<std::string, std::unique_ptr<Room>, std::less<>> rooms_;
    struct Openings {
        long long since = 0; // the minute counted from
        int count = 0;
    };
    std::unordered_map<std::string, Openings> openings_; // by client address
    loop::TimerId sweepTimer_;
    long long quickRooms_ = 0; // opened so far, which names each apart
    bool draining_ = false;
};

} // namespace server
