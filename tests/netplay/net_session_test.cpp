// SPDX-License-Identifier: MIT
// The network game with both sessions in one process: player two's keys
// from the guest's terminal, the guest's picture after every frame, a guest
// that leaves and comes back, a silent connection's seat taken over,
// watchers, and refusals that must not pile up. Strangers, floods and a
// guest that stops reading are for the door's and the guests' own tests
// (door_test, guests_test); how a game ends, refusals and a host that goes
// away are for the process tests, which see the exit statuses too.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <span>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "display/console.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "in_process_host.hpp"
#include "net/picture.hpp"
#include "net/rate_limit.hpp"
#include "net/screen_picture.hpp"
#include "netplay/guest.hpp"
#include "netplay/host.hpp"
#include "pipe_terminal.hpp"
#include "platform/terminal/tty.hpp"
#include "wire.hpp"

namespace term {
namespace {

using net::pictureOf;
using netplay::GameGuest;
using netplay::GameHost;

// What `fd` has to read within a few milliseconds.
std::string readSoon(int fd) {
    pollfd ready = {fd, POLLIN, 0};
    char bytes[64];
    ssize_t n = poll(&ready, 1, 10) > 0 ? read(fd, bytes, sizeof bytes) : 0;
    return {bytes, n > 0 ? static_cast<std::size_t>(n) : 0};
}

// The host with its game running, player two joined from a guest session,
// each on pipes with the test as its terminal, joined by a socket pair. The
// test steps both.
struct Hosted {
    explicit Hosted(bool guestKitty = false) {
        if (rejoin(guestKitty) != GameGuest::Answer::Welcomed)
            std::abort();
        at.start(setup, game);
    }

    // The same code again, from a new guest session.
    GameGuest::Answer rejoin(bool kitty = false) {
        if (guestTerm)
            guestTerm->session->setExtension(nullptr);
        guest.reset();
        guestTerm = std::make_unique<PipeTerminal>(kitty);
        guest = at.guestOn(*guestTerm);
        GameGuest::Answer answer = at.join(*guest, *guestTerm);
        if (answer == GameGuest::Answer::Welcomed)
            guestWaits(2);
        return answer;
    }

    // The guest reads its terminal and the connection for `ms`.
    void guestWaits(int ms) const {
        guestTerm->session->sleepMs(ms);
        guestTerm->show();
    }

    // Player two's terminal gets `guestKeys` and the host's `hostKeys`; the
    // guest sends them, the host plays one frame and the guest draws it.
    bool frame(std::string_view guestKeys = "", std::string_view hostKeys = "") {
        guestTerm->type(guestKeys);
        hostTerm.type(hostKeys);
        guestWaits(2); // the guest reads its keys and sends them
        host->pumpNow();
        game.sleep_value = 0; // no frame sleeps: every key is there at the polls
        bool going = playFrame(game);
        hostTerm.show();
        guestWaits(2); // the guest draws the frame
        return going;
    }

    // The guest's picture is the host's, in its buffer and in its emulator.
    std::string differences() const {
        const ScreenBuffer& mine = hostTerm.session->screen();
        if (!net::looksAlike(pictureOf(guestTerm->session->screen()), pictureOf(mine)))
            return "the guest's screen buffer does not look like the host's";
        return guestTerm->vt.differences(mine, {true, true});
    }

    // Player two leaves: its connection closes.
    void dropGuest() {
        guestTerm->session->setExtension(nullptr);
        guest.reset();
        at.serve(20, [] { return false; });
    }

