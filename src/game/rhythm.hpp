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
// The frame rate the adaptive delay settles at (pace): a second holds this
// many frames, so gravity moves a piece about a row a second.
constexpr int framesPerSecond = 11;
