// SPDX-License-Identifier: MIT
// A round's result as the game keeps it (record::RoundResult) and as the
// host's Result message carries it to a guest (net::RoundOutcome), which
// adds the computer's levels and the match's end.
#pragma once

#include "game/game.hpp"
#include "game/match.hpp"
#include "game/rhythm.hpp"
#include "model/model.hpp"
#include "net/protocol.hpp"
#include "record/results.hpp"

namespace netplay {

// What a round of the game can hold, so that a guest counts nothing else
// in its statistics whatever its host says; its seconds are at most
// record::maxRoundSeconds, as those of every round kept.
//
// The pacing settles at framesPerSecond and moves its delay by a
// millisecond a frame, so no second of a round holds ten times as many.
constexpr long long mostFramesPerSecond = 10LL * framesPerSecond;
// A board locks at most one piece a frame, and a lock clears at most the
// four rows the bar of four stands in.
constexpr long long mostRowsPerFrame = 4;
constexpr long long mostScorePerFrame = mostRowsPerFrame * rowScore;
// Every round starts after its countdown, so a match goes through at most
// one a countdown in a round's longest time, whenever a guest joins it.
constexpr int mostRound = static_cast<int>(record::maxRoundSeconds / countdownSeconds);

// True when every figure of `outcome` is one a round of the game can end
// with: its number, its length in seconds and frames, its scores and rows.
bool plausible(const net::RoundOutcome& outcome);

// The levels are those of the boards `setup` gives the computer (none for
// nullptr); frames and seconds beyond what the message holds go at its
// bound.
net::RoundOutcome outcomeOf(const record::RoundResult& round, const GameSetup* setup,
                            bool matchOver, int champion);
record::RoundResult roundOf(const net::RoundOutcome& outcome);

} // namespace netplay
