// SPDX-License-Identifier: MIT
// A network match kept on both sides, the host and player two in one
// process on pipes, and played back from the files: the host's recording
// draws the host's screen after every frame, the guest's shows the guest's
// screen after every message it was sent; both rounds' results reach the
// guest as the host's game had them, the first won, the second left
// unfinished by the host's Escape.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "game/keeping.hpp"
#include "game/match.hpp"
#include "game/recording.hpp"
#include "history/heard_picture.hpp"
#include "history/recording_file.hpp"
#include "in_process_host.hpp"
#include "net/picture.hpp"
#include "net/screen_picture.hpp"
#include "netplay/guest.hpp"
#include "netplay/guest_recording.hpp"
#include "netplay/host.hpp"
#include "piped_session.hpp"
#include "record/disk.hpp"
#include "record/log_records.hpp"
#include "record/results_log.hpp"
#include "scratch_folder.hpp"

namespace term {
namespace {

using net::pictureOf;
using netplay::GameGuest;
using netplay::GameHost;

struct StateFolder : TempFolder {
    KeptAs as(record::PlayMode mode, int you) const {
        return {mode, you, path, 1796000000, 4242, "test", "20261130-005320"};
    }
    // The recording of the match kept as `mode`.
    history::Recording recording(record::PlayMode mode, std::string& bytes) const {
        for (const auto& file : std::filesystem::directory_iterator(path + "/recordings")) {
            std::string error;
            bytes.clear();
            EXPECT_TRUE(disk::readWhole(file.path().string(), record::maxFileBytes, bytes, error));
            history::Recording read;
            EXPECT_EQ(history::readRecording(bytes, read), "");
            if (read.header.mode == mode)
                return read;
        }
        ADD_FAILURE() << "no recording of that mode";
        return {};
    }
};

// What one side showed, in order: the host's screen after every frame; the
// guest's after each message it kept, by how many it had kept.
struct Shown {
    std::vector<net::Picture> pictures;
    std::vector<long long> heard;
};

// The host's side as the test plays it: the host's own hook, the screens
// after every frame, the rounds' results, and the keys of both people.
struct HostPlay {
    FrameHook host;
    PipedSession* hostTerm = nullptr;
    PipedSession* guestTerm = nullptr;
    const Match* match = nullptr;
    Shown shown;
    std::vector<record::RoundResult> rounds;
    int secondRoundFrames = 0;
    int calls = 0;

    static void beforeDelay(void* context) {
        const FrameHook& h = static_cast<HostPlay*>(context)->host;
        h.beforeDelay(h.context);
    }
    static void frameEnded(void* context) {
        auto& p = *static_cast<HostPlay*>(context);
        p.host.frameEnded(p.host.context);
        p.hostTerm->readOutput();
        p.shown.pictures.push_back(pictureOf(p.hostTerm->session->screen()));
        p.press();
        // Time for the guest to keep up, as it does with a host at the
        // game's pace: it shows every picture then, not only the latest.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    static void roundEnded(void* context, const record::RoundResult& round, bool over,
                           int champion) {
        auto& p = *static_cast<HostPlay*>(context);
        p.rounds.push_back(round);
        p.host.roundEnded(p.host.context, round, over, champion);
    }
    // Enter on both sides after the first round, now and then until the
    // next begins; the host's Escape well into the second.
    void press() {
        calls += 1;
        if (match->phase == MatchPhase::RoundOver && match->round == 1 && calls % 10 == 0) {
            hostTerm->type("\r");
            guestTerm->type("\r");
        }
        if (match->round == 2 && match->phase == MatchPhase::Playing && ++secondRoundFrames == 40)
            hostTerm->type("\x1b");
    }
    FrameHook hook() { return {beforeDelay, frameEnded, this, roundEnded}; }
};

// A session whose clock moves only by the frames' delays.
SessionOptions virtualClock() {
    SessionOptions options;
    options.virtualClock = true;
    return options;
}

class NetKept : public ::testing::Test {
protected:
    // The host on a clock that moves only by the frames' delays, so that
    // the match takes no longer than its work; the guest on the real one,
    // served in a thread of its own.
    NetKept() : hostTerm(virtualClock()), guestTerm(SessionOptions{}) {
        if (!hostTerm.started || !guestTerm.started)
            std::abort();
        guest = at.guestOn(guestTerm);
        if (at.join(*guest, guestTerm) != GameGuest::Answer::Welcomed || !host->playerReady())
            std::abort();
    }

