// SPDX-License-Identifier: MIT
// Rooms of a server on loopback, its loop on a thread of its own: the
// front page and a room's, a room opened by its link's first player with
// its own code, the computer playing it, the door per room, and the rooms'
// limits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "browser_client.hpp"
#include "display/screen_buffer.hpp"
#include "game/local.hpp"
#include "loopback.hpp"
#include "net/forwarded_for.hpp"
#include "net/join_code.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"
#include "netplay/guest.hpp"
#include "netplay/network.hpp"
#include "room_guest.hpp"
#include "server/front.hpp"
#include "server/rooms.hpp"

namespace {

// The front and its rooms, turned by a thread until the server goes; with
// `balancer`, this machine is trusted to name its clients (X-Forwarded-For).
struct RoomServer {
    explicit RoomServer(const server::RoomLimits& limits = {}, bool balancer = false) {
        std::string error;
        EXPECT_TRUE(netStart(error)) << error;
        NetSocket listener = netListen({"127.0.0.1", 0}, port, error);
        EXPECT_NE(noSocket, listener) << error;
        std::vector<net::PeerAddress> trusted;
        if (balancer) {
            EXPECT_TRUE(net::parseTrusted("127.0.0.1", trusted, error)) << error;
        }
        thread = std::thread([this, listener, limits, trusted] {
            loop::EventLoop loop;
            server::Rooms rooms(loop, limits);
            server::Front front(loop, listener, {}, trusted, &rooms);
            while (!stopping)
                loop.processEvents(20);
        });
    }
    ~RoomServer() {
        stopping = true;
        thread.join();
    }
    int port = 0;
    std::atomic<bool> stopping = false;
    std::thread thread;
};

// A terminal's console, as a guest paints the server's pictures into it.
struct PaintedScreen : UnseenScreen {
    bool shows(const std::string& text) const {
        for (int y = 0; y < pictureRows; ++y) {
            std::string row;
            for (int x = 0; x < pictureColumns; ++x)
                row += static_cast<char>(cells.charAt(x, y));
            if (row.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
};

// A terminal's guest of a room at `path`, greeted with the room's code.
struct TerminalGuest {
    TerminalGuest(int port, const std::string& path, net::Seat seat = net::Seat::Player) {
        std::string error;
        NetSocket socket = netConnect({"127.0.0.1", port}, 2000, error);
        EXPECT_NE(noSocket, socket) << error;
        guest = std::make_unique<netplay::GameGuest>(screen, socket, seat);
        guest->throughRoom("127.0.0.1:" + std::to_string(port), path);
        answer = guest->greet(joinCode(code), 5000);
    }
    // Serves the connection as the back end's waits do, for `ms`.
    void serveFor(int ms) const {
        for (long long until = netClockMs() + ms; netClockMs() < until;) {
            SocketWatch watch[1];
            int n = guest->watched(watch, 1);
            netWait(watch, n, 20);
            guest->serve(watch, n);
        }
    }
    PaintedScreen screen;
    std::unique_ptr<netplay::GameGuest> guest;
    netplay::GameGuest::Answer answer;
};

TEST(Rooms, TheFrontPageOffersRoomsAndARoomsPageJoinsIt) {
    RoomServer s;
    std::string front = loopback::fetch(s.port, loopback::get("/"));
    EXPECT_EQ("HTTP/1.1 200 OK", statusOf(front));
    EXPECT_NE(std::string::npos, front.find("<section id=\"rooms\">"));
    std::string room = loopback::fetch(s.port, loopback::get("/r/k7q2m9xw3pbd?computer=2"));
    EXPECT_EQ("HTTP/1.1 200 OK", statusOf(room));
    EXPECT_NE(std::string::npos, room.find("<section id=\"rooms\" hidden>"));
    for (const char* missing : {"/r/ab", "/r/k7q2m9xw3pbd/other", "/r/bad%20name"})
        EXPECT_EQ("HTTP/1.1 404 Not Found",
                  statusOf(loopback::fetch(s.port, loopback::get(missing))))
            << missing;
}

TEST(Rooms, ALinkOpensARoomOfTheComputerAndItsCodeIsTheFirstPlayers) {
    RoomServer s;
    RoomGuest player(s.port, "/r/k7q2m9xw3pbd/play?computer=5&first-to=2");
    ASSERT_TRUE(player.plays()) << player.head;
    // The computer plays on after the countdown: its moves come as deltas.
    for (int deltas = 0; deltas < 40; ++deltas)
        ASSERT_TRUE(player.awaits(net::MessageType::Delta)) << deltas;

    RoomGuest wrong(s.port, "/r/k7q2m9xw3pbd/play");
    EXPECT_EQ(net::Refusal::WrongCode, wrong.refusal(net::Seat::Watcher, "ABCD-EFGH"));
    RoomGuest second(s.port, "/r/k7q2m9xw3pbd/play");
    EXPECT_EQ(net::Refusal::SeatTaken, second.refusal(net::Seat::Player));
    RoomGuest watcher(s.port, "/r/k7q2m9xw3pbd/play");
    EXPECT_TRUE(watcher.plays(net::Seat::Watcher));
}

// A friend's room seats its opener and the next player with its code, and
// plays once both are ready; a third player finds both seats taken.
TEST(Rooms, AFriendsRoomPlaysItsFirstTwoPlayers) {
    RoomServer s;
    RoomGuest one(s.port, "/r/fr13ndsr00m/play?friend");
    ASSERT_TRUE(one.seated());
    RoomGuest two(s.port, "/r/fr13ndsr00m/play?friend");
    ASSERT_TRUE(two.seated());
    EXPECT_TRUE(two.awaits(net::MessageType::Picture));
    EXPECT_TRUE(one.awaits(net::MessageType::Picture)) << "the match began for both";
    RoomGuest three(s.port, "/r/fr13ndsr00m/play");
    EXPECT_EQ(net::Refusal::SeatTaken, three.refusal(net::Seat::Player));
}

// A terminal takes the second seat of a page's room over the page's own
// road, a WebSocket at the room's path: both boards play, and each side's
// picture says "You" on its own board.
TEST(Rooms, ATerminalPlaysAPageInItsRoom) {
    RoomServer s;
    RoomGuest page(s.port, "/r/fr13ndsr00m/play?friend");
    ASSERT_TRUE(page.seated());
    TerminalGuest terminal(s.port, "/r/fr13ndsr00m/play");
    ASSERT_EQ(netplay::GameGuest::Answer::Welcomed, terminal.answer) << terminal.guest->problem();
    terminal.guest->ready(true);
    for (int tries = 0; tries < 100 && !terminal.screen.shows("You"); ++tries) {
        terminal.serveFor(50);
        page.keepAlive();
    }
    EXPECT_TRUE(terminal.screen.shows("You")) << "the terminal's own board";
    EXPECT_TRUE(terminal.screen.shows("Player")) << "the page's board, the other";
    EXPECT_EQ(netplay::GameGuest::State::Playing, terminal.guest->state());
    EXPECT_TRUE(page.awaits(net::MessageType::Picture)) << "the page plays on";

    // A room nobody opened is the server's 404, said as such.
    TerminalGuest lost(s.port, "/r/nosuchroom1/play", net::Seat::Watcher);
    EXPECT_EQ(netplay::GameGuest::Answer::Declined, lost.answer);
    EXPECT_EQ(404, lost.guest->declined());
}

// A thousand clients (as a trusted balancer names them) each open a room:
// the bound holds, the room being played plays on, the rooms whose links
// never greeted end once empty and make room again.
TEST(Rooms, AFloodOfRoomsFromAThousandClientsStopsAtTheBound) {
    server::RoomLimits limits;
    limits.maxRooms = 20;
    limits.emptyMs = 500;
    RoomServer s(limits, true);
    RoomGuest keeper(s.port, "/r/keeperroom/play?computer=3", "10.0.0.1");
    ASSERT_TRUE(keeper.plays());
    keeper.longestGap(3500);                      // past the countdown
    std::vector<std::unique_ptr<RoomGuest>> held; // switched, and silent
    int refused = 0;
    for (int i = 0; i < 1000; ++i) {
        std::string client = "198.18." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        auto g = std::make_unique<RoomGuest>(
            s.port, "/r/flood" + std::to_string(1000 + i) + "/play?computer=1", client);
        if (g->switched())
            held.push_back(std::move(g));
        else if (g->status() == "HTTP/1.1 503 Service Unavailable")
            ++refused;
        keeper.keepAlive();
    }
    EXPECT_EQ(19U, held.size());
    EXPECT_EQ(981, refused);
    long long gap = keeper.longestGap(1000);
    EXPECT_GE(gap, 0) << "the room being played was closed";
    EXPECT_LT(gap, 1000);
    // The silent links are timed out at the door, their rooms end once
    // empty, and a new room opens.
    for (auto& g : held)
        EXPECT_FALSE(g->awaits(net::MessageType::Welcome));
    for (int tries = 0; tries < 50; ++tries) {
        keeper.longestGap(100);
        RoomGuest late(s.port, "/r/latecomer/play?computer=1", "192.0.2.9");
        if (late.switched())
            return;
    }
    ADD_FAILURE() << "the rooms that nobody was in never made room";
}

// Strangers besiege one room's door, holding connections and trying wrong
// codes, while another room is played: that room's pictures keep coming
// as they came before (a few every second, once its countdown is over).
TEST(Rooms, ADoorUnderSiegeHoldsNoOtherRoomsFramesBack) {
    RoomServer s({}, true);
    RoomGuest player(s.port, "/r/playedroom/play?computer=3", "10.0.0.1");
    ASSERT_TRUE(player.plays());
    RoomGuest opener(s.port, "/r/besieged1/play?computer=3", "10.0.0.2");
    ASSERT_TRUE(opener.plays());
    player.longestGap(3500); // past the countdown
    std::vector<std::unique_ptr<RoomGuest>> strangers;
    std::thread siege([&] {
        for (int i = 0; i < 300; ++i) {
            std::string client = "203.0.113." + std::to_string(i % 250);
            strangers.push_back(std::make_unique<RoomGuest>(s.port, "/r/besieged1/play", client));
            if (i % 2 == 0)
                strangers.back()->greet(net::Seat::Watcher, "ABCD-EFGH"); // a wrong code
        }
    });
    long long gap = player.longestGap(3000);
    siege.join();
    EXPECT_GE(gap, 0);
    EXPECT_LT(gap, 1000) << "the other room's frames were held back";
}

// Quick matches pair each player with the next, whatever their codes; one
// left alone plays the computer once it has waited long enough.
TEST(Rooms, AQuickMatchPairsTheNextTwoAndGivesTheThirdTheComputer) {
    server::RoomLimits limits;
    limits.quickWaitMs = 1500;
    RoomServer s(limits);
    RoomGuest first(s.port, "/r/quick/play");
    ASSERT_TRUE(first.seated("AAAA-AAAA")) << first.head;
    RoomGuest second(s.port, "/r/quick/play");
    ASSERT_TRUE(second.seated("BBBB-BBBB"));
    EXPECT_TRUE(first.awaits(net::MessageType::Picture)) << "paired: the match began";
    EXPECT_TRUE(second.awaits(net::MessageType::Picture));
    RoomGuest third(s.port, "/r/quick/play");
    ASSERT_TRUE(third.seated("CCCC-CCCC"));
    auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(third.awaits(net::MessageType::Picture)) << "the computer played the one alone";
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1400))
        << "not before it had waited";

    // Two who come at once, neither greeted before the other came, are a
    // pair too; the computer is a minute away.
    limits.quickWaitMs = 60'000;
    RoomServer patient(limits);
    RoomGuest one(patient.port, "/r/quick/play");
    RoomGuest two(patient.port, "/r/quick/play");
    ASSERT_TRUE(one.seated() && two.seated());
    EXPECT_TRUE(one.awaits(net::MessageType::Picture) && two.awaits(net::MessageType::Picture));
    // One who waited and left leaves no room behind to hold the next pair
    // apart.
    {
        RoomGuest left(patient.port, "/r/quick/play");
        ASSERT_TRUE(left.seated());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    RoomGuest three(patient.port, "/r/quick/play");
    ASSERT_TRUE(three.seated());
    RoomGuest four(patient.port, "/r/quick/play");
    ASSERT_TRUE(four.seated());
    EXPECT_TRUE(three.awaits(net::MessageType::Picture) && four.awaits(net::MessageType::Picture));
}

TEST(Rooms, ALinkThatOpensNothingAndOneOpenedTooOftenAreRefused) {
    server::RoomLimits limits;
    limits.roomsPerMinute = 1;
    RoomServer s(limits);
    for (const char* nothing :
         {"/r/k7q2m9xw3pbd/play", "/r/k7q2m9xw3pbd/play?computer=9",
          "/r/k7q2m9xw3pbd/play?computer=2&first-to=x", "/r/k7q2m9xw3pbd/play?friend&computer=2"}) {
        RoomGuest none(s.port, nothing);
        EXPECT_EQ("HTTP/1.1 404 Not Found", none.status()) << nothing;
    }
    RoomGuest first(s.port, "/r/aaaa1111/play?computer=1");
    EXPECT_TRUE(first.switched());
    RoomGuest again(s.port, "/r/bbbb2222/play?computer=1");
    EXPECT_EQ("HTTP/1.1 429 Too Many Requests", again.status());
    // The room that is open takes its guests still.
    RoomGuest back(s.port, "/r/aaaa1111/play");
    EXPECT_TRUE(back.switched());
}

} // namespace
