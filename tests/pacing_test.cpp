// SPDX-License-Identifier: MIT
// The adaptive delay, the readouts and the clock they rest on.
#include <map>

#include "support/fixture.hpp"

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
    run(1);
    EXPECT_EQ("9 ", mem::rowText(19, 1, 2));
    run(3); // counted 2 to 4
    EXPECT_EQ(6, g.sleep_value);
    run(1);
    EXPECT_EQ(6, g.sleep_value);
    run(1);
    EXPECT_EQ(7, g.sleep_value);
    g.fps = 7;
    endSecondNow();
    run(1);
    EXPECT_EQ("8FPS ", mem::rowText(18, 0, 5));
}