    // The match as --host plays it, kept, with player two kept by its guest.
    void playMatch() {
        recorder = std::make_unique<netplay::GuestRecorder>(folder.as(record::PlayMode::Guest, 1),
                                                            net::Seat::Player, "W A S D");
        guest->keepIn(recorder.get());
        std::thread guestSide([this] { serveGuest(); });
        host->gameStarted();
        GameSetup setup;
        setup.match = true;
        setup.seed = 77;
        setup.remote[1] = host->playerTwoKeys();
        setup.viewer = Viewer::PlayerOne;
        setup.countdown = true;
        setup.pause = true;
        Match match;
        play.host = host->frameHook();
        play.hostTerm = &hostTerm;
        play.guestTerm = &guestTerm;
        play.match = &match;
        setup.frameHook = play.hook();
        seedGenerators(setup);
        std::unique_ptr<record::MatchKeeper> keeper =
            keeperFor(setup, folder.as(record::PlayMode::Host, 0));
        setup.keeper = keeper.get();
        SteppedMatch stepped(setup, platformOutside(), nullptr, &match);
        host->setMatch(&stepped);
        driveMatch(stepped);
        host->gameOver();
        host->finish(1000);
        guestSide.join();
        recorder->finish();
        champion = match.champion;
    }

    // Until the host ends the match: the guest's screen after each message
    // it keeps.
    void serveGuest() {
        long long kept = 0;
        while (guest->state() == GameGuest::State::Playing) {
            guestTerm.session->sleepMs(1);
            guestTerm.readOutput();
            if (recorder->heardCount() == kept)
                continue;
            kept = recorder->heardCount();
            guestShown.pictures.push_back(pictureOf(guestTerm.session->screen()));
            guestShown.heard.push_back(kept);
        }
    }

    // The host's recording played back on a fresh session of its own.
    std::vector<net::Picture> playHostsBack(history::Recording& recording) const {
        PipedSession again(virtualClock());
        setCurrentSession(again.session.get());
        std::vector<net::Picture> played;
        struct Capture {
            PipedSession* term;
            std::vector<net::Picture>* into;
        } capture{&again, &played};
        GameSetup setup = replayedSetup(recording.header);
        setup.replayed = false; // the lines as the host drew them, its keys too
        setup.frameHook.frameEnded = [](void* context) {
            auto& c = *static_cast<Capture*>(context);
            c.term->readOutput();
            c.into->push_back(pictureOf(c.term->session->screen()));
        };
        setup.frameHook.context = &capture;
        TapePlayer player(recording.tape);
        seedGenerators(setup);
        Match match;
        ::playMatch(setup, match, &player);
        setCurrentSession(hostTerm.session.get());
        return played;
    }

