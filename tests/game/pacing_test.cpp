// SPDX-License-Identifier: MIT
// The adaptive delay, the readouts and the clock they rest on.
#include <algorithm>
#include <cstdio>
#include <map>

#include "fixture.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"

namespace {

class Pacing : public FreshGame {
protected:
    std::map<long long, int> framesInSecond; // virtual second -> frames ended in it
    void SetUp() override {
        FreshGame::SetUp();
        screen().onFrameEnd = [this](int) { ++framesInSecond[screen().nowMs / 1000]; };
    }
    // Frames without pieces in the way: keeps both players' pieces above the
    // board so the game never ends while the clock is being studied.
    void run(int frames) {
        for (int n = 0; n < frames; ++n) {
            g.p1.by = g.p2.by = -10;
            ASSERT_TRUE(playFrame(g));
        }
    }
    static long long second() { return mem::backend().nowMs / 1000; }
    // The next frame's sleep crosses into a new second.
    static void endSecondNow() { mem::backend().nowMs = (second() + 1) * 1000 - 1; }
};

} // namespace

// The rate settles near 11 frames a second and holds through a clock set
// back by an hour; a clock that stops can push the delay only to its
// bound, and once the clock moves again the rate comes back.
TEST_F(Pacing, SettlesNearElevenFramesPerSecondWhateverTheClockDoes) {
    long long start = second();
    while (second() < start + 60)
        run(1);
    for (long long s = start + 15; s < start + 59; ++s)
        EXPECT_NEAR(11, framesInSecond[s], 1) << "second " << s - start;
    std::string readout = mem::rowText(18, 0, 5);
    EXPECT_TRUE(readout == "10FPS" || readout == "11FPS" || readout == "12FPS") << readout;
    EXPECT_EQ(7, screen().screen[18][0].attr);

    int settled = g.sleep_value;
    screen().nowMs -= 3'600'000;
    run(300);
    EXPECT_NEAR(settled, g.sleep_value, 25) << "set back";
    EXPECT_NEAR(11, framesInSecond[second() - 1], 1) << "set back";

    screen().stalledAt = second();
    run(3000);
    EXPECT_EQ(maxSleepMs, g.sleep_value);
    screen().stalledAt.reset();
    while (g.sleep_value > 150)
        run(1);
    run(600);
    EXPECT_NEAR(11, framesInSecond[second() - 1], 1) << "recovers once the clock moves";
}

TEST_F(Pacing, SlowFramesStopSleepingButKeepAdjusting) {
    screen().frameCostMs = 400;
    run(40);
    EXPECT_LT(g.sleep_value, 0);
    int sleeps = screen().sleeps;
    run(10);
    EXPECT_EQ(sleeps, screen().sleeps);
    EXPECT_EQ('-', mem::rowText(19, 1, 1)[0]);
}

// The frame that crosses into a new second shows the rate and starts the
// count again; the delay falls by one while the count is below 5, holds at
// 5 and rises after. A shorter readout blanks what the longer one left.
TEST_F(Pacing, ReportsAndDelayFrameByFrame) {
    g.sleep_value = 11;
    g.fps = 40;
    endSecondNow();
    run(1);
    EXPECT_EQ("41FPS", mem::rowText(18, 0, 5));
    EXPECT_EQ(10, g.sleep_value);
    std::vector<int> delays; // counted 2 to 7
    for (int frame = 2; frame <= 7; ++frame) {
        run(1);
        delays.push_back(g.sleep_value);
    }
    EXPECT_EQ("7 ", mem::rowText(19, 1, 2));
    EXPECT_EQ(delays, (std::vector{9, 8, 7, 6, 6, 7}));
    g.fps = 7;
    endSecondNow();
    run(1);
    EXPECT_EQ("8FPS ", mem::rowText(18, 0, 5));
}

// A round that goes on after a pause counts its frames afresh: the frames
// played in the second the pause began are neither reported in the first
// second after it nor taken as a reason to lengthen the delay.
TEST_F(Pacing, ARoundGoesOnAfterAPauseCountingItsFramesAfresh) {
    mem::reset();
    Match m{};
    int played = 0;
    long long pausedAt = -1;
    long long resumedAt = -1;
    int delayBefore = 0;    // the delay shown in the last frame before the pause
    int firstDelay = -1;    // and in the first frame after it
    std::vector<int> rates; // the rate readouts in the seconds after it
    auto shownDelay = [] { return std::atoi(mem::rowText(delayRow, 1, 4).c_str()); };
    screen().onFrameEnd = [&](int) {
        if (m.phase != MatchPhase::Playing)
            return;
        ++played;
        if (pausedAt < 0) {
            delayBefore = shownDelay();
        } else if (firstDelay < 0) {
            firstDelay = shownDelay();
        } else {
            int rate = 0;
            if (std::sscanf(mem::rowText(rateRow, 0, 5).c_str(), "%dFPS", &rate) == 1)
                rates.push_back(rate);
        }
    };
    // Paused late in a second, after most of its frames; resumed early in
    // one, so that the round goes on with most of a second to count.
    screen().keyScript = [&](int, int key) {
        long long now = screen().nowMs;
        if (key == vkP && m.phase == MatchPhase::Playing && pausedAt < 0 && played >= 40 &&
            now % 1000 >= 850)
            return (pausedAt = now) > 0;
        if (key == vkP && m.phase == MatchPhase::Paused && resumedAt < 0 && now - pausedAt > 2000 &&
            now % 1000 < 100)
            return (resumedAt = now) > 0;
        return key == vkEscape && resumedAt > 0 && rates.size() >= 30;
    };
    playMatch(GameSetup{.match = true, .pause = true}, m);
    ASSERT_GT(resumedAt, 0);
    ASSERT_GE(rates.size(), 30U) << "the round went on";
    EXPECT_LT(firstDelay, delayBefore) << "the first frame after the pause counts as the first";
    EXPECT_LE(*std::max_element(rates.begin(), rates.end()), 12) << testing::PrintToString(rates);
}
