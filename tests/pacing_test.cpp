// SPDX-License-Identifier: MIT
// The adaptive delay, the readouts and the clock they rest on.
#include <map>

#include "game/game.hpp"
#include "support/fixture.hpp"

namespace {

class Pacing : public Fresh {
protected:
    Game g;
    std::map<long long, int> framesInSecond; // virtual second -> frames ended in it
    void SetUp() override {
        Fresh::SetUp();
        startGame(g);
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
};

} // namespace

TEST_F(Pacing, SettlesNearElevenFramesPerSecond) {
    long long start = second();
    while (second() < start + 60)
        run(1);
    for (long long s = start + 15; s < start + 59; ++s)
        EXPECT_NEAR(11, framesInSecond[s], 1) << "second " << s - start;
    std::string readout = mem::rowText(18, 0, 5);
    EXPECT_TRUE(readout == "10FPS" || readout == "11FPS" || readout == "12FPS") << readout;
    EXPECT_EQ(7, screen().screen[18][0].attr);
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

TEST_F(Pacing, ReportFrameLowersTheDelayAndTheFifthFrameKeepsIt) {
    g.sleep_value = 90;
    g.fps = 40;
    screen().nowMs = (second() + 1) * 1000 - 50; // this frame crosses into a new second
    run(1);
    EXPECT_EQ(89, g.sleep_value);
    EXPECT_EQ("41FPS", mem::rowText(18, 0, 5));
    run(4); // frames counted 1 to 4 lower it too
    EXPECT_EQ(85, g.sleep_value);
    run(1);
    EXPECT_EQ(85, g.sleep_value);
    run(1);
    EXPECT_EQ(86, g.sleep_value);
}

TEST_F(Pacing, ShorterReadoutsBlankWhatWasLeft) {
    g.sleep_value = 11;
    run(2); // the delay falls to 10, then 9
    EXPECT_EQ("9 ", mem::rowText(19, 1, 2));
    g.fps = 11;
    screen().nowMs = (second() + 1) * 1000 - 1;
    run(1);
    g.fps = 7;
    screen().nowMs = (second() + 1) * 1000 - 1;
    run(1);
    EXPECT_EQ("8FPS ", mem::rowText(18, 0, 5));
}

TEST_F(Pacing, ClockSetBackDoesNotHoldBackTheReports) {
    run(300);
    int settled = g.sleep_value;
    screen().nowMs -= 3'600'000;
    run(300);
    EXPECT_NEAR(settled, g.sleep_value, 25);
    EXPECT_NEAR(11, framesInSecond[second() - 1], 1);
}

TEST_F(Pacing, StalledClockCannotGrowTheDelayWithoutBound) {
    run(100);
    mem::stallClock();
    run(3000);
    EXPECT_EQ(maxSleepMs, g.sleep_value);
    screen().clockStalled = false;
    while (g.sleep_value > 150)
        run(1);
    run(600);
    EXPECT_NEAR(11, framesInSecond[second() - 1], 1) << "recovers once the clock moves";
}
