// SPDX-License-Identifier: MIT
// The host's door: it takes connections from the listener (or adopted
// ones), reads the strangers on them, answers a browser's request, has
// each greeting's code checked when net::Admission says, refuses with a
// reason and gives a refused connection a little time to read it, makes
// room and times out the silent. A guest with the right code whose seat is
// held by a silent connection waits for it, one a seat. A guest with the
// right code and room in its seat is welcomed and handed over to the hall, with its connection,
// exactly once; the door keeps nothing of it.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "net/admission.hpp"
#include "net/host_names.hpp"
#include "net/join_code.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"
#include "netplay/link.hpp"
#include "netplay/network.hpp"

namespace netplay {

// What one connection's reads may bring in one serve: a greeting, or far
// more keys than a person sends in a frame, and little work for a flood.
constexpr std::size_t bytesPerServe = 1024;

// A guest the door let in, as it hands it over.
struct Arrival {
    std::unique_ptr<Link> link; // welcomed already
    net::Seat seat = net::Seat::Watcher;
    net::PeerAddress from;
    std::string name; // its player's, as checked; "" for none
    // What it sent after its greeting in the same read, in order: the hall
    // reads it as it would have read it a moment later.
    std::vector<net::Message> early;
};

// Where the door's guests go once let in, and who says whether a seat has room.
class Hall {
public:
    virtual ~Hall() = default;
    // Why a guest with the right code finds no room in `seat` now, or
    // nothing when it does (room may be made for it).
    virtual std::optional<net::Refusal> noRoom(net::Seat seat, long long nowMs) = 0;
    // When `seat`, with no room now, comes free unless its holder is heard
    // from meanwhile: a guest with the right code may wait for it until
    // then, asking noRoom() again. -1 when it may not wait.
    virtual long long seatFreesAt(net::Seat seat, long long nowMs) const = 0;
    // A guest let in; its connection may have closed after its early messages.
    virtual void enter(Arrival arrival, long long nowMs) = 0;
};

class Door {
public:
    // Refused connections that may still read why; more and the oldest is closed.
    static constexpr int maxLeaving = 16;
    // The longest a guest with the right code waits for its seat: a seat
    // that does not come free by then is refused as taken.
    static constexpr int seatWaitMs = net::helloLimitMs;

    // `listener` is taken over; noSocket for none (connections then come by take()).
    Door(Hall& hall, const net::JoinCode& code, NetSocket listener);
    ~Door();
    Door(const Door&) = delete;
    Door& operator=(const Door&) = delete;

    // The names a browser may reach this host by: a request under any
    // other is refused. None until set.
    void answerTo(net::HostNames names) { names_ = std::move(names); }
    // Where a browser finds this door's page and its game, under one path
    // (a server's room: /r/ROOM and /r/ROOM/play); the site's own by default.
    void answerAt(std::string base) { base_ = std::move(base); }
    // The door has no code of its own yet: the first player to greet it
    // gives it (a room on a server, opened by whoever chose its name and
    // code), and everyone after is checked against that.
    void takeFirstPlayersCode() { firstGives_ = true; }
    // Every code is right (a server's quick match, where strangers meet):
    // the door's other bounds all hold.
    void takeAnyCode() { anyCode_ = true; }

    // A connection accepted elsewhere, read at once like any other;
    // `already` is what was read from it before (a request's head).
    void take(NetSocket socket, const net::PeerAddress& from, long long nowMs,
              std::string_view already = {});

    // The listener (while a connection may be taken) and the strangers'
    // sockets, up to `room`; how many. serve() takes them back in this order.
    int watched(SocketWatch* watches, int room, long long nowMs);
    void serve(const SocketWatch* watches, int count, long long nowMs);
    // When serve() is next due with nothing ready; -1 for no time.
    long long due(long long nowMs) const;
    // A stranger not yet refused still has bytes queued (a browser's switch).
    bool sending() const;
    // Closes every connection and the listener.
    void close();

    // A guest let in from `from` was ended for flooding the host.
    void flooded(const net::PeerAddress& from, long long nowMs) { admission_.flooded(from, nowMs); }
    // How many it turned away, how many wrong codes it was given.
    const net::Admission& admission() const { return admission_; }
    const net::JoinCode& code() const { return code_; }

private:
    // Greeting: not greeted yet; Waiting: greeted, its code not checked yet;
    // ForSeat: the right code, waiting for its seat to come free; LetIn:
    // welcomed, to be handed over.
    enum class Stage { Greeting, Waiting, ForSeat, LetIn, Leaving };
    struct Stranger {
        int id = 0;                 // admission's name for it
        std::unique_ptr<Link> link; // null once handed over
        Stage stage = Stage::Greeting;
        net::Seat seat = net::Seat::Watcher;
        net::JoinCode code = {}; // Waiting: the code to check
        std::string name;        // its player's, checked
        bool shutDown = false;   // Leaving: no more bytes go to it
        long long leaveBy = 0;
        long long pageBy = 0; // Leaving with the page: the most it is kept
        long long seatBy = 0; // ForSeat: refused when its seat is not free by then
        long long askAt = 0;  // ForSeat: when its seat comes free if nothing is heard
        net::PeerAddress from;
        std::vector<net::Message> early; // LetIn: what came after the greeting
    };

    static bool open(const Stranger& s) { return s.link != nullptr && s.link->isOpen(); }
    void acceptAll(long long now);
    void readFrom(Stranger& s, long long now);
    // A browser's request: its page, or the switch after which it greets
    // as any guest; the page and every refusal end the connection.
    void answerBrowser(Stranger& s, long long now);
    void makeRoom(long long now);
    void timeOut(long long now);
    void takeTurns(long long now);
    Stranger* find(int id);
    void handle(Stranger& s, const net::Message& message, long long now);
    void greet(Stranger& s, const net::Message& hello, long long now);
    void check(Stranger& s, long long now);
    // A right code: let in, left to wait for its seat, or refused.
    void seat(Stranger& s, long long now);
    void waitForSeats(long long now);
    bool seatWaitedFor(net::Seat seat) const;
    void handOver(Stranger& s, long long now);
    void refuse(Stranger& s, net::Refusal reason, long long now);
    // Told what it was told; closed once it has read it or had its time.
    void leave(Stranger& s, long long now);
    // Closes the connection; `turnedAway` when for what it did or did not do.
    void drop(Stranger& s, long long now, bool turnedAway);
    static void keepTime(Stranger& s, long long now);

    Hall& hall_;
    net::JoinCode code_;
    net::HostNames names_;
    std::string base_;
    bool firstGives_ = false;
    bool anyCode_ = false;
    NetSocket listener_;
    std::vector<Stranger> strangers_;
    std::vector<int> slots_; // for each socket watched(): its stranger, -1 the listener
    bool listening_ = false; // the listener was among them
    net::Admission admission_;
    int nextId_ = 1;
    long long acceptAgainMs_ = 0; // after the system ran out of descriptors
};

} // namespace netplay
