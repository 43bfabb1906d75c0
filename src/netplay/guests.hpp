// SPDX-License-Identifier: MIT
// The connections of the guests the door let in, terminals' and browsers'
// alike: their links, what each may make the host do, keep-alives and
// silence, player two's seat given to a new connection when the old one
// fell silent, and the game's pictures held back from a guest that does not
// read until it has caught up. What the messages mean for the game, and
// what the pictures are, the game's side says (GuestEvents).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/rate_limit.hpp"
#include "netplay/door.hpp"
#include "netplay/picture_feed.hpp"

namespace netplay {

// The game's side of the guests.
class GuestEvents {
public:
    // What the guests are shown: nothing before the game begins, then the
    // game, then its final picture and its end.
    enum class Showing { Nothing, Game, Final };

    virtual ~GuestEvents() = default;
    // The player of `board` (1 for player two; a server's room may have
    // guests on both) said how its keys come (`ready` is its Ready message).
    virtual void playerJoined(const net::Message& ready, int board) = 0;
    // One of that player's key messages.
    virtual void playerKey(const net::Message& key, int board) = 0;
    // That player's connection closed; `onPage`: it was a browser's page.
    virtual void playerLeft(bool onPage, int board) = 0;
    // A guest from `from` was ended for sending far more than a person could.
    virtual void flooded(const net::PeerAddress& from, long long nowMs) = 0;
    virtual Showing showing() const = 0;
    // What a guest in `seat` (a player: of `board`) is shown now.
    virtual net::Picture pictureFor(net::Seat seat, int board) const = 0;
};

class Guests : public Hall {
public:
    static constexpr int maxWatchers = 4;
    // Bytes queued for one guest past which it gets no more deltas; once it
    // has caught up it gets the whole picture again.
    static constexpr std::size_t maxQueued = std::size_t{16} * 1024;
    // A player connection this silent gives its seat to a new one with the
    // right code: a live guest sends something every keepAliveMs. One
    // that came while the seat's connection had been silent longer than
    // a live one is waits for it.
    static constexpr int seatSilenceMs = 2 * net::keepAliveMs;

    explicit Guests(GuestEvents& events) : events_(events) {}

    // Guests may play both boards (a server's room of two people), not
    // only player two's: the first player in takes board one.
    void seatBothPlayers() { playerSeats_ = 2; }

    // The door's questions: room in a seat, and a guest let in.
    std::optional<net::Refusal> noRoom(net::Seat seat, long long nowMs) override;
    long long seatFreesAt(net::Seat seat, long long nowMs) const override;
    void enter(Arrival arrival, long long nowMs) override;

    // The name of `board`'s player when no guest plays it (the host's own
    // player, or none for a computer): every guest is told the names.
    void nameBoard(int board, std::string name, long long nowMs);

    // The name of `board`'s player as the guests were last told.
    const std::string& name(int board) const { return toldNames_[board]; }

    // The player of `board` is here and has said how its keys come.
    bool playerReady(int board = 1) const;
    // How many watchers are shown the game.
    int watching() const;
    // The game's pictures to every guest that is shown them: the changes
    // since its last, or nothing while it is behind.
    void show(long long nowMs);
    // One message to every guest that is shown the game.
    void toEveryGuest(const std::string& message, long long nowMs);

    // Their sockets, up to `room`; serve() takes them back in this order.
    int watched(SocketWatch* watches, int room);
    void serve(const SocketWatch* watches, int count, long long nowMs);
    // When serve() is next due with nothing ready; -1 for no time.
    long long due() const;
    // Some guest still has bytes queued.
    bool sending() const;
    // Closes every connection.
    void close();

private:
    enum class Stage { Welcomed, Ready };
    struct Peer {
        std::unique_ptr<Link> link;
        Stage stage = Stage::Welcomed;
        net::Seat seat = net::Seat::Watcher;
        int board = 1; // a player's
        net::PeerAddress from;
        std::string name;     // a player's, checked by the door
        net::GuestPace pace;  // what it may make the host do
        PictureFeed feed;     // what it was last sent
        bool stale = false;   // deltas stopped until it catches up
        bool dropped = false; // the game has been told
    };

    void readFrom(Peer& peer, long long now);
    // Whether the guest may go on: false once it has sent far more than a
    // person could (the connection is closed then); `message` may be
    // dropped meanwhile (false too).
    bool paced(Peer& peer, const net::Message* message, long long now);
    void handle(Peer& peer, const net::Message& message, long long now);
    void ready(Peer& peer, const net::Message& message, long long now);
    bool freeSilentSeat(long long now);
    void drop(Peer& peer, long long now);
    void keepTime(Peer& peer, long long now);
    static long long nextDue(const Peer& peer);
    void sendWhole(Peer& peer, long long now);
    int count(net::Seat seat, bool readyOnly) const;

    // A player's free board, the lowest first.
    int freeBoard() const;
    // The names as they stand now; to every guest when they changed, and
    // to `newcomer` (after its Welcome) in any case.
    void tellNames(const Peer* newcomer, long long now);

    GuestEvents& events_;
    int playerSeats_ = 1;
    std::vector<Peer> peers_;
    std::vector<int> slots_;  // for each socket watched(): its peer
    std::string ownNames_[2]; // the boards' names when no guest plays them
    std::string toldNames_[2];
};

} // namespace netplay
