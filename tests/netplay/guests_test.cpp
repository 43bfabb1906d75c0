// SPDX-License-Identifier: MIT
// The guests' connections on their own, with the times the test gives: the
// silent are ended and the live kept alive, player two's seat goes to a
// newcomer once its connection has been silent a while (one that came
// sooner waits at the door for it), a guest that does
// not read gets no deltas until it has caught up and then the whole
// picture, and one that floods the host is ended.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/protocol.hpp"
#include "net/rate_limit.hpp"
#include "netplay/guests.hpp"
#include "netplay/serving.hpp"
#include "peer_end.hpp"

namespace {

using netplay::Arrival;
using netplay::Door;
using netplay::GuestEvents;
using netplay::Guests;
using MessageTypes = std::vector<net::MessageType>;

// The game's side as the test sets it, counting what it is told.
struct Told : GuestEvents {
    void playerJoined(const net::Message& /*ready*/, int /*board*/) override { joined += 1; }
    void playerKey(const net::Message& key, int /*board*/) override { keys.push_back(key.action); }
    void playerLeft(bool /*onPage*/, int /*board*/) override { left += 1; }
    void flooded(const net::PeerAddress& /*from*/, long long /*nowMs*/) override { floods += 1; }
    Showing showing() const override { return shows; }
    net::Picture pictureFor(net::Seat /*seat*/, int /*board*/) const override { return picture; }

    int joined = 0;
    int left = 0;
    int floods = 0;
    std::vector<int> keys;
    Showing shows = Showing::Nothing;
    net::Picture picture;
};

struct GuestsAt {
    // A guest let in at `now`, ready (as the door hands over one that sent
    // Ready with its greeting) or not yet.
    PeerEnd& enter(net::Seat seat, long long now, bool isReady = true) {
        ends.push_back(std::make_unique<PeerEnd>());
        Arrival arrival;
        arrival.link =
            std::make_unique<netplay::Link>(ends.back()->hostSide(), net::Sender::Guest, now);
        arrival.seat = seat;
        arrival.from = {{}, "test"};
        if (isReady)
            arrival.early.push_back({.type = net::MessageType::Ready});
        guests.enter(std::move(arrival), now);
        return *ends.back();
    }

    // One serve at `now`, as the host's wait gives it.
    void serve(long long now) {
        SocketWatch watches[NetService::maxSockets];
        int n = guests.watched(watches, NetService::maxSockets);
        netWait(watches, n, 0);
        guests.serve(watches, n, now);
    }

