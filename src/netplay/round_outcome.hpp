// SPDX-License-Identifier: MIT
// A round's result as the game keeps it (record::RoundResult) and as the
// host's Result message carries it to a guest (net::RoundOutcome), which
// adds the computer's levels and the match's end.
#pragma once

#include "game/game.hpp"
#include "net/protocol.hpp"
#include "record/results.hpp"

namespace netplay {

// The levels are those of the boards `setup` gives the computer (none for
// nullptr); frames and seconds beyond what the message holds go at its
// bound.
net::RoundOutcome outcomeOf(const record::RoundResult& round, const GameSetup* setup,
                            bool matchOver, int champion);
record::RoundResult roundOf(const net::RoundOutcome& outcome);

} // namespace netplay
