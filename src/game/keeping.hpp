// SPDX-License-Identifier: MIT
// A match as its recording describes it, and back: what of a setup a
// playback needs to draw the same pictures (who plays each board and how
// well, the seed, whose words the lines speak, the countdown, the pause,
// colours, the match's end, the keys and their legends).
#pragma once

#include "game/game.hpp"
#include "record/results.hpp"

record::MatchSetup recordedSetup(const GameSetup& setup, record::PlayMode mode);
// The setup of a playback: the recorded one, with no remote seat (the tape
// answers for the player who was at another keyboard) and no frame hook.
GameSetup replayedSetup(const record::MatchSetup& recorded);