    Told told;
    Guests guests{told};
    std::vector<std::unique_ptr<PeerEnd>> ends;
};

// Every cell of the picture changed from the last pattern.
net::Picture pattern(int n) {
    net::Picture picture;
    for (net::PictureCell& cell : picture) {
        cell.code = static_cast<unsigned char>(n % 2 == 0 ? 'x' : 'o');
        cell.attr = static_cast<unsigned char>(n % 2 == 0 ? 0x1e : 0x2c);
    }
    picture[0].code = static_cast<unsigned char>('A' + n % 26);
    return picture;
}

TEST(Guests, EndTheSilentAndKeepTheLiveAlive) {
    GuestsAt at;
    PeerEnd& player = at.enter(net::Seat::Player, 0);
    PeerEnd& watcher = at.enter(net::Seat::Watcher, 0);
    EXPECT_EQ(1, at.told.joined);
    ASSERT_TRUE(at.guests.playerReady());
    at.serve(net::keepAliveMs);
    EXPECT_EQ((MessageTypes{net::MessageType::Names, net::MessageType::KeepAlive}), player.heard());
    ASSERT_TRUE(watcher.send(keepAlive()));
    at.serve(3000);
    at.serve(net::silenceLimitMs - 1);
    EXPECT_TRUE(at.guests.playerReady());
    EXPECT_EQ(0, at.told.left);
    at.serve(net::silenceLimitMs);
    EXPECT_FALSE(at.guests.playerReady());
    EXPECT_EQ(1, at.told.left);
    EXPECT_TRUE(player.hasEnded());
    EXPECT_FALSE(watcher.hasEnded()) << "heard from at 3000";
    EXPECT_EQ(1, at.guests.watching());
    at.serve(3000 + net::silenceLimitMs);
    EXPECT_TRUE(watcher.hasEnded());
    EXPECT_EQ(0, at.guests.watching());
    EXPECT_EQ(1, at.told.left) << "a watcher is no player";
}

TEST(Guests, GiveASilentPlayersSeatToANewcomerAndKeepWatchersToTheirNumber) {
    GuestsAt at;
    PeerEnd& gone = at.enter(net::Seat::Player, 0);
    EXPECT_EQ(net::Refusal::SeatTaken, at.guests.noRoom(net::Seat::Player, Guests::seatSilenceMs));
    EXPECT_EQ(0, at.told.left);
    EXPECT_EQ(std::nullopt, at.guests.noRoom(net::Seat::Player, Guests::seatSilenceMs + 1));
    EXPECT_EQ(1, at.told.left);
    EXPECT_TRUE(gone.hasEnded());
    EXPECT_FALSE(at.guests.playerReady());

    for (int i = 0; i < Guests::maxWatchers - 1; ++i)
        at.enter(net::Seat::Watcher, 0, i % 2 == 0);
    EXPECT_EQ(std::nullopt, at.guests.noRoom(net::Seat::Watcher, 10));
    at.enter(net::Seat::Watcher, 0, false);
    EXPECT_EQ(net::Refusal::NoRoom, at.guests.noRoom(net::Seat::Watcher, 10));
    EXPECT_EQ(net::Refusal::NoRoom, at.guests.noRoom(net::Seat::Watcher, 100'000))
        << "silent watchers keep their seats until they are ended";
}

// A player whose link stalled types the same command again a moment later:
// it waits while the old connection stays silent and gets the seat when the
// silence is long enough; one more meanwhile, or one whose old connection
// is heard from again, is refused as the seat is taken.
TEST(Guests, ARejoinWaitsForASilentSeat) {
    GuestsAt at;
    DoorAt door(at.guests); // as the host has it
    PeerEnd& stalled = at.enter(net::Seat::Player, 0);
    PeerEnd& back = door.comes(1500);
    PeerEnd& third = door.comes(1500);
    EXPECT_TRUE(back.heard().empty()) << "no answer while it waits";
    EXPECT_EQ(MessageTypes{net::MessageType::Refused}, third.heard()) << "one waits for a seat";
    EXPECT_EQ(Guests::seatSilenceMs + 1, door.door->due(1500));
    door.serve(Guests::seatSilenceMs);
    EXPECT_TRUE(back.heard().empty());
    door.serve(Guests::seatSilenceMs + 1);
    EXPECT_EQ((MessageTypes{net::MessageType::Welcome, net::MessageType::Names}), back.heard());
    EXPECT_EQ(1, at.told.left);
    EXPECT_TRUE(stalled.hasEnded());

    // The new holder is heard from while another waits: that one is refused.
    ASSERT_TRUE(back.send(ready()));
    at.serve(3000);
    PeerEnd& late = door.comes(3000 + net::keepAliveMs);
    ASSERT_TRUE(back.send(keepAlive()));
    at.serve(3000 + net::keepAliveMs + 10);
    door.serve(3000 + net::keepAliveMs + 10);
    EXPECT_EQ(MessageTypes{net::MessageType::Refused}, late.heard());
    EXPECT_EQ(net::Refusal::SeatTaken, late.refusal);
    EXPECT_TRUE(at.guests.playerReady());
    EXPECT_EQ(1, at.told.left);
}

// Unheld, the deltas of every frame would pile up: over a megabyte here.
TEST(Guests, HoldBackDeltasFromOneThatDoesNotReadThenCatchItUpWhole) {
    GuestsAt at;
    at.told.shows = GuestEvents::Showing::Game;
    at.told.picture = pattern(0);
    PeerEnd& slow = at.enter(net::Seat::Watcher, 0);
    constexpr int frames = 1000;
    for (int frame = 1; frame <= frames; ++frame) {
        at.told.picture = pattern(frame);
        at.guests.show(0);
    }
    ASSERT_TRUE(at.guests.sending());
    for (int round = 0; round < 1000 && (at.guests.sending() || slow.types.empty() ||
                                         slow.types.back() != net::MessageType::Picture);
         ++round) {
        slow.read();
        at.serve(0);
    }
    slow.read();
    ASSERT_FALSE(slow.types.empty());
    EXPECT_EQ(net::MessageType::Picture, slow.types.back());
    EXPECT_EQ(at.told.picture, slow.picture);
    auto deltas = std::count(slow.types.begin(), slow.types.end(), net::MessageType::Delta);
    EXPECT_LT(deltas, frames / 4) << slow.bytes << " bytes";
    EXPECT_LT(slow.bytes, Guests::maxQueued * 16);
    // Caught up, it has the changes again.
    at.told.picture = pattern(frames + 1);
    at.guests.show(0);
    EXPECT_EQ(net::MessageType::Delta, slow.heard().back());
    EXPECT_EQ(at.told.picture, slow.picture);
}

// Far more messages than a person sends end the connection, and the door
// hears of it; a player's keys reach the game.
TEST(Guests, EndOneThatFloodsTheHost) {
    GuestsAt at;
    PeerEnd& player = at.enter(net::Seat::Player, 0);
    ASSERT_TRUE(player.send(bytesOf(net::appendKey, net::KeyKind::Press, 3)));
    at.serve(1);
    EXPECT_EQ(std::vector{3}, at.told.keys);
    std::string flood;
    for (int i = 0; i < net::GuestPace::endBurst + 10; ++i)
        flood += keepAlive();
    ASSERT_TRUE(player.send(flood));
    at.serve(2);
    at.serve(3);
    EXPECT_EQ(1, at.told.floods);
    EXPECT_EQ(1, at.told.left);
    EXPECT_TRUE(player.hasEnded());
}

// A message to every guest reaches those that are shown the game, not one
// that has not said it is ready (each was told the names as it came).
TEST(Guests, ToEveryGuestReachesTheReadyOnes) {
    GuestsAt at;
    PeerEnd& shown = at.enter(net::Seat::Watcher, 0);
    PeerEnd& welcomed = at.enter(net::Seat::Watcher, 0, false);
    at.guests.toEveryGuest(bytesOf(net::appendEnd), 0);
    EXPECT_EQ((MessageTypes{net::MessageType::Names, net::MessageType::End}), shown.heard());
    EXPECT_EQ(MessageTypes{net::MessageType::Names}, welcomed.heard());
}

} // namespace
