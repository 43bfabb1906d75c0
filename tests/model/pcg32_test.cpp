// SPDX-License-Identifier: MIT
// The matches' own generator: the reference numbers, bounded draws without
// bias, and the same pieces and penalty cells as the Linux build drew.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "draws_digest.hpp"
#include "model/pcg32.hpp"

namespace {

TEST(Pcg32, GivesTheReferenceImplementationsNumbers) {
    // The reference demo's first numbers for state 42, stream 54.
    Pcg32 generator(42U, 54U);
    for (std::uint32_t expected :
         {0xa15c02b7U, 0x7b47f409U, 0xba1d3330U, 0x83d2f293U, 0xbfa4784bU, 0xcbed606eU})
        EXPECT_EQ(generator.next(), expected);
}

TEST(Pcg32, BelowStaysUnderItsBoundAndCoversIt) {
    struct Case {
        std::uint32_t bound;
        int draws;
    };
    // The game's bounds, and one where a draw is taken again almost every
    // other time (2^31 + 1).
    for (Case c :
         {Case{1, 10}, Case{2, 100}, Case{4, 200}, Case{18, 1000}, Case{0x80000001U, 1000}}) {
        Pcg32 generator(7U, c.bound);
        std::set<std::uint32_t> seen;
        for (int i = 0; i < c.draws; ++i) {
            std::uint32_t value = generator.below(c.bound);
            ASSERT_LT(value, c.bound);
            seen.insert(value);
        }
        if (c.bound <= 18) {
            EXPECT_EQ(seen.size(), c.bound) << "bound " << c.bound;
        }
    }
}

TEST(Pcg32, BelowHasNoBiasTowardsSmallNumbers) {
    // Below 2^30 of 3 * 2^30, taken straight as `next() % bound`, comes up
    // half the time rather than a third.
    constexpr std::uint32_t bound = 3U << 30U;
    constexpr int draws = 3000;
    Pcg32 generator(1U, 2U);
    int low = 0;
    for (int i = 0; i < draws; ++i)
        low += generator.below(bound) < bound / 3 ? 1 : 0;
    EXPECT_NEAR(low / double{draws}, 1.0 / 3, 0.05);
}

TEST(Pcg32, DrawsTheSamePiecesAndPenaltyCellsAsTheLinuxBuild) {
    EXPECT_EQ(draws_digest::digestOfDraws(draws_digest::seed), draws_digest::keptDrawsDigest)
        << "this build draws other pieces than the Linux build for the same seed";
}

} // namespace
