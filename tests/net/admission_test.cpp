// SPDX-License-Identifier: MIT
// The host's door, driven by events and times as the host would drive it:
// who gives way when the slots are full, how wrong codes are answered ever
// more slowly per address, and what the host's notice says.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "net/admission.hpp"
#include "net/protocol.hpp"

namespace {

using namespace net;

PeerAddress v4(unsigned char last, unsigned char third = 0) {
    PeerAddress a;
    a.bytes = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 203, 0, third, last};
    a.text = "203.0." + std::to_string(third) + "." + std::to_string(last);
    return a;
}

PeerAddress v6(unsigned char subnet, unsigned char host) {
    PeerAddress a;
    a.bytes = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, subnet, 0, 0, 0, 0, 0, 0, 0, host};
    a.text = "2001:db8:0:" + std::to_string(subnet) + "::" + std::to_string(host);
    return a;
}

// Fills every slot from `from`, ids from `firstId`, all at `at`.
void fill(Admission& door, const PeerAddress& from, int firstId, long long at) {
    for (int i = 0; i < Admission::greetingSlots; ++i)
        door.opened(firstId + i, from, at);
}

// A connection from `from` that greets at once, with the right code or a
// wrong one: the door's verdict, the code checked when the door says so.
Verdict greets(Admission& door, int id, const PeerAddress& from, long long at, bool right) {
    door.opened(id, from, at);
    Verdict v = door.hello(id, at);
    if (v == Verdict::Check)
        door.checked(id, right, at);
    return v;
}

// A stranger that never greets gives way only once it has had its grace,
// the oldest first; until then the door takes nobody new.
TEST(Admission, AFullDoorTakesNobodyUntilASlotHasHadItsGrace) {
    Admission door;
    fill(door, v4(1), 0, 0);
    EXPECT_FALSE(door.mayAccept(0));
    EXPECT_FALSE(door.mayAccept(Admission::graceMs - 1));
    EXPECT_EQ(Admission::graceMs, door.nextDue(Admission::graceMs - 1));
    EXPECT_TRUE(door.mayAccept(Admission::graceMs));
    EXPECT_EQ(-1, door.givesWay(Admission::graceMs)); // nobody needs room yet
    door.opened(100, v4(1), Admission::graceMs);
    EXPECT_EQ(0, door.givesWay(Admission::graceMs));
    door.gone(0, true, Admission::graceMs);
    EXPECT_EQ(-1, door.givesWay(Admission::graceMs));
    EXPECT_EQ(1, door.turnedAway());
}

// An address that holds more slots gives way before one that holds fewer,
// however old that one's connection is.
TEST(Admission, TheAddressHoldingMostSlotsGivesWay) {
    Admission door;
    door.opened(1000, v4(2), 0); // the guest, first and oldest
    for (int i = 1; i < Admission::greetingSlots; ++i)
        door.opened(i, v4(1), 10 + i);
    long long later = 10 + Admission::greetingSlots + Admission::graceMs;
    for (int i = 0; i < 200; ++i) { // the stranger reconnects, again and again
        ASSERT_TRUE(door.mayAccept(later));
        door.opened(5000 + i, v4(1), later);
        int out = door.givesWay(later);
        ASSERT_NE(1000, out) << i;
        ASSERT_GE(out, 0);
        door.gone(out, true, later);
        later += Admission::graceMs;
    }
}

// A greeting holds no slot; a connection that never greets is out after
// helloLimitMs.
TEST(Admission, GreetingsFreeTheirSlotsAndSilenceExpires) {
    Admission door;
    fill(door, v4(1), 0, 0);
    EXPECT_EQ(Verdict::Check, door.hello(5, 1));
    door.checked(5, true, 1);
    EXPECT_TRUE(door.mayAccept(1));
    EXPECT_EQ(-1, door.expired(helloLimitMs - 1));
    EXPECT_EQ(helloLimitMs, door.nextDue(2));
    int out = door.expired(helloLimitMs);
    EXPECT_GE(out, 0);
    EXPECT_NE(5, out);
    door.gone(out, true, helloLimitMs);
    EXPECT_EQ(Verdict::Drop, door.hello(out, helloLimitMs)); // a forgotten one is nobody's
}

