// SPDX-License-Identifier: MIT
#include "netplay/round_outcome.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace netplay {

namespace {

std::uint32_t held(long long count) {
    return static_cast<std::uint32_t>(std::clamp(count, 0LL, 0xFFFFFFFFLL));
}

} // namespace

net::RoundOutcome outcomeOf(const record::RoundResult& round, const GameSetup* setup,
                            bool matchOver, int champion) {
    net::RoundOutcome o;
    o.round = round.round;
    o.winner = round.winner;
    std::copy(std::begin(round.score), std::end(round.score), std::begin(o.score));
    std::copy(std::begin(round.rows), std::end(round.rows), std::begin(o.rows));
    o.frames = held(round.frames);
    o.seconds = held(round.seconds);
    for (int board = 0; board < 2; ++board)
        o.level[board] = setup != nullptr && setup->computer[board] ? setup->level[board] : 0;
    o.matchOver = matchOver;
    o.champion = champion;
    return o;
}

bool plausible(const net::RoundOutcome& outcome) {
    long long frames = outcome.frames;
    long long mostScore = (frames + 1) * mostScorePerFrame;
    long long mostRows = (frames + 1) * mostRowsPerFrame;
    bool fits = outcome.round >= 1 && outcome.round <= mostRound &&
                outcome.seconds <= record::maxRoundSeconds &&
                frames <= (outcome.seconds + 1) * mostFramesPerSecond;
    for (int board = 0; board < 2; ++board)
        fits = fits && outcome.score[board] >= 0 && outcome.score[board] <= mostScore &&
               outcome.rows[board] >= 0 && outcome.rows[board] <= mostRows;
    return fits;
}

record::RoundResult roundOf(const net::RoundOutcome& outcome) {
    record::RoundResult r;
    r.round = outcome.round;
    r.winner = outcome.winner;
    std::copy(std::begin(outcome.score), std::end(outcome.score), std::begin(r.score));
    std::copy(std::begin(outcome.rows), std::end(outcome.rows), std::begin(r.rows));
    r.frames = outcome.frames;
    r.seconds = outcome.seconds;
    return r;
}

} // namespace netplay
