// SPDX-License-Identifier: MIT
#include "history/pieces_check.hpp"

#include "game/keeping.hpp"
#include "game/match.hpp"
#include "game/recording.hpp"
#include "text/printable.hpp"

namespace history {

std::string piecesProblem(const Recording& recording) {
    const record::MatchSetup& header = recording.header;
    if (!header.libraryPieces || header.mode == record::PlayMode::Guest || !recording.firstRound)
        return "";
    record::TapeReader tape = recording.tape;
    TapePlayer player(tape);
    GameSetup setup = replayedSetup(header);
    seedGenerators(setup);
    SteppedMatch match(setup, platformOutside(), &player);
    const Match& m = match.match();
    // A tape may hold a pause of any length: past a day of steps the first
    // round is not waited for, and the playback shows what it shows.
    constexpr long long mostSteps = record::maxRoundSeconds * (1000 / matchWaitMs);
    long long steps = 0;
    do
        match.advance();
    while (!match.over() && m.round == 1 && m.phase != MatchPhase::RoundOver &&
           ++steps < mostSteps);
    if (steps >= mostSteps)
        return "";
    const record::RoundResult& here = m.result;
    const record::RoundResult& there = *recording.firstRound;
    if (here.winner == there.winner && here.frames == there.frames &&
        here.score[0] == there.score[0] && here.score[1] == there.score[1])
        return "";
    return "it was kept by blockduel " + printable(header.programVersion) +
           ", whose matches took their pieces from the C library of the system that played "
           "them, and this system's library deals other pieces; play it back on the system "
           "that kept it";
}

} // namespace history
