// SPDX-License-Identifier: MIT
// The game's rhythm, in frames, shared by the frame loop and the computer
// player, which plays the same rhythm forward to plan its moves.
#pragma once

// Gravity moves both pieces a row, and the lock test runs, in every frame
// whose count is a multiple of this.
constexpr int gravityPeriod = 10;
// The rotate keys are polled only in frames whose count is a multiple of this.
constexpr int turnPeriod = 2;
// A soft drop that the stack blocks sets the frame count to this multiple
// of gravityPeriod, so both pieces take a gravity step in the same frame.
constexpr int blockedDropTick = 50;
static_assert(blockedDropTick % gravityPeriod == 0);
// The frame rate the adaptive delay settles at (paceAfterDelay): a second holds this
// many frames, so gravity moves a piece about a row a second.
constexpr int framesPerSecond = 11;

// Under --speed-up the fall interval shortens as a round goes on: every
// speedUpEvery frames of a round (about 30 s) it loses speedUpStep frames,
// from gravityPeriod down to speedUpFloor, which it keeps from 1:00 on:
// 10, 8, then 6 frames a row. The floor is where a casual player who taps
// the keys still places a piece before it lands (faster, the ladder's
// simulated person topped out within 5 minutes in almost every game).
// Steps stay even, so that every gravity step falls on a frame of the same
// parity as the turn key's polls, which lets the computer plan the
// quickened rhythm as it plans the steady one.
constexpr int speedUpEvery = 30 * framesPerSecond;
constexpr int speedUpStep = 2;
constexpr int speedUpFloor = 6;
static_assert(speedUpStep % turnPeriod == 0 && speedUpFloor % turnPeriod == 0);
static_assert((gravityPeriod - speedUpFloor) % speedUpStep == 0);
// A frame count at blockedDropTick before a round's first step comes only
// from a blocked soft drop or from a round not yet quickened, whose rhythm
// has a step there anyway.
static_assert(speedUpEvery > blockedDropTick);

// When a quickened round reaches the floor, in seconds of play.
constexpr int speedUpFloorSeconds =
    (gravityPeriod - speedUpFloor) / speedUpStep * speedUpEvery / framesPerSecond;

// The fall interval, in frames, after `frames` frames of a round played
// with --speed-up.
constexpr int speedUpPeriod(long frames) {
    long steps = frames / speedUpEvery;
    long period = gravityPeriod - speedUpStep * steps;
    return period > speedUpFloor ? static_cast<int>(period) : speedUpFloor;
}

// When gravity next moves the pieces, as a frame count, and how many
// frames then pass between its steps: what the computer plans with.
struct FallRhythm {
    int nextFall;
    int period;
};

// The steady rhythm of the game without options, seen from frame `tick`:
// a step at every multiple of gravityPeriod.
constexpr FallRhythm steadyRhythm(int tick) {
    int phase = (tick % gravityPeriod + gravityPeriod) % gravityPeriod;
    return {tick + (gravityPeriod - phase) % gravityPeriod, gravityPeriod};
}
