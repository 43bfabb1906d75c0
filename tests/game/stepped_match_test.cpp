// SPDX-License-Identifier: MIT
// Matches as values: many stepped side by side in one thread, each frame
// for frame as it plays alone, and a match stepped on virtual time as the
// back end's own loop plays it.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "fixture.hpp"
#include "fnv1a.hpp"
#include "game/match.hpp"
#include "game/recording.hpp"
#include "loop/event_loop.hpp"
#include "memory_backend.hpp"
#include "server/loop_match.hpp"

namespace {

using SteppedMatches = Fresh;

// The computer on both boards, at the levels the seed picks, to a first
// won round.
GameSetup demo(unsigned seed) {
    return {.computer = {true, true},
            .level = {1 + static_cast<int>(seed % 5), 1 + static_cast<int>(seed / 5 % 5)},
            .seed = seed,
            .match = true,
            .firstTo = 1};
}

// Each frame's picture, folded, so that a hundred matches' frames fit in
// memory.
std::uint64_t fold(const ScreenBuffer& screen) {
    Fnv1a hash;
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            hash.fold(screen.cell(x, y).code);
            hash.fold(static_cast<unsigned short>(screen.cell(x, y).attr));
        }
    return hash.value();
}

// Virtual time for an event loop: its waits move the clock on, by
// exactly what they were asked to wait.
struct VirtualTime {
    long long now = 1'000'000;
    static int poll(loop::PollItem* /*items*/, int /*count*/, int timeoutMs, void* self) {
        if (timeoutMs > 0)
            static_cast<VirtualTime*>(self)->now += timeoutMs;
        return 0;
    }
    static long long clock(void* self) { return static_cast<VirtualTime*>(self)->now; }
};

// Each frame's picture of one match.
struct Frames {
    std::vector<std::uint64_t> folded;
    static void add(void* self, const SteppedMatch& m) {
        if (!m.over())
            static_cast<Frames*>(self)->folded.push_back(fold(m.screen()));
    }
};

// `seeds`' matches on one loop's timers, on virtual time, for `virtualMs`;
// each match's frames.
std::vector<Frames> onOneLoop(const std::vector<unsigned>& seeds, long long virtualMs,
                              std::vector<bool>* over = nullptr) {
    VirtualTime time;
    loop::EventLoop loop(16, {VirtualTime::poll, VirtualTime::clock, &time});
    std::vector<Frames> frames(seeds.size());
    std::vector<std::unique_ptr<server::LoopMatch>> matches;
    for (std::size_t i = 0; i < seeds.size(); ++i)
        matches.push_back(
            std::make_unique<server::LoopMatch>(loop, demo(seeds[i]), Frames::add, &frames[i]));
    long long end = time.now + virtualMs;
    while (time.now < end &&
           loop.processEvents(static_cast<int>(end - time.now)) != loop::EventLoop::cannotWait) {
    }
    if (over != nullptr)
        for (const auto& m : matches)
            over->push_back(m->over());
    return frames;
}

} // namespace

// A thousand matches need one thread, not a thousand: each stepped by its
// timer on one loop plays exactly as it does alone on a loop of its own.
TEST_F(SteppedMatches, SideBySideEachPlaysFrameForFrameAsAlone) {
    const struct {
        int matches;
        long long virtualMs; // how long they are stepped side by side
    } cases[] = {{2, 1LL << 30}, {100, 40'000}};
    for (const auto& c : cases) {
        std::vector<unsigned> seeds;
        seeds.reserve(static_cast<std::size_t>(c.matches));
        for (int i = 0; i < c.matches; ++i)
            seeds.push_back(1000 + static_cast<unsigned>(i));
        std::vector<bool> over;
        std::vector<Frames> together = onOneLoop(seeds, c.virtualMs, &over);
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            std::vector<Frames> alone = onOneLoop({seeds[i]}, c.virtualMs);
            ASSERT_GT(alone[0].folded.size(), 300U) << "match " << i << " plays";
            ASSERT_EQ(together[i].folded, alone[0].folded) << "match " << i << " of " << c.matches;
            if (c.matches == 2) {
                EXPECT_TRUE(over[i]) << "played to its end";
            }
        }
    }
}

// The back end's own loop (driveMatch, on the in-memory back end) and a
// loop's virtual time read the same keys and clock at the same points, and
// show the same pictures.
TEST_F(SteppedMatches, OnVirtualTimeAsTheBackEndPlaysIt) {
    GameSetup setup = demo(77);
    record::TapeWriter backEndTape;
    TapeRecorder backEndReads(backEndTape);
    std::vector<std::uint64_t> backEndFrames;
    SteppedMatch driven(setup, platformOutside(), &backEndReads);
    screen().onFrameEnd = [&](int) { backEndFrames.push_back(fold(driven.screen())); };
    driveMatch(driven);

    record::TapeWriter loopTape;
    TapeRecorder loopReads(loopTape);
    UnattendedOutside outside;
    SteppedMatch stepped(setup, outside, &loopReads);
    std::vector<std::uint64_t> loopFrames;
    long long dueMs = 1'000'000; // the in-memory back end's clock at its start
    while (advanceDue(
        stepped, outside, dueMs, dueMs,
        [](void* frames, const SteppedMatch& m) {
            static_cast<std::vector<std::uint64_t>*>(frames)->push_back(fold(m.screen()));
        },
        &loopFrames)) {
    }
    ASSERT_GT(loopFrames.size(), 300U);
    EXPECT_EQ(loopFrames, backEndFrames);
    EXPECT_EQ(loopTape.take(), backEndTape.take()) << "the same reads, the same answers";
}