    PipeTerminal hostTerm;
    InProcessHost at{hostTerm};
    GameHost* host = at.host.get();
    std::unique_ptr<PipeTerminal> guestTerm;
    std::unique_ptr<GameGuest> guest;
    GameSetup setup;
    Game game = {};
};

using Moves = std::pair<int, int>; // how far each piece moved sideways

Moves moved(Hosted& m, std::string_view guestKeys, std::string_view hostKeys = "") {
    int x1 = m.game.p1.bx;
    int x2 = m.game.p2.bx;
    EXPECT_TRUE(m.frame(guestKeys, hostKeys));
    return {m.game.p1.bx - x1, m.game.p2.bx - x2};
}

// Without the kitty protocol each key counts once, as it would at the
// host's own keyboard: the guest's arrows and letters both play the right
// board, the host's arrows and letters the left. With it on the guest's
// terminal, a key is held from its press to its release, across frames.
TEST(NetGame, GuestKeysPlayTheRightBoardAndHostKeysTheLeft) {
    struct Step {
        const char *guestKeys, *hostKeys;
        Moves moves;
    };
    const Step legacy[] = {
        {"a", "", {0, -1}}, {"\x1b[D", "", {0, -1}}, {"D", "", {0, 1}},        {"", "", {0, 0}},
        {"", "a", {-1, 0}}, {"", "\x1b[C", {1, 0}},  {"d", "\x1b[D", {-1, 1}},
    };
    const Step kitty[] = {
        {"\x1b[97u", "", {0, -1}},     // A pressed
        {"", "", {0, -1}},             // still held
        {"\x1b[97;1:2u", "", {0, -1}}, // a repeat
        {"\x1b[97;1:3u", "", {0, 0}},  // released
        {"", "", {0, 0}},
    };
    for (bool guestKitty : {false, true}) {
        Hosted m(guestKitty);
        ASSERT_TRUE(m.frame()); // the first gravity step shows both pieces
        for (const Step& step : guestKitty ? std::span<const Step>(kitty) : legacy)
            EXPECT_EQ(step.moves, moved(m, step.guestKeys, step.hostKeys))
                << testing::PrintToString(std::string(step.guestKeys) + "|" + step.hostKeys);
        EXPECT_EQ("", m.differences());
    }
}

// Keys on both sides, every frame: the guest shows what the host's buffer
// holds, cell for cell and through a terminal emulator. The frames come at
// most 200 a second, a guest's key messages as fast as the host lets a
// person's come: faster, it would end the guest's connection as a flood.
TEST(NetGame, TheGuestShowsTheHostsPictureAfterEveryFrame) {
    Hosted m;
    const char* guestKeys[] = {"w", "a", "d", "s", "", "\x1b[B", ""};
    const char* hostKeys[] = {"\x1b[A", "", "\x1b[D", "s", "\x1b[C", ""};
    constexpr auto framePace = std::chrono::milliseconds(1000 / net::GuestPace::endPerSecond);
    int frame = 0;
    for (bool going = true; going && frame < 300; ++frame) {
        std::this_thread::sleep_for(framePace);
        going = m.frame(guestKeys[frame % 7], hostKeys[frame % 6]);
        ASSERT_EQ("", m.differences()) << "frame " << frame;
    }
    EXPECT_GT(frame, 100); // long enough to have locked pieces and cleared rows
}

// Player two's connection drops: its held keys are let go, the host shows
// a notice below the readouts that the game never reads back, and the
// same code lets player two in again, with the whole picture at once.
TEST(NetGame, ADroppedGuestIsReleasedAndMayRejoin) {
    Hosted m(true);
    ASSERT_TRUE(m.frame());
    EXPECT_EQ(Moves(0, -1), moved(m, "\x1b[97u")); // A held
    m.dropGuest();
    EXPECT_FALSE(m.host->playerReady());
    EXPECT_EQ(Moves(0, 0), moved(m, ""));
    EXPECT_EQ(m.host->goneNotice(), m.hostTerm.vt.rowText(20));
    EXPECT_EQ(m.host->goneNotice().rfind("The same command joins again, code ", 0), 0U);
    for (int x = 0; x < 56; ++x)
        ASSERT_EQ(' ', charAt(static_cast<short>(x), 20)) << x;
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(m.frame());

    ASSERT_EQ(GameGuest::Answer::Welcomed, m.rejoin());
    EXPECT_TRUE(m.host->playerReady());
    EXPECT_EQ("", m.differences()); // before any further frame
    ASSERT_TRUE(m.frame());
    EXPECT_EQ("", m.hostTerm.vt.rowText(20));
    EXPECT_EQ(Moves(0, -1), moved(m, "a"));
}

// The rows each terminal shows, notices and all.
std::string shownRows(const PipeTerminal& terminal) {
    std::string rows;
    for (int y = 0; y < 21; ++y)
        rows += terminal.vt.rowText(y) + "\n";
    return rows;
}

// Player two's old connection gone quiet (a link left half-open) gives its
// seat at once to the same code on a new connection, which plays; while it
// is heard from, a second player is refused.
TEST(NetGame, ASilentPlayerConnectionGivesItsSeatToTheRightCode) {
    Hosted m;
    ASSERT_TRUE(m.frame());
    PipeTerminal terminal;
    m.guestWaits(1100); // a keep-alive at least
    m.host->pumpNow();
    auto refused = m.at.guestOn(terminal);
    EXPECT_EQ(GameGuest::Answer::Refused, m.at.greet(*refused));
    EXPECT_EQ(net::Refusal::SeatTaken, refused->refusal());
    refused.reset();

    long long quietFrom = monotonicMs(); // the old guest says nothing from now on
    m.at.serve(100'000, [&] { return monotonicMs() - quietFrom > 2500; });
    ASSERT_TRUE(m.host->playerReady()) << "well within the five seconds of silence";
    auto taking = m.at.guestOn(terminal);
    ASSERT_EQ(GameGuest::Answer::Welcomed, m.at.join(*taking, terminal));
    EXPECT_TRUE(m.host->playerReady());
    m.guestWaits(20);
    EXPECT_EQ(GameGuest::State::Lost, m.guest->state()) << "the old connection was closed";
    terminal.type("a");
    terminal.session->sleepMs(2);
    EXPECT_EQ(Moves(0, -1), moved(m, "")) << "the new connection plays the right board";
    terminal.session->setExtension(nullptr);
}

// Four watchers see the game and their keys count for nothing. Both
// players see how many watch, beside the delay readout; the watchers do
// not. (A fifth watcher's refusal is the guests' own test's; a wrong code
// and a second player are refused in the process tests.)
TEST(NetGame, Watchers) {
    Hosted m;
    ASSERT_TRUE(m.frame());
    EXPECT_EQ(std::string::npos, shownRows(m.hostTerm).find("watching")) << "nobody watches";

    std::vector<std::unique_ptr<PipeTerminal>> terminals;
    std::vector<std::unique_ptr<GameGuest>> watchers;
    for (int i = 0; i < GameHost::maxWatchers; ++i) {
        terminals.push_back(std::make_unique<PipeTerminal>());
        watchers.push_back(m.at.guestOn(*terminals.back(), net::Seat::Watcher));
        ASSERT_EQ(GameGuest::Answer::Welcomed, m.at.join(*watchers.back(), *terminals.back())) << i;
    }
    terminals[0]->type("a\x1b[D");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Moves(0, 0), moved(m, ""));
        terminals[0]->session->sleepMs(2);
        terminals[0]->show();
    }
    EXPECT_EQ("", terminals[0]->vt.differences(m.hostTerm.session->screen(), {true, true}));
    EXPECT_TRUE(m.host->playerReady());
    EXPECT_EQ(10U, m.hostTerm.vt.rowText(19).find("4 watching"));
    EXPECT_EQ(shownRows(m.hostTerm), shownRows(*m.guestTerm));
    terminals[1]->type("\x1b");
    terminals[1]->session->sleepMs(50);
    EXPECT_EQ(GameGuest::State::Left, watchers[1]->state());
    terminals[1]->session->setExtension(nullptr);
    watchers[1].reset(); // the watcher's program closes the connection as it ends
    m.at.serve(100,
               [&] { return m.hostTerm.vt.rowText(19).find("3 watching") != std::string::npos; });
    EXPECT_TRUE(m.frame());
    EXPECT_EQ(10U, m.hostTerm.vt.rowText(19).find("3 watching"));
    EXPECT_EQ(shownRows(m.hostTerm), shownRows(*m.guestTerm));
}

// Every way a greeting or a game can end on the guest's side has a name: a
// host that answers out of turn or with bytes of another protocol is no
// host, one that closes before its answer closed, and a game whose host
// closes says so. No reason is empty.
TEST(NetGame, EveryEndingOfAGuestHasAReason) {
    const std::string welcome = bytesOf(net::appendWelcome, net::Seat::Player);
    const std::string picture = bytesOf(net::appendRuns, net::MessageType::Picture, "");
    struct Case {
        std::string hostSends;
        bool thenCloses;
        GameGuest::Answer answer;
    };
    const Case cases[] = {
        {"", true, GameGuest::Answer::Closed},
        {welcome, true, GameGuest::Answer::Welcomed}, // the end is found in the game
        {welcome + picture, false, GameGuest::Answer::NotAHost},
        {"HTTP/1.1 400\r\n", false, GameGuest::Answer::NotAHost},
        {bytesOf(net::appendRefused, net::Refusal::WrongCode), true, GameGuest::Answer::Refused},
        {welcome, false, GameGuest::Answer::Welcomed},
    };
    for (const Case& c : cases) {
        int pair[2];
        ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, pair));
        ASSERT_EQ(static_cast<ssize_t>(c.hostSends.size()),
                  write(pair[1], c.hostSends.data(), c.hostSends.size()));
        if (c.thenCloses)
            shutdown(pair[1], SHUT_WR); // the guest reads the end; its greeting still goes
        PipeTerminal terminal;
        GameGuest guest(*terminal.session, pair[0], net::Seat::Player);
        EXPECT_EQ(c.answer, guest.greet(joinCode(), 1000)) << testing::PrintToString(c.hostSends);
        if (c.answer == GameGuest::Answer::Welcomed) {
            terminal.session->setExtension(&guest);
            guest.ready(false);
            shutdown(pair[1], SHUT_WR); // once more for the case that has not yet
            terminal.session->sleepMs(20);
            EXPECT_EQ(GameGuest::State::Lost, guest.state());
            EXPECT_EQ("the host closed the connection", guest.lostWhy());
            terminal.session->setExtension(nullptr);
        }
        close(pair[1]);
    }
}

