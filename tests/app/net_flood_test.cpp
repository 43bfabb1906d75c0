// SPDX-License-Identifier: MIT
// A real guest (--join on a pty) of a host that is not the game and
// floods it over loopback: the guest spends bounded work on it, ends the
// connection with a clear message when the host goes past what a game
// sends, keeps only rounds that could be, and its recording plays back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_host.hpp"
#include "game_pty.hpp"
#include "pty_checks.hpp"
#include "scratch_folder.hpp"

namespace term {
namespace {

// Generous: a hung guest fails here rather than holding the run.
constexpr int hangMs = 2000;

class FloodingHost : public ScratchFolder {
protected:
    // The state folder, one of the scratch folder's own for each case.
    std::vector<std::string> state() const { return {"XDG_STATE_HOME=" + scratch + folder}; }

    GamePty guestOf(const FakeHost& host) const {
        return GamePty({.args = {"--join", host.address(), "--code", FakeHost::code},
                        .kitty = false,
                        .env = state()});
    }

    // What --stats counts of the guest's rounds: the "rounds" of each tally.
    int roundsKept() const {
        GamePty stats({.args = {"--stats", "--json"}, .kitty = false, .env = state()});
        EXPECT_EQ(stats.waitOutcome(), Outcome::exited(0)) << stats.output;
        int rounds = 0;
        for (std::size_t at = stats.output.find("\"rounds\":"); at != std::string::npos;
             at = stats.output.find("\"rounds\":", at + 1))
            rounds += std::atoi(stats.output.c_str() + at + 9);
        return rounds;
    }

    std::string folder;

    // The guest's recording played back by --replay last: it shows the
    // host's whole picture, and is not called damaged.
    void playsBack() const {
        GamePty replay({.args = {"--replay", "last"}, .kitty = false, .env = state()});
        EXPECT_TRUE(replay.waitForText("ABCDEFGHIJKLMNOPQRSTUVWXYZ")) << replay.output;
        replay.type("\x1b");
        EXPECT_EQ(replay.waitOutcome(), Outcome::exited(0)) << replay.output;
        EXPECT_FALSE(wrote(replay, "damaged"));
    }
};

// Floods past what a game sends end the connection at once, with what was
// wrong, and nothing of them is counted.
TEST_F(FloodingHost, PastWhatAGameSendsTheGuestEndsTheConnection) {
    struct Case {
        FakeHost::Flood flood;
        const char* said;
        int mostRounds; // what a game's first rounds could hold
    };
    const Case cases[] = {
        {FakeHost::Flood::Lies, "no round of the game can have", 0},
        {FakeHost::Flood::Results, "faster than rounds can end", 2},
        {FakeHost::Flood::Deltas, "pictures faster than any game draws them", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        folder = "/case";
        folder += std::to_string(&c - cases);
        FakeHost host(c.flood);
        GamePty guest = guestOf(host);
        EXPECT_EQ(guest.waitOutcome(hangMs), Outcome::exited(1)) << guest.output;
        EXPECT_TRUE(said(guest, c.said));
        EXPECT_LE(roundsKept(), c.mostRounds);
        playsBack();
    }
}

// At the most a game could send, a guest goes on, sends its Escape at
// once and leaves; what it kept, more than one record holds, plays back.
TEST_F(FloodingHost, AtAGamesMostTheGuestLeavesOnEscapeAndPlaysBack) {
    FakeHost host(FakeHost::Flood::Deltas, FakeHost::nearBoundPace);
    GamePty guest = guestOf(host);
    ASSERT_TRUE(guest.waitUntil([&] { return host.sentBytes() > 160LL * 1024; }, 10000))
        << guest.output;
    guest.type("\x1b");
    EXPECT_TRUE(guest.waitUntil([&] { return host.escapeMs() != 0; }, hangMs));
    EXPECT_EQ(guest.waitOutcome(hangMs), Outcome::exited(0)) << guest.output;
    EXPECT_TRUE(wrote(guest, "You left the game"));
    playsBack();
}

} // namespace
} // namespace term