// From one address: three wrong codes are answered at once, then each
// check waits 250 ms, 500, then a second after the last wrong one; a
// right code counts for nothing; one wrong code is forgiven every
// forgiveMs. Each row greets at `at`, the code `right` or not, and expects
// the check at `checkAt`.
TEST(Admission, WrongCodesFromOneAddressAreCheckedEverMoreSlowly) {
    struct Try {
        long long at;
        bool right;
        long long checkAt;
    };
    constexpr long long later = 4750 + 7 * Admission::forgiveMs; // seven forgiven
    const Try tries[] = {
        {0, false, 0},       {0, false, 0},         {0, false, 0},
        {0, false, 250},     {250, false, 750},     {750, false, 1750},
        {1750, false, 2750}, {1750, true, 3750},    {3750, false, 3750},
        {4000, false, 4750}, {later, false, later}, {later, false, later + 250},
    };
    Admission door;
    PeerAddress guesser = v4(9);
    int id = 0;
    for (const Try& t : tries) {
        door.opened(++id, guesser, t.at);
        Verdict v = door.hello(id, t.at);
        ASSERT_EQ(t.checkAt > t.at ? Verdict::Wait : Verdict::Check, v) << id;
        if (v == Verdict::Wait) {
            ASSERT_EQ(t.checkAt, door.nextDue(t.at)) << id;
            ASSERT_EQ(-1, door.nextTurn(t.checkAt - 1)) << id;
            ASSERT_EQ(id, door.nextTurn(t.checkAt)) << id;
        }
        door.checked(id, t.right, t.checkAt);
    }
    EXPECT_EQ(11, door.wrongCodes());
    // Meanwhile another address is checked at once.
    EXPECT_EQ(Verdict::Check, greets(door, ++id, v4(10), later, false));
}

// A guest let in and then ended for flooding the host counts as a wrong
// code of its address: joining again and again to flood is as slow as
// guessing, and other addresses are not slowed.
TEST(Admission, AGuestEndedForFloodingJoinsAgainAsSlowlyAsAGuesser) {
    Admission door;
    PeerAddress flooder = v4(3);
    for (int i = 0; i < Admission::freeTries; ++i) {
        ASSERT_EQ(Verdict::Check, greets(door, i, flooder, 0, true)) << i;
        door.flooded(flooder, 0);
    }
    EXPECT_EQ(Verdict::Wait, greets(door, 9, flooder, 0, true));
    EXPECT_EQ(Admission::firstDelayMs, door.nextDue(0));
    EXPECT_EQ(Verdict::Check, greets(door, 10, v4(4), 0, true));
    EXPECT_EQ(Admission::freeTries, door.turnedAway());
    EXPECT_EQ(0, door.wrongCodes());
}

// Greetings wait their turn in order, a few for each address and a few
// in all; beyond that they are closed unchecked. One that goes while
// waiting loses its turn.
TEST(Admission, FewGreetingsWaitAndTheRestAreClosedUnchecked) {
    Admission door;
    for (unsigned char a = 1; a <= 5; ++a) // five addresses, each past its free tries
        for (int i = 0; i < Admission::freeTries; ++i)
            ASSERT_EQ(Verdict::Check, greets(door, a * 100 + i, v4(a), 0, false)) << a * 100 + i;
    for (int i = 0; i <= Admission::waitingPerGroup; ++i) // four wait, the fifth is closed
        EXPECT_EQ(i < 4 ? Verdict::Wait : Verdict::Drop, greets(door, 1000 + i, v4(1), 0, false))
            << i;
    for (unsigned char a = 2; a <= 4; ++a)
        for (int i = 0; i < Admission::waitingPerGroup; ++i)
            ASSERT_EQ(Verdict::Wait, greets(door, a * 1000 + i, v4(a), 0, false));
    EXPECT_EQ(Verdict::Drop, greets(door, 5000, v4(5), 0, false)); // sixteen wait already
    door.gone(1000, false, 1);
    EXPECT_EQ(1001, door.nextTurn(Admission::firstDelayMs));
    door.checked(1001, true, Admission::firstDelayMs);
    EXPECT_EQ(1002, door.nextTurn(Admission::firstDelayMs)); // a right code delays nobody
}

