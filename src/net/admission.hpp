// SPDX-License-Identifier: MIT
// The host's door: who gets in, who gives way, and how fast wrong codes are
// answered. A pure policy: the host tells it of connections opening,
// greeting, being checked and going, each by an id of the host's, with the
// time in milliseconds; it answers. No sockets and no clock.
//
// Strangers cannot hold the door shut:
// - A connection that has not greeted holds one of `greetingSlots`. While
//   they are full, the host takes a new connection only when a slot's
//   connection has had `graceMs` to greet; that one gives way, after the
//   host has read it once more, so a greeting on its way is never lost.
//   Meanwhile new connections wait in the system's queue of connections,
//   where a guest's greeting arrives right behind its connection: the host
//   reads a connection as soon as it takes it, and one that has greeted
//   needs no slot. Every slot can turn over once per graceMs, so a guest
//   behind N connections held open waits about N / greetingSlots * graceMs
//   (N = 500: under a second), however fast they reconnect.
// - The one to give way is the oldest of the address that holds the most
//   slots: an address that holds more cannot push out one that holds fewer.
// - A greeting holds no slot, nor does a refused connection.
//
// Guessing is slow and seen: each address (an IPv4 address, an IPv6 /64)
// has `freeTries` wrong codes answered at once; after that, each check of a
// code from it waits 250 ms, then 500, then a second after the last wrong
// one, and one wrong code is forgiven every `forgiveMs`. Greetings waiting
// for their check hold no slot; a few may wait for each address, and
// beyond that they are closed unchecked, which tells nothing about the
// code. Addresses are remembered `maxGroups` at a time; others share one
// more throttle, so that many addresses together check at most
// maxGroups + 1 codes a second. Every code is checked in its turn, the
// right one too: a right code answered sooner than a wrong one would tell
// the wrong ones apart at any speed.
#pragma once

#include <array>
#include <deque>
#include <string>
#include <vector>

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
    static constexpr int maxGroups = 64;

    Admission();

    // May the host take a new connection now: a slot is free, or one may
    // give way.
    bool mayAccept(long long nowMs) const;
    // A connection taken just now, before anything is read from it: it
    // holds a slot until it greets or goes.
    void opened(int id, const PeerAddress& from, long long nowMs);
    // While more connections hold slots than there are: the one to give
    // way (read it; if it still has not greeted, close it and call gone());
    // -1 when none needs to.
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

    // When something above is next due, in the clock of nowMs; -1 for never.
    long long nextDue(long long nowMs) const;
    // The host's one-line notice while it turns strangers away or someone
    // guesses, in at most `width` characters; "" otherwise.
    std::string notice(long long nowMs, std::size_t width) const;

    // Figures for the notice and for tests.
    long long turnedAway() const { return turnedAway_; }
    long long wrongCodes() const { return wrongCodes_; }

private:
    enum class State { Silent, Waiting, Checking };
    struct Connection {
        int id;
        int group;
        long long openedMs;
        State state;
    };
    struct Group {
        bool used = false;
        std::array<unsigned char, 16> key = {};
        std::string text;
        int members = 0; // connections of it the policy holds
        int silent = 0;  // of them, in slots
        std::deque<int> waiting;
        int strikes = 0; // wrong codes not yet forgiven, as of lastWrongMs
        long long lastWrongMs = 0;
        long long nextCheckMs = 0;
    };

    int groupOf(const PeerAddress& from, long long nowMs);
    static int strikesAt(const Group& group, long long nowMs);
    static bool idle(const Group& group, long long nowMs);
    Connection* find(int id);
    void forget(int id);
    int silentCount() const;
    bool anyMayGiveWay(long long nowMs) const;

    std::vector<Connection> connections_;
    std::vector<Group> groups_; // maxGroups, then the one the others share
    int waiting_ = 0;
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