// Refused connections count against nothing and do not pile up: a flood
// of greetings in another version, refused at once without a code, keeps
// at most maxLeaving open to read why; the others are closed once told.
TEST(NetGame, RefusedConnectionsDoNotPileUp) {
    Hosted m;
    const std::string otherVersion = std::string("\x01\x0e") + "BLKD" + "\x01\x01" + "7K3M0000";
    constexpr int count = 100;
    std::vector<int> strangers;
    for (int i = 0; i < count; ++i) {
        strangers.push_back(connectTo(*m.host));
        ASSERT_EQ(static_cast<ssize_t>(otherVersion.size()),
                  write(strangers.back(), otherVersion.data(), otherVersion.size()));
        m.host->pumpNow();
    }
    int told = 0;
    int closed = 0; // by the host, not only shut for writing
    // A write to a closed connection fails with EPIPE, and no signal ends the
    // test (MSG_NOSIGNAL is not everywhere).
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    for (int fd : strangers) {
        told += readSoon(fd).starts_with("\x03\x01\x04") ? 1 : 0;
        closed += send(fd, "x", 1, MSG_DONTWAIT) < 0 && errno == EPIPE ? 1 : 0;
        close(fd);
    }
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(count, told);
    EXPECT_GE(closed, count - GameHost::maxLeaving);
    EXPECT_TRUE(m.host->playerReady());
    EXPECT_EQ(Moves(0, -1), moved(m, "a"));
}

} // namespace
} // namespace term