TEST(Admission, AddressesCountByMachine) {
    EXPECT_EQ(addressGroup(v6(1, 1).bytes), addressGroup(v6(1, 2).bytes));
    EXPECT_NE(addressGroup(v6(1, 1).bytes), addressGroup(v6(2, 1).bytes));
    EXPECT_NE(addressGroup(v4(1).bytes), addressGroup(v4(2).bytes));
    // Guessing from one /64 is guessing from one place.
    Admission door;
    for (int i = 0; i < Admission::freeTries; ++i)
        ASSERT_EQ(Verdict::Check, greets(door, i, v6(1, static_cast<unsigned char>(i)), 0, false));
    EXPECT_EQ(Verdict::Wait, greets(door, 9, v6(1, 200), 0, false));
}

// The i-th address of a crowd: 10.x.y.z, or a /64 of 2001:db8:77::/48.
PeerAddress crowdAddress(int i, bool ipv6) {
    PeerAddress a = ipv6 ? v6(0, 9) : v4(0);
    std::size_t at = ipv6 ? 4 : 12; // a byte of the crowd's own, then i's three
    a.bytes[at] = ipv6 ? 0x77 : 10;
    for (std::size_t k = 1; k <= 3; ++k)
        a.bytes[at + k] = static_cast<unsigned char>(i >> (24 - 8 * k));
    a.text = "crowd " + std::to_string(i);
    return a;
}

// Drives the door as a host would, for strangers that keep `atATime`
// connections going, each from the next of their addresses in turn.
class Crowd {
public:
    enum class Kind { Guess, Hold };
    Crowd(Admission& door, Kind kind, int addresses, int atATime, bool ipv6 = false)
        : door_(door), kind_(kind), addresses_(addresses), atATime_(atATime), ipv6_(ipv6) {}

    // Everything the crowd and the door do in this millisecond: up to
    // `perMs` new connections (reopening what the door closed); a guesser
    // greets as soon as its connection is taken, a holder says nothing.
    static constexpr int perMs = 20;
    void step(long long now) {
        for (int id = door_.expired(now); id >= 0; id = door_.expired(now))
            close(id, true, now);
        for (int id = door_.nextTurn(now); id >= 0; id = door_.nextTurn(now))
            checkWrong(id, now);
        for (int n = 0;
             n < perMs && static_cast<int>(open_.size()) < atATime_ && door_.mayAccept(now); ++n) {
            int id = nextId_++;
            door_.opened(id, crowdAddress(next_++ % addresses_, ipv6_), now);
            open_.push_back(id);
            makeRoom(now);
            if (kind_ == Kind::Guess && door_.givesWay(now) != id)
                greet(id, now);
        }
    }

    // The host reads the connections that give way once more; strangers
    // have nothing more to say, and are closed.
    void makeRoom(long long now) {
        for (int id = door_.givesWay(now); id >= 0; id = door_.givesWay(now)) {
            EXPECT_FALSE(protected_(id)) << "a guest's connection gave way at " << now;
            close(id, true, now);
        }
    }

    std::function<bool(int)> protected_ = [](int) { return false; };
    long long opened() const { return nextId_; }

private:
    void greet(int id, long long now) {
        Verdict v = door_.hello(id, now);
        if (v == Verdict::Check)
            checkWrong(id, now);
        else if (v == Verdict::Drop)
            std::erase(open_, id);
    }
    void checkWrong(int id, long long now) {
        door_.checked(id, false, now);
        std::erase(open_, id);
    }
    void close(int id, bool turnedAway, long long now) {
        door_.gone(id, turnedAway, now);
        std::erase(open_, id);
    }

    Admission& door_;
    Kind kind_;
    int addresses_;
    int atATime_;
    bool ipv6_;
    int nextId_ = 1'000'000;
    int next_ = 0;
    std::vector<int> open_;
};