    StateFolder folder;
    PipedSession hostTerm;
    PipedSession guestTerm;
    InProcessHost at{hostTerm};
    GameHost* host = at.host.get();
    std::unique_ptr<GameGuest> guest;
    std::unique_ptr<netplay::GuestRecorder> recorder;
    HostPlay play;
    Shown guestShown;
    int champion = -2;
};

// What of a round both sides know, to be compared at once.
template <typename Round> auto figures(const Round& r) {
    return std::tuple(r.round, r.winner, r.score[0], r.score[1], r.rows[0], r.rows[1],
                      static_cast<long long>(r.frames), static_cast<long long>(r.seconds));
}

TEST_F(NetKept, BothSidesPlayBackFrameForFrame) {
    playMatch();
    ASSERT_EQ(play.rounds.size(), 2U) << "a round won, then one left unfinished";
    EXPECT_GE(play.rounds[0].winner, 0);
    EXPECT_EQ(play.rounds[1].winner, -1);
    EXPECT_EQ(champion, -1);

    // The guest knows how the match ended from the game.
    ASSERT_TRUE(guest->lastResult().has_value());
    EXPECT_EQ(figures(play.rounds[1]), figures(*guest->lastResult()));
    EXPECT_TRUE(guest->lastResult()->matchOver);

    std::string bytes;
    history::Recording hosts = folder.recording(record::PlayMode::Host, bytes);
    EXPECT_EQ(hosts.rounds, 2);
    std::vector<net::Picture> played = playHostsBack(hosts);
    ASSERT_EQ(played.size(), play.shown.pictures.size());
    for (std::size_t frame = 0; frame < played.size(); ++frame)
        ASSERT_EQ(played[frame], play.shown.pictures[frame]) << "host's frame " << frame;

    history::Recording guests = folder.recording(record::PlayMode::Guest, bytes);
    EXPECT_EQ(guests.rounds, 2);
    EXPECT_FALSE(guests.cutShort);
    EXPECT_TRUE(hosts.ended && guests.ended) << "the match's end is in both";
    EXPECT_EQ(guests.header.viewer, static_cast<int>(Viewer::PlayerTwo));
    std::vector<record::HeardMessage> heard = history::heardMessages(guests);
    ASSERT_EQ(static_cast<long long>(heard.size()), recorder->heardCount());
    std::vector<net::RoundOutcome> results;
    history::HeardPicture shown;
    std::size_t sample = 0;
    for (std::size_t n = 0; n < heard.size(); ++n) {
        shown.apply(heard[n]);
        if (heard[n].type == net::MessageType::Result)
            results.push_back(heard[n].result);
        for (; sample < guestShown.heard.size() &&
               guestShown.heard[sample] == static_cast<long long>(n) + 1;
             ++sample)
            ASSERT_EQ(shown.picture(), guestShown.pictures[sample]) << "guest's message " << n;
    }
    EXPECT_EQ(sample, guestShown.heard.size()) << "every screen the guest showed was checked";
    EXPECT_GT(guestShown.pictures.size(), 100U);
    ASSERT_EQ(results.size(), 2U);
    for (std::size_t round = 0; round < 2; ++round)
        EXPECT_EQ(figures(play.rounds[round]), figures(results[round])) << round;
    EXPECT_EQ(heard.back().type, net::MessageType::End);

    // Both sides' rounds count in the results log.
    record::ResultsRead log = record::readResults(folder.path);
    ASSERT_EQ(log.entries.size(), 4U);
    int guestRounds = 0;
    for (const record::ResultEntry& e : log.entries)
        if (e.match.mode == record::PlayMode::Guest) {
            guestRounds += 1;
            EXPECT_EQ(e.you, 1);
            EXPECT_EQ(e.matchOver, e.round.round == 2);
        }
    EXPECT_EQ(guestRounds, 2);

    // What the guest's recording takes, per minute at the game's steady
    // pace of 11 frames a second.
    double perFrame = static_cast<double>(bytes.size()) /
                      static_cast<double>(play.rounds[0].frames + play.rounds[1].frames);
    std::printf("guest's recording: %zu bytes for %lld frames of play, %.0f bytes a minute\n",
                bytes.size(), play.rounds[0].frames + play.rounds[1].frames, perFrame * 11 * 60);
}

// A host that sends much at once has it on disk as it comes, in records
// it fits, not held for the usual few seconds.
TEST(GuestKept, MuchHeardAtOnceGoesToDiskEarly) {
    StateFolder folder;
    netplay::GuestRecorder recorder(folder.as(record::PlayMode::Guest, 1), net::Seat::Player,
                                    "W A S D");
    net::Picture full;
    full.fill({'#', 12});
    std::string runs;
    net::appendChanges(net::Picture{}, full, runs);
    net::Message message{.type = net::MessageType::Picture,
                         .runs = reinterpret_cast<const unsigned char*>(runs.data()),
                         .runsLength = static_cast<int>(runs.size())};
    std::size_t sent = 0;
    for (; sent <= netplay::heardMostBytes; sent += runs.size()) {
        recorder.heard(message, 1000); // all in the same moment
        message.type = net::MessageType::Delta;
    }
    std::string bytes;
    history::Recording kept = folder.recording(record::PlayMode::Guest, bytes);
    EXPECT_GT(kept.heardMessages * static_cast<long long>(runs.size()),
              static_cast<long long>(record::maxPayload))
        << "more than one record holds";
    EXPECT_GT(kept.heard.size(), 1U);
    EXPECT_LE(kept.heardMessages, static_cast<long long>(sent / runs.size()));
    EXPECT_FALSE(kept.cutShort);
}

} // namespace
} // namespace term
