// SPDX-License-Identifier: MIT
// The game's pacing as the figures measure it: the rate it settles at, the
// band a settled rate readout stays in, and how long the figures let it
// settle before they count. It starts at a 1 ms delay and needs about
// fifteen seconds, with frames that take no time (the session's virtual
// clock), to settle; a game on the real clock is given a second more.
#pragma once

constexpr int settledRate = 11; // frames a second
constexpr int lowestRate = 10;
constexpr int highestRate = 12;

constexpr bool inRateBand(double rate) { return rate >= lowestRate && rate <= highestRate; }

constexpr long long virtualSettleMs = 15'000;
constexpr long long realSettleMs = 16'000;

// The virtual time of the frames a figure has played, and which of them
// count: those that end after the settling.
struct SettlingClock {
    long long ms = 0;

    // Adds a frame that took `frameMs`; true when it counts.
    bool add(long long frameMs) {
        ms += frameMs;
        return ms > virtualSettleMs;
    }
    // `countedMs` of counted frames have been played.
    bool done(long long countedMs) const { return ms >= virtualSettleMs + countedMs; }
};