// What became of greetings from fresh addresses, one every 97 ms, among a
// crowd of guessers: how many were delayed, and the wrong codes the door
// had checked at one second, at nine and at thirty.
struct AmongGuessers {
    int delayed = 0;
    long long wrong[3] = {};
};

AmongGuessers freshAmongGuessers(int addresses, int atATime, bool ipv6) {
    Admission door;
    Crowd crowd(door, Crowd::Kind::Guess, addresses, atATime, ipv6);
    AmongGuessers seen;
    for (long long now = 0; now < 30'000; ++now) {
        crowd.step(now);
        if (now == 1000 || now == 9000)
            seen.wrong[now / 9000] = door.wrongCodes();
        if (now % 97 != 0)
            continue;
        int id = static_cast<int>(now);
        if (!door.mayAccept(now)) {
            seen.delayed += 1;
            continue;
        }
        door.opened(id, v4(static_cast<unsigned char>(now / 97), 77), now);
        crowd.makeRoom(now);
        seen.delayed += door.hello(id, now) == Verdict::Check ? 0 : 1;
        door.checked(id, true, now);
    }
    seen.wrong[2] = door.wrongCodes();
    return seen;
}

// A crowd of 100 or 1,000 addresses (or /64s) guessing 8 or 16 at a time
// keeps every record busy; a greeting from an address with nothing against
// it still finds a slot and is checked at once, every time. Addresses past
// their free tries share throttledPerSecond checks between them, however
// many guess: 1,000 addresses get their 3,000 free tries at once, then
// about 64 answers a second in all until their wrong codes begin to be
// forgiven.
TEST(Admission, ACrowdOfGuessersNeverDelaysAFreshAddressAndSharesOneRate) {
    for (bool ipv6 : {false, true})
        for (int addresses : {100, 1000})
            for (int atATime : {8, 16}) {
                AmongGuessers seen = freshAmongGuessers(addresses, atATime, ipv6);
                EXPECT_EQ(0, seen.delayed)
                    << addresses << (ipv6 ? " /64s, " : " addresses, ") << atATime << " at a time";
                EXPECT_GT(seen.wrong[2], addresses) << "the crowd hardly guessed";
            }
    AmongGuessers seen = freshAmongGuessers(1000, 16, false);
    EXPECT_GE(seen.wrong[0], 1000LL * Admission::freeTries);
    long long rate = Admission::throttledPerSecond * 8LL; // in the eight seconds
    EXPECT_LE(seen.wrong[1] - seen.wrong[0], rate + 1);
    EXPECT_GE(seen.wrong[1] - seen.wrong[0], rate * 9 / 10);
}

