// SPDX-License-Identifier: MIT
// The host's door on its own, with the times the test gives: it lets in
// the right code once and hands the connection over with what came with
// the greeting, refuses the rest with a reason and closes them once they
// have had their time to read it, and closes strangers that do not greet.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "net/protocol.hpp"
#include "netplay/door.hpp"
#include "peer_end.hpp"

namespace {

using netplay::Arrival;
using netplay::Door;

// The hall the door hands its guests to: it keeps them, and answers
// whether a seat has room as the test says.
struct KeptHall : netplay::Hall {
    std::optional<net::Refusal> noRoom(net::Seat /*seat*/, long long /*nowMs*/) override {
        asked += 1;
        return refusal;
    }
    long long seatFreesAt(net::Seat /*seat*/, long long /*nowMs*/) const override { return -1; }
    void enter(Arrival arrival, long long /*nowMs*/) override {
        arrivals.push_back(std::move(arrival));
    }

    std::optional<net::Refusal> refusal;
    int asked = 0;
    std::vector<Arrival> arrivals;
};

// The hall first, that the door in front of it may be made with it.
struct HallFirst {
    KeptHall hall;
};
struct KeptDoor : HallFirst, DoorAt {
    KeptDoor() : DoorAt(hall) {}
};

TEST(Door, LetsTheRightCodeInAndHandsItOverOnceWithWhatCameAlong) {
    KeptDoor at;
    PeerEnd& guest = at.connect(0);
    ASSERT_TRUE(guest.send(hello(net::Seat::Player) + ready() + keepAlive()));
    at.serve(10);
    ASSERT_EQ(1U, at.hall.arrivals.size());
    const Arrival& arrival = at.hall.arrivals[0];
    EXPECT_EQ(net::Seat::Player, arrival.seat);
    ASSERT_NE(nullptr, arrival.link);
    EXPECT_TRUE(arrival.link->isOpen());
    ASSERT_EQ(2U, arrival.early.size());
    EXPECT_EQ(net::MessageType::Ready, arrival.early[0].type);
    EXPECT_EQ(net::MessageType::KeepAlive, arrival.early[1].type);
    EXPECT_EQ(std::vector{net::MessageType::Welcome}, guest.heard());
    EXPECT_EQ(net::Seat::Player, guest.seat);
    // The door has nothing of it any more: no time-out, no second hand-over.
    ASSERT_TRUE(guest.send(keepAlive()));
    for (long long now : {20, net::helloLimitMs + 10, net::silenceLimitMs * 2})
        at.serve(now);
    EXPECT_EQ(1U, at.hall.arrivals.size());
    EXPECT_TRUE(arrival.link->isOpen());
    EXPECT_FALSE(guest.hostClosed());
    EXPECT_EQ(0, at.door->admission().turnedAway());
}

// A wrong code, and a right one that finds no room: each told why, shut for
// sending once told, and closed when its time to read is up.
TEST(Door, RefusesWithAReasonAndClosesOnceTheReadingTimeIsUp) {
    KeptDoor at;
    PeerEnd& wrong = at.connect(0);
    ASSERT_TRUE(wrong.send(hello(net::Seat::Player, "2222-2222")));
    at.hall.refusal = net::Refusal::SeatTaken;
    PeerEnd& full = at.connect(0);
    ASSERT_TRUE(full.send(hello(net::Seat::Player)));
    at.serve(0);
    EXPECT_EQ(std::vector{net::MessageType::Refused}, wrong.heard());
    EXPECT_EQ(net::Refusal::WrongCode, wrong.refusal);
    EXPECT_EQ(std::vector{net::MessageType::Refused}, full.heard());
    EXPECT_EQ(net::Refusal::SeatTaken, full.refusal);
    EXPECT_EQ(1, at.hall.asked) << "only a right code asks for room";
    EXPECT_TRUE(at.hall.arrivals.empty());
    EXPECT_EQ(1, at.door->admission().wrongCodes());

    at.serve(999);
    for (PeerEnd* end : {&wrong, &full}) {
        EXPECT_TRUE(end->hasEnded()) << "shut for sending once told";
        EXPECT_FALSE(end->hostClosed()) << "still there to be read";
    }
    EXPECT_EQ(1000, at.door->due(999));
    at.serve(1000);
    for (PeerEnd* end : {&wrong, &full})
        EXPECT_TRUE(end->hostClosed());
    EXPECT_TRUE(at.hall.arrivals.empty());
}

// Silence and bytes that are not a greeting are turned away; so is a
// greeting of another version, with its reason, its code unread.
TEST(Door, ClosesStrangersThatDoNotGreet) {
    KeptDoor at;
    PeerEnd& silent = at.connect(0);
    PeerEnd& keyFirst = at.connect(0);
    ASSERT_TRUE(keyFirst.send(keepAlive()));
    // An older guest's greeting with the right code: version 1.
    PeerEnd& older = at.connect(0);
    ASSERT_TRUE(older.send(std::string("\x01\x0e"
                                       "BLKD\x01\x01"
                                       "7K3MQ9XD")));
    at.serve(net::helloLimitMs - 1);
    EXPECT_TRUE(keyFirst.hasEnded());
    EXPECT_FALSE(silent.hasEnded());
    EXPECT_EQ(std::vector{net::MessageType::Refused}, older.heard());
    EXPECT_EQ(net::Refusal::OtherVersion, older.refusal);
    EXPECT_EQ(0, at.door->admission().wrongCodes()) << "its code is not read";
    at.serve(net::helloLimitMs);
    EXPECT_TRUE(silent.hasEnded());
    EXPECT_EQ(2, at.door->admission().turnedAway());
    EXPECT_TRUE(at.hall.arrivals.empty());
    EXPECT_EQ(0, at.hall.asked);
}

} // namespace
