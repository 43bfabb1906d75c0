// SPDX-License-Identifier: MIT
// Choosing where the falling piece goes: every reachable resting place
// locked on a copy of the player's record by the game's own rules and
// weighed; the best, with the next piece in mind at the levels that look
// ahead, or now and then, as the level says, a slip to one a little worse.
#pragma once

#include "computer/level.hpp"
#include "computer/plan.hpp"

// Plans the piece of `p` from where it is now, before the input phase of
// the frame with count `tick`. `random` is the seat's own generator, which
// decides the slips. False if the piece has no place the search knows (it
// cannot happen with the game's pieces). Gravity keeps the steady rhythm
// unless `rhythm` is given.
bool planPiece(ComputerPlan& plan, const Player& p, int tick, const ComputerLevel& level,
               unsigned& random);
bool planPiece(ComputerPlan& plan, const Player& p, int tick, FallRhythm rhythm,
               const ComputerLevel& level, unsigned& random);

// The seat's own generator, xorshift: the next value of `state`, which must
// not be 0.
unsigned nextRandom(unsigned& state);
