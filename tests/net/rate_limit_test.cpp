// SPDX-License-Identifier: MIT
// How much of a guest's sending the host takes: a person's keys all, a key
// repeated faster than the game needs in part, a flood not at all.
#include <gtest/gtest.h>

#include "net/rate_limit.hpp"

namespace {

using namespace net;

// A full bucket gives its burst at once, then one token per 1000 /
// perSecond ms, and says when the next one comes; a long rest fills it only
// up to its burst.
TEST(RateLimit, ABucketGivesItsBurstThenItsRate) {
    TokenBucket bucket(50, 5);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(bucket.take(0)) << i;
    EXPECT_FALSE(bucket.take(0));
    EXPECT_EQ(20, bucket.readyAt(0));
    EXPECT_EQ(20, bucket.readyAt(15));
    EXPECT_FALSE(bucket.take(19));
    EXPECT_TRUE(bucket.take(20));
    EXPECT_FALSE(bucket.take(39));
    EXPECT_TRUE(bucket.take(40));
    int taken = 0;
    for (long long now = 1'000'000; now < 1'000'000 + 1000; ++now)
        taken += bucket.take(now) ? 1 : 0;
    EXPECT_EQ(5 + 50 - 1, taken); // the burst, then one every 20 ms after the first
}

// Counts what the pace makes of `count` messages `everyMs` apart.
struct Outcome {
    int taken = 0;
    int dropped = 0;
    int endedAt = -1; // the message that ended the connection
};

Outcome send(GuestPace& pace, int count, double everyMs, bool droppable, long long from = 0) {
    Outcome o;
    for (int i = 0; i < count; ++i) {
        switch (pace.message(droppable, from + static_cast<long long>(i * everyMs))) {
        case Pace::Take: o.taken += 1; break;
        case Pace::Drop: o.dropped += 1; break;
        case Pace::End: o.endedAt = i; return o;
        }
    }
    return o;
}

// Twenty presses and twenty releases a second for a minute: every one is
// taken. Presses 45 times a second, each with its release and a read of its
// own: the releases and the reads do not crowd the presses out.
TEST(RateLimit, APersonsKeysAreAllTakenReleasesAndReadsLeavingRoomForPresses) {
    GuestPace person;
    Outcome o = send(person, 40 * 60, 25, true);
    EXPECT_EQ(40 * 60, o.taken);
    EXPECT_EQ(-1, o.endedAt);
    GuestPace pace;
    int dropped = 0;
    for (int i = 0; i < 45 * 60; ++i) {
        long long at = i * 1000LL / 45;
        ASSERT_EQ(Pace::Take, pace.message(false, at)) << i; // the read
        dropped += pace.message(true, at) == Pace::Drop ? 1 : 0;
        ASSERT_EQ(Pace::Take, pace.message(false, at + 5)) << i; // the release
    }
    EXPECT_EQ(0, dropped);
}

// A key held in a terminal that repeats it 100 times a second: the repeats
// beyond keptPerSecond are dropped, the connection lives, and a release
// among them is never dropped.
TEST(RateLimit, FastRepeatsAreThinnedAndReleasesKept) {
    GuestPace pace;
    Outcome repeats = send(pace, 1000, 10, true);
    EXPECT_EQ(-1, repeats.endedAt);
    EXPECT_NEAR(GuestPace::keptBurst + GuestPace::keptPerSecond * 10, repeats.taken, 2);
    EXPECT_GT(repeats.dropped, 400);
    Outcome releases = send(pace, 50, 10, false, 10'000);
    EXPECT_EQ(50, releases.taken);
}

// A flood of keys or of keep-alives ends the connection once it is past
// anything a person sends: at once for a burst, within a few seconds for a
// steady flood just past the limit.
TEST(RateLimit, AFloodEndsTheConnection) {
    for (bool droppable : {true, false}) {
        GuestPace burst;
        EXPECT_EQ(GuestPace::endBurst, send(burst, 100'000, 0, droppable).endedAt) << droppable;
        GuestPace steady; // 250 a second
        Outcome o = send(steady, 100'000, 4, droppable);
        EXPECT_GT(o.endedAt, GuestPace::endBurst) << droppable;
        EXPECT_LT(o.endedAt, 250 * 6) << droppable;
    }
}

} // namespace
