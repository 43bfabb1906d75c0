// SPDX-License-Identifier: MIT
// A match as its recording describes it, and back: what of a setup a
// playback needs to draw the same pictures (who plays each board and how
// well, the seed, whose words the lines speak, the countdown, the pause,
// colours, the match's end, the keys and their legends).
#pragma once

#include <memory>
#include <string>

#include "game/game.hpp"
#include "record/keeper.hpp"
#include "record/results.hpp"

record::MatchSetup recordedSetup(const GameSetup& setup, record::PlayMode mode);
// The setup of a playback: the recorded one, with no remote seat (the tape
// answers for the player who was at another keyboard) and no frame hook.
GameSetup replayedSetup(const record::MatchSetup& recorded);

// What a keeper is told of the match besides its setup.
struct KeptAs {
    record::PlayMode mode;
    int you;                // the board of this machine's player, -1 for none
    std::string folder;     // the state folder; "" keeps nothing
    long long startedUnix;  // by the calendar
    unsigned processId;     // two games of one second and seed differ by it
    std::string version;    // the program's
    std::string stamp;      // the start as the recording's name shows it
    std::string tag{};      // after the stamp in the recording's name (a server's room)
    bool resultsLog = true; // its rounds in the results log too
};

// The keeper of the match `setup` (seeded already) describes.
std::unique_ptr<record::MatchKeeper> keeperFor(const GameSetup& setup, const KeptAs& as);

// The keeper of the match `setup` (seeded already) describes, made its
// keeper, after the results log was read (a damaged one is set aside then,
// so that the match adds to a whole one); `warning` says what was wrong
// with the log.
std::unique_ptr<record::MatchKeeper> startKeeping(GameSetup& setup, const KeptAs& as,
                                                  std::string& warning);
// What went wrong with the files, as one message for after the match; ""
// when nothing did.
std::string keepingWarning(const record::MatchKeeper& keeper, const std::string& logWarning);

// Seeds and plays the match `setup` describes, kept as `as` says; what
// went wrong with the files.
std::string playKeptMatch(GameSetup setup, const KeptAs& as);
