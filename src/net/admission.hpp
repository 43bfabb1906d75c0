// SPDX-License-Identifier: MIT
// The host's door: who gets in, who gives way, and how fast wrong codes are
// answered. A pure policy: the host tells it of connections opening,
// greeting, being checked and going, each by an id of the host's, with the
// time in milliseconds; it answers. No sockets and no clock.
//
// Strangers cannot hold the door shut:
// - A connection that has not greeted holds one of `greetingSlots`. When a
//   new one finds them full, one gives way at once (after the host has read
//   it once more, so a greeting on its way is never lost): first of an
//   address with something against it (a wrong code not yet forgiven, or a
//   connection turned away in the last forgiveMs), from the address that
//   holds the most slots, the oldest; such a newcomer is itself the one to
//   go when it would push out one of an address with nothing against it.
//   Between addresses with nothing against them, a slot gives way only once
//   its connection has had `graceMs` to greet; until then new connections
//   wait in the system's queue. Many fresh addresses that hold connections
//   so keep the slots turning over once per graceMs only until each has
//   been turned away once (1,000 addresses: about 1.6 s).
// - So an address that holds slots and is turned away (by silence, by
//   giving way) has what it opens next closed at once unless it holds
//   fewer slots than another such address: the door takes connections as
//   fast as the system hands them over, however many are held and reopened
//   from however many addresses, and a connection from an address with
//   nothing against it always finds a slot.
// - A greeting holds no slot, nor does a refused connection.
//
// Guessing is slow and seen: each address (an IPv4 address, an IPv6 /64)
// has `freeTries` wrong codes answered at once; after that, each check of a
// code from it waits 250 ms, then 500, then a second after the last wrong
// one, and one wrong code is forgiven every `forgiveMs`. Greetings waiting
// for their check hold no slot; a few may wait for each address and
// `maxWaiting` in all, and beyond that they are closed unchecked, which
// tells nothing about the code. A greeting from an address with nothing
// against it is checked at once: it never waits behind anyone else's
// guesses and is never closed for lack of room. Every code is checked in
// its turn, the right one too: a right code answered sooner than a wrong
// one would tell the wrong ones apart at any speed. A guest that was let in
// and ended for flooding the host counts as a wrong code of its address.
//
// Addresses are remembered `maxRecords` at a time (a record is a few dozen
// bytes). One with nothing against it and no connection is forgotten at
// once; when a new address finds the records full, the least recently seen
// address without a connection in the door is forgotten. Only addresses
// with something against them are remembered, so a crowd can push out only
// such records (which gives them a fresh start), and never keeps a
// stranger out.
//
// What many addresses gain: checks of addresses past their free tries
// share `throttledPerSecond` turns a second between them, on top of each
// one's own throttle; an address with nothing against it, or within its
// free tries, needs none, so a crowd cannot keep a stranger waiting (one
// that has typed three wrong codes of late waits among the crowd). So A
// addresses guess 3 * A codes at once, then one each as their wrong codes
// are forgiven (A / 10 a second) and 64 a second between them: 1,000
// addresses about 164 a second, a random code found in about 100 years on
// average. An attacker rotating over more than maxRecords addresses finds
// its records forgotten when it comes back, and each return has its free
// tries again, so its rate is bounded only by how fast the host takes
// connections (15,000 to 25,000 a second on loopback here): at 20,000 a
// second a random code is found in about 10 months on average. A game
// lasts hours.
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "net/rate_limit.hpp"

