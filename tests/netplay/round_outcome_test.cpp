// SPDX-License-Identifier: MIT
// What a guest takes of its host's results: each figure up to what a round
// of the game can hold, and no further.
#include <gtest/gtest.h>

#include "netplay/round_outcome.hpp"

namespace netplay {
namespace {

// A long round of a good player, well inside every bound.
net::RoundOutcome aRound() {
    net::RoundOutcome r;
    r.round = 12;
    r.winner = 1;
    r.score[1] = 540;
    r.rows[1] = 540 / rowScore;
    r.frames = 6600;
    r.seconds = 600;
    return r;
}

TEST(HeardResults, EachFigureHoldsUpToItsBound) {
    struct Case {
        const char* what;
        void (*set)(net::RoundOutcome&, long long beyond); // beyond: 0 at the bound, 1 past it
    };
    const Case cases[] = {
        {"round", [](net::RoundOutcome& r, long long b) { r.round = mostRound + int(b); }},
        {"seconds",
         [](net::RoundOutcome& r, long long b) {
             r.seconds = static_cast<std::uint32_t>(record::maxRoundSeconds + b);
         }},
        {"frames",
         [](net::RoundOutcome& r, long long b) {
             r.frames = static_cast<std::uint32_t>((r.seconds + 1) * mostFramesPerSecond + b);
         }},
        {"score",
         [](net::RoundOutcome& r, long long b) {
             r.score[0] = static_cast<int>((r.frames + 1) * mostScorePerFrame + b);
         }},
        {"rows",
         [](net::RoundOutcome& r, long long b) {
             r.rows[1] = static_cast<int>((r.frames + 1) * mostRowsPerFrame + b);
         }},
    };
    EXPECT_TRUE(plausible(aRound()));
    for (const Case& c : cases) {
        for (long long beyond : {0LL, 1LL}) {
            net::RoundOutcome r = aRound();
            c.set(r, beyond);
            EXPECT_EQ(plausible(r), beyond == 0)
                << c.what << (beyond ? " past" : " at") << " its bound";
        }
    }
}

} // namespace
} // namespace netplay
