// SPDX-License-Identifier: MIT
// Headers and results read back as written; anything out of bounds, cut,
// or of another version is refused.
#include "record/results.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "record/varint.hpp"

namespace record {
namespace {

MatchSetup someSetup() {
    return {.programVersion = "0.2.0",
            .startedUnix = 1'796'000'000,
            .matchId = 0xDEADBEEF,
            .mode = PlayMode::Host,
            .computer = {false, true},
            .remote = {true, false},
            .level = {2, 5},
            .seed = 4'000'000'000U,
            .viewer = 1,
            .countdown = true,
            .noColor = true,
            .firstTo = 3,
            .speedUp = true,
            .legend = {"\x18\x19\x1A\x1B", "W A S D"},
            .names = {"Li Wei", "\u00c5sa"},
            .keys = {{{0x26, 0x25, 0x27, 0x28}, {0x157, 0x141, 0x144, 0x153}}}};
}

// The fields a header keeps, as one value to compare.
auto kept(const MatchSetup& s) {
    return std::tie(s.programVersion, s.startedUnix, s.matchId, s.mode, s.computer[0],
                    s.computer[1], s.remote[0], s.remote[1], s.level[0], s.level[1], s.legend,
                    s.seed, s.viewer, s.countdown, s.pause, s.noColor, s.firstTo, s.speedUp, s.keys,
                    s.names);
}

// A round's fields and the entry's own, as one value.
auto kept(const ResultEntry& e) {
    const RoundResult& r = e.round;
    return std::tie(r.round, r.winner, r.score[0], r.score[1], r.rows[0], r.rows[1], r.frames,
                    r.seconds, e.you, e.matchOver, e.champion);
}

TEST(Results, ReadBackAsWritten) {
    MatchSetup setup = someSetup();
    std::optional<MatchSetup> header = decodeSetup(encodeSetup(setup));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(kept(*header), kept(setup));

    ResultEntry entry;
    entry.match = setup;
    entry.round = {7, 1, {120, 3400}, {4, 31}, 9000, 812};
    entry.you = 0;
    entry.matchOver = true;
    entry.champion = 1;
    std::optional<ResultEntry> back = decodeEntry(encodeEntry(entry));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(kept(back->match), kept(setup));
    EXPECT_EQ(kept(*back), kept(entry));

    RoundResult unfinished;
    unfinished.round = 2;
    std::optional<RoundResult> round = decodeRound(encodeRound(unfinished));
    ASSERT_TRUE(round.has_value());
    EXPECT_EQ(round->winner, -1) << "a round ended unfinished has no winner";
}

TEST(Results, ACutOrLongerPayloadIsRefused) {
    std::string header = encodeSetup(someSetup());
    for (std::size_t cut = 0; cut < header.size(); ++cut)
        EXPECT_FALSE(decodeSetup(header.substr(0, cut))) << "cut at " << cut;
    EXPECT_FALSE(decodeSetup(header + "x")) << "bytes after the last field";
    std::string entry = encodeEntry(ResultEntry{});
    for (std::size_t cut = 0; cut < entry.size(); ++cut)
        EXPECT_FALSE(decodeEntry(entry.substr(0, cut))) << "cut at " << cut;
}

TEST(Results, AnotherVersionIsToldAndRefused) {
    std::string later;
    appendNumber(later, formatVersion + 1);
    later += encodeSetup(someSetup()).substr(1);
    EXPECT_EQ(versionOf(later), formatVersion + 1);
    EXPECT_FALSE(decodeSetup(later));
    EXPECT_EQ(versionOf(encodeSetup(someSetup())), formatVersion);
    // The format before names reads as it was written, with none.
    MatchSetup unnamed = someSetup();
    unnamed.names = {};
    std::string current = encodeSetup(unnamed);
    std::string before;
    appendNumber(before, firstNamesVersion - 1);
    before += current.substr(1, current.size() - 3); // without the version and the empty names
    ASSERT_TRUE(decodeSetup(before));
    EXPECT_EQ(kept(*decodeSetup(before)), kept(unnamed));
}

// Format 1 wrote each board's score in its rows' place: the rows are
// figured from the score, and stay marked so when the entry is written again.
TEST(Results, AnEntryOfTheFirstFormatHasItsRowsFiguredFromItsScore) {
    ResultEntry entry;
    entry.match = someSetup();
    entry.match.names = {};
    entry.round = {1, 1, {36, 54}, {36, 54}, 400, 40};
    std::string current = encodeEntry(entry);
    std::string first;
    appendNumber(first, oldestFormatVersion);
    // Without the version, the setup's empty names at its end, and the mark.
    std::size_t names = encodeSetup(entry.match).size() - 2;
    first += current.substr(1, names - 1) + current.substr(names + 2, current.size() - names - 3);
    for (const std::string& bytes : {first, encodeEntry(*decodeEntry(first))}) {
        std::optional<ResultEntry> back = decodeEntry(bytes);
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(back->rowsFigured);
        EXPECT_EQ(back->round.rows[0], 2);
        EXPECT_EQ(back->round.rows[1], 3);
        EXPECT_EQ(back->round.score[1], 54);
    }
    EXPECT_FALSE(decodeEntry(current)->rowsFigured);
    EXPECT_EQ(decodeEntry(current)->round.rows[1], 54) << "rows counted are read as they are";
}

TEST(Results, FieldsOutOfBoundsAreRefused) {
    MatchSetup setup = someSetup();
    for (int mode : {0, playModes + 1}) {
        MatchSetup bad = setup;
        bad.mode = static_cast<PlayMode>(mode);
        EXPECT_FALSE(decodeSetup(encodeSetup(bad))) << "mode " << mode;
    }
    RoundResult round;
    round.score[0] = maxScore;
    EXPECT_TRUE(decodeRound(encodeRound(round)));
    round.score[0] = maxScore + 1;
    EXPECT_FALSE(decodeRound(encodeRound(round)));
    round.score[0] = -1;
    EXPECT_FALSE(decodeRound(encodeRound(round))) << "a negative score never comes back";
    round.score[0] = 0;
    round.seconds = maxRoundSeconds;
    EXPECT_TRUE(decodeRound(encodeRound(round)));
    round.seconds = maxRoundSeconds + 1;
    EXPECT_FALSE(decodeRound(encodeRound(round))) << "no round of the game lasts a day";
    std::string named = encodeSetup(setup);
    EXPECT_FALSE(decodeSetup(named.replace(named.find("Li Wei"), 6, "Li<b>i"))) << "no name";
    MatchSetup badName = setup;
    badName.names[1] = "\x1b[2J";
    EXPECT_EQ(decodeSetup(encodeSetup(badName))->names[1], "") << "none is written";
    MatchSetup longLegend = setup;
    longLegend.legend[1] = std::string(maxLegend + 5, 'k');
    std::optional<MatchSetup> cut = decodeSetup(encodeSetup(longLegend));
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->legend[1].size(), static_cast<std::size_t>(maxLegend));
}

} // namespace
} // namespace record