namespace net {

// Where a connection comes from.
struct PeerAddress {
    std::array<unsigned char, 16> bytes = {}; // IPv6; IPv4 as ::ffff:a.b.c.d
    std::string text;                         // as the host's notice shows it
};

// What to do with a greeting's code: check it now, keep the connection
// until nextTurn() names it, or close it unchecked.
enum class Verdict { Check, Wait, Drop };

class Admission {
public:
    static constexpr int greetingSlots = 64;
    static constexpr int graceMs = 100;
    static constexpr int maxWaiting = 16; // greetings waiting for their check, in all
    static constexpr int waitingPerGroup = 4;
    static constexpr int freeTries = 3;
    static constexpr int firstDelayMs = 250;
    static constexpr int maxDelayMs = 1000;
    static constexpr int forgiveMs = 10'000;
    static constexpr int noticeMs = 10'000; // how long the notice stays after the last event
    static constexpr int maxRecords = 4096;
    // Checks of addresses past their free tries, a second, all together.
    static constexpr int throttledPerSecond = 64;

    Admission();
    ~Admission();
    Admission(const Admission&) = delete;
    Admission& operator=(const Admission&) = delete;

    // May the host take a new connection now: a slot is free, or one may
    // give way.
    bool mayAccept(long long nowMs) const;
    // A connection taken just now, before anything is read from it: it
    // holds a slot until it greets or goes.
    void opened(int id, const PeerAddress& from, long long nowMs);
    // While more connections hold slots than there are: the one to give
    // way, perhaps the newest (read it; if it still has not greeted, close
    // it and call gone()); -1 when none needs to.
    int givesWay(long long nowMs) const;
    // A connection whose time to greet is up (close it, then gone()); -1 for none.
    int expired(long long nowMs) const;

    // The connection greeted with a code of this version.
    Verdict hello(int id, long long nowMs);
    // A waiting greeting whose code is to be checked now; -1 for none.
    int nextTurn(long long nowMs);
    // The code of a greeting that hello() or nextTurn() let through was
    // checked: right or wrong.
    void checked(int id, bool rightCode, long long nowMs);

    // The connection is closed: by itself, or by the host; `turnedAway` when
    // the host closed it for what it did or did not do.
    void gone(int id, bool turnedAway, long long nowMs);
    // A guest let in from `from` was ended for flooding the host: it counts
    // as a wrong code of that address, so that joining again and again to
    // flood is as slow as guessing.
    void flooded(const PeerAddress& from, long long nowMs);

    // When something above is next due, in the clock of nowMs; -1 for never.
    long long nextDue(long long nowMs) const;
    // The host's one-line notice while it turns strangers away or someone
    // guesses, in at most `width` characters; "" otherwise.
    std::string notice(long long nowMs, std::size_t width) const;

    // Figures for the notice and for tests.
    long long turnedAway() const { return turnedAway_; }
    long long wrongCodes() const { return wrongCodes_; }
    // Addresses remembered now: never more than maxRecords.
    std::size_t records() const;

private:
    enum class State { Silent, Waiting, Checking };
    struct Record;
    class Records;
    struct Connection {
        int id;
        Record* record;
        long long openedMs;
        State state;
        std::string from; // the address as the notice shows it
    };

    static int strikesAt(const Record& record, long long nowMs);
    // A wrong code not yet forgiven, or a connection turned away lately.
    static bool suspect(const Record& record, long long nowMs);
    static void strike(Record& record, long long nowMs);
    Connection* find(int id);
    void forget(int id, long long nowMs);
    int silentCount() const;
    static bool mayGiveWay(const Connection& c, long long nowMs);
    // Whether the address's turn has come, taking a shared turn if it
    // needs one.
    bool takeTurn(const Record& record, long long nowMs);

    std::unique_ptr<Records> records_;
    std::vector<Connection> connections_;
    std::deque<int> waiting_; // greetings waiting for their check, oldest first
    TokenBucket throttled_{throttledPerSecond, throttledPerSecond};
    long long turnedAway_ = 0;
    long long lastTurnedAwayMs_ = 0;
    long long wrongCodes_ = 0;
    long long lastWrongMs_ = 0;
    std::string lastWrongFrom_;
};

// The group an address counts in: an IPv4 address whole, an IPv6 address
// by its /64, the network one machine usually has.
std::array<unsigned char, 16> addressGroup(const std::array<unsigned char, 16>& bytes);

} // namespace net
