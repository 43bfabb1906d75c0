// SPDX-License-Identifier: MIT
// The host's notices on its console under a flood of strangers: the
// door's count is shown afresh a few times a second, not at every look.
// And the names it tells its guests: a guest's checked at the door, and
// each change to every guest.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "display/screen_buffer.hpp"
#include "game/local.hpp"
#include "net/protocol.hpp"
#include "netplay/host.hpp"
#include "peer_end.hpp"

namespace {

// A console that counts how often its notices change.
struct CountingScreen : LocalScreen {
    ScreenBuffer& buffer() override { return cells; }
    void setNotices(std::vector<NoticeLine> lines) override {
        changes += 1;
        shown = std::move(lines);
    }
    void show() override {}

    ScreenBuffer cells;
    std::vector<NoticeLine> shown;
    int changes = 0;
};

bool shows(const CountingScreen& screen, const std::string& text) {
    return std::any_of(screen.shown.begin(), screen.shown.end(), [&](const NoticeLine& line) {
        return line.text.find(text) != std::string::npos;
    });
}

TEST(HostNotices, AFloodOfStrangersRewritesTheCountAFewTimesASecond) {
    CountingScreen screen;
    netplay::GameHost host(screen, term::joinCode(), noSocket);
    host.gameStarted();
    screen.changes = 0;
    long long start = netClockMs();
    constexpr int strangers = 40;
    std::vector<std::unique_ptr<PeerEnd>> ends;
    for (int i = 0; i < strangers; ++i) {
        ends.push_back(std::make_unique<PeerEnd>());
        host.adopt(ends.back()->hostSide());
        ASSERT_TRUE(ends.back()->send(std::string("\x05\x02\x01\x41", 4))); // a key, no greeting
        host.pumpNow();
    }
    long long took = netClockMs() - start;
    ASSERT_EQ(strangers, host.admission().turnedAway()) << "each stranger turned away";
    // The first stranger's notice at once, then at most one change a period.
    int most = 1 + static_cast<int>(took / netplay::GameHost::doorCountEveryMs) + 1;
    EXPECT_LE(screen.changes, most) << "in " << took << " ms";
    EXPECT_TRUE(shows(screen, "Turning strangers away")) << "shown at once";
    // Once the period is over, the last count is shown.
    long long until = netClockMs() + 2LL * netplay::GameHost::doorCountEveryMs;
    while (netClockMs() < until && !shows(screen, std::to_string(strangers) + " so far"))
        host.pumpNow();
    EXPECT_TRUE(shows(screen, std::to_string(strangers) + " so far"));
}

TEST(HostNames, ABadNameIsRefusedAndAGoodOneReachesTheOtherGuests) {
    CountingScreen screen;
    netplay::GameHost host(screen, term::joinCode(), noSocket);
    host.nameBoard(0, "Host");
    PeerEnd watcher;
    PeerEnd bad;
    auto player = std::make_unique<PeerEnd>();
    auto greet = [&](const PeerEnd& end, net::Seat seat, std::string_view name) {
        host.adopt(end.hostSide());
        ASSERT_TRUE(end.send(hello(seat, term::testCode, name)));
        host.pumpNow();
    };
    auto names = [](PeerEnd& end) {
        end.read();
        return std::vector<std::string>{end.names[0], end.names[1]};
    };
    using Names = std::vector<std::string>;
    greet(watcher, net::Seat::Watcher, "");
    EXPECT_EQ((std::vector{net::MessageType::Welcome, net::MessageType::Names}), watcher.heard());
    EXPECT_EQ((Names{"Host", ""}), names(watcher));
    greet(bad, net::Seat::Player, "<b>Ada</b>");
    EXPECT_EQ(std::vector{net::MessageType::Refused}, bad.heard());
    EXPECT_EQ(net::Refusal::BadName, bad.refusal);
    greet(*player, net::Seat::Player, "Ad\xc3\xa1");
    EXPECT_EQ((Names{"Host", "Ad\xc3\xa1"}), names(*player));
    EXPECT_EQ((Names{"Host", "Ad\xc3\xa1"}), names(watcher));
    player.reset(); // gone: the watcher is told
    for (int i = 0; i < 100 && !names(watcher)[1].empty(); ++i)
        host.pumpNow();
    EXPECT_EQ((Names{"Host", ""}), names(watcher));
}

} // namespace
