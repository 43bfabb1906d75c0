// SPDX-License-Identifier: MIT
// Matches as values: many stepped side by side in one thread, each frame
// for frame as it plays alone, and a match stepped on virtual time as the
// back end's own loop plays it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/match.hpp"
#include "game/recording.hpp"
#include "memory_backend.hpp"
#include "support/fixture.hpp"

namespace {

using SteppedMatches = Fresh;

// The computer on both boards, at the levels the seed picks, to a first
// won round.
GameSetup demo(unsigned seed) {
    GameSetup setup;
    setup.match = true;
    setup.computer[0] = setup.computer[1] = true;
    setup.level[0] = 1 + static_cast<int>(seed % 5);
    setup.level[1] = 1 + static_cast<int>(seed / 5 % 5);
    setup.firstTo = 1;
    setup.seed = seed;
    return setup;
}

std::string cellsOf(const ScreenBuffer& screen) {
    std::string cells;
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            cells += static_cast<char>(screen.cell(x, y).code);
            cells += static_cast<char>(screen.cell(x, y).attr);
        }
    return cells;
}

// Each frame's picture, folded (FNV-1a) so that a hundred matches' frames
// fit in memory.
std::uint64_t fold(const std::string& cells) {
    std::uint64_t h = 14695981039346656037ULL;
    for (char c : cells)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

// One match on a loop's virtual time, and the pictures of its frames.
struct OnLoop {
    explicit OnLoop(const GameSetup& setup) : match(setup, outside) {}
    UnattendedOutside outside;
    SteppedMatch match;
    long long dueMs = 1'000'000;
    bool going = true;
    std::vector<std::uint64_t> frames;

    void step(long long nowMs) {
        going = going && advanceDue(match, outside, dueMs, nowMs, [](void* self, const SteppedMatch& m) {
                    static_cast<OnLoop*>(self)->frames.push_back(fold(cellsOf(m.screen())));
                }, this);
    }
};

// Steps every match whose step is due, the earliest first, as one thread's
// loop does, up to `untilMs`.
void stepSideBySide(std::vector<OnLoop*>& matches, long long untilMs) {
    for (;;) {
        long long next = untilMs + 1;
        for (const OnLoop* m : matches)
            if (m->going && m->dueMs < next)
                next = m->dueMs;
        if (next > untilMs)
            return;
        for (OnLoop* m : matches)
            m->step(next);
    }
}

} // namespace

TEST_F(SteppedMatches, SideBySideEachPlaysFrameForFrameAsAlone) {
    const struct {
        int matches;
        long long virtualMs; // how long they are stepped side by side
    } cases[] = {{2, 1LL << 40}, {100, 40'000}};
    for (const auto& c : cases) {
        std::vector<std::unique_ptr<OnLoop>> together;
        std::vector<OnLoop*> loop;
        for (int i = 0; i < c.matches; ++i) {
            together.push_back(std::make_unique<OnLoop>(demo(1000 + static_cast<unsigned>(i))));
            loop.push_back(together.back().get());
        }
        stepSideBySide(loop, 1'000'000 + c.virtualMs);
        for (int i = 0; i < c.matches; ++i) {
            OnLoop alone(demo(1000 + static_cast<unsigned>(i)));
            std::vector<OnLoop*> one{&alone};
            stepSideBySide(one, 1'000'000 + c.virtualMs);
            const OnLoop& mine = *together[static_cast<std::size_t>(i)];
            ASSERT_GT(alone.frames.size(), 300U) << "match " << i << " plays";
            ASSERT_EQ(mine.frames, alone.frames) << "match " << i << " of " << c.matches;
            EXPECT_EQ(mine.going, alone.going);
            if (c.matches == 2) {
                EXPECT_EQ(mine.match.match().phase, MatchPhase::Over) << "played to its end";
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
    screen().onFrameEnd = [&](int) { backEndFrames.push_back(fold(cellsOf(driven.screen()))); };
    driveMatch(driven);

    record::TapeWriter loopTape;
    TapeRecorder loopReads(loopTape);
    UnattendedOutside outside;
    SteppedMatch stepped(setup, outside, &loopReads);
    std::vector<std::uint64_t> loopFrames;
    long long dueMs = 1'000'000; // the in-memory back end's clock at its start
    while (advanceDue(stepped, outside, dueMs, dueMs, [](void* frames, const SteppedMatch& m) {
        static_cast<std::vector<std::uint64_t>*>(frames)->push_back(fold(cellsOf(m.screen())));
    }, &loopFrames)) {
    }
    ASSERT_GT(loopFrames.size(), 300U);
    EXPECT_EQ(loopFrames, backEndFrames);
    EXPECT_EQ(loopTape.take(), backEndTape.take()) << "the same reads, the same answers";
}