// Connections held open without a word and reopened at once, by one
// address or by 1,000 that hold 5 each. Until each of those addresses has
// been turned away once (1,000 addresses: 1.6 s) the door turns its slots
// over once per graceMs; from then on it takes every new connection at
// once, and a guest's connection from an address with nothing against it
// keeps its slot until it greets, even when its greeting takes longer than
// graceMs.
TEST(Admission, HeldConnectionsNeverKeepAGuestFromASlot) {
    constexpr int held = 5000;
    constexpr long long settled = helloLimitMs; // every address has been turned away
    constexpr int slowGreetingMs = 3 * Admission::graceMs;
    for (int addresses : {1, 1000}) {
        Admission door;
        Crowd crowd(door, Crowd::Kind::Hold, addresses, held);
        int guest = -1;
        crowd.protected_ = [&guest](int id) { return id == guest; };
        int guests = 0;
        for (long long now = 0; now < settled + 2000; ++now) {
            crowd.step(now);
            ASSERT_TRUE(now < settled || door.mayAccept(now)) << addresses << " at " << now;
            if (now % 400 == 0 && now >= settled) { // a guest on a slow link
                guest = static_cast<int>(now);
                door.opened(guest, v4(static_cast<unsigned char>(now / 400), 88), now);
                crowd.makeRoom(now);
            }
            if (guest >= 0 && now == guest + slowGreetingMs) {
                ASSERT_EQ(Verdict::Check, door.hello(guest, now)) << now;
                door.checked(guest, true, now);
                guests += 1;
                guest = -1;
            }
        }
        EXPECT_EQ(5, guests);
        EXPECT_GT(crowd.opened() - 1'000'000, 30'000) << "the crowd was not kept busy";
    }
}

// However many addresses come, the door remembers at most maxRecords; an
// address that keeps guessing among 100,000 others is still throttled.
TEST(Admission, MemoryIsBoundedAndAGuesserStaysThrottled) {
    Admission door;
    Crowd crowd(door, Crowd::Kind::Guess, 100'000, 16);
    PeerAddress guesser = v4(5, 5);
    int checks = 0;
    int id = 0;
    std::size_t most = 0;
    for (long long now = 0; now < 20'000; ++now) {
        crowd.step(now);
        most = std::max(most, door.records());
        if (now % 50 != 0)
            continue;
        Verdict v = greets(door, ++id, guesser, now, false); // a try every 50 ms, one at a time
        checks += v == Verdict::Check ? 1 : 0;
        if (v == Verdict::Wait)
            door.gone(id, false, now);
    }
    EXPECT_LE(most, static_cast<std::size_t>(Admission::maxRecords));
    EXPECT_GT(most, static_cast<std::size_t>(Admission::maxRecords) / 2);
    EXPECT_LE(checks, Admission::freeTries + 20 + 1);
    EXPECT_GE(checks, Admission::freeTries + 10);
}

// Records that hold nothing are forgotten at once: a host that lets in
// its guests keeps no record of them.
TEST(Admission, AddressesWithNothingAgainstThemAreNotKept) {
    Admission door;
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(Verdict::Check, greets(door, i, crowdAddress(i, false), i, true));
    EXPECT_EQ(0U, door.records());
    door.opened(500, v4(1), 200);
    door.gone(500, true, 200); // silent, turned away: remembered for a while
    EXPECT_EQ(1U, door.records());
    door.opened(501, v4(1), 200 + Admission::forgiveMs);
    door.gone(501, false, 200 + Admission::forgiveMs);
    EXPECT_EQ(0U, door.records());
}

// The notice says what the door does while it does it, in the room it is
// given, and goes noticeMs after the last event.
TEST(Admission, TheNoticeSaysWhoIsTurnedAwayAndWhoGuesses) {
    constexpr std::size_t wide = 56;
    constexpr std::size_t narrow = 30;
    Admission door;
    EXPECT_EQ("", door.notice(0, wide));
    door.opened(1, v4(1), 0);
    door.gone(1, true, 0);
    EXPECT_EQ("Turning strangers away: 1 so far", door.notice(0, wide));
    EXPECT_EQ("Strangers turned away: 1", door.notice(0, narrow));
    greets(door, 2, v6(1, 1), 5, false);
    EXPECT_EQ("Turning strangers away: 1; wrong codes: 1", door.notice(5, wide));
    EXPECT_EQ("Strangers: 1; wrong codes: 1", door.notice(5, narrow));
    EXPECT_EQ(Admission::noticeMs, door.nextDue(6));
    EXPECT_EQ("Wrong codes: 1, the last from 2001:db8:0:1::1",
              door.notice(Admission::noticeMs, wide));
    EXPECT_EQ("Wrong codes: 1", door.notice(Admission::noticeMs, 20));
    EXPECT_EQ("", door.notice(5 + Admission::noticeMs, wide));
    PeerAddress longest = v6(2, 2);
    longest.text = "2001:0db8:0000:0002:0000:0000:0000:0002";
    greets(door, 3, longest, 100'000, false);
    EXPECT_EQ("Someone is guessing the code: 2 wrong", door.notice(100'000, wide));
    for (int i = 0; i < 1000; ++i) {
        door.opened(10 + i, v4(1), 100'000);
        door.gone(10 + i, true, 100'000);
    }
    for (std::size_t width : {wide, narrow, std::size_t{10}})
        EXPECT_LE(door.notice(100'000, width).size(), width);
}

} // namespace
