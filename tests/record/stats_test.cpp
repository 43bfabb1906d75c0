// SPDX-License-Identifier: MIT
// What the results add up to: rounds and matches won and lost per mode and
// level, bests, and where the ladder stands.
#include "record/stats.hpp"

#include <gtest/gtest.h>

#include <cstdio>

namespace record {
namespace {

constexpr int topLevel = 5;

// A round against the computer at `level`, this machine's player on board one.
ResultEntry againstComputer(std::uint32_t match, int level, int winner, int score,
                            long long seconds) {
    ResultEntry e;
    e.match.mode = PlayMode::Computer;
    e.match.matchId = match;
    e.match.startedUnix = 1000;
    e.match.computer[1] = true;
    e.match.level[1] = level;
    e.you = 0;
    // The computer's score is no best of this player's.
    e.round = {
        .winner = winner, .score = {score, 99'999}, .rows = {score / 10, 0}, .seconds = seconds};
    return e;
}

// A tally's figures in a line.
std::string figures(const Tally& t) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "%d matches (%d won, %d lost), %d rounds (%d won, %d lost), "
                  "best %d, %lld rows, %lld s",
                  t.matches, t.matchesWon, t.matchesLost, t.rounds, t.roundsWon, t.roundsLost,
                  t.bestScore, t.rows, t.longestSeconds);
    return line;
}

ResultEntry ended(ResultEntry e, int champion) {
    e.matchOver = true;
    e.champion = champion;
    return e;
}

TEST(Stats, AddsRoundsAndMatchesPerModeAndLevel) {
    std::vector<ResultEntry> log = {
        againstComputer(1, 3, 0, 120, 60), againstComputer(1, 3, 1, 80, 200),
        ended(againstComputer(1, 3, 0, 300, 90), 0), // won 2-1, first to 2
        againstComputer(2, 3, 1, 10, 30), ended(againstComputer(2, 3, 1, 20, 40), 1), // lost 0-2
        againstComputer(3, 4, 1, 50, 70), // no end: the game was killed
        // Left without a champion: to whoever won more rounds, if anyone.
        againstComputer(4, 2, 0, 1, 1), ended(againstComputer(4, 2, 0, 1, 1), -1),
        againstComputer(5, 2, 1, 1, 1), ended(againstComputer(5, 2, 0, 1, 1), -1), // 1-1: neither
    };
    Stats stats = addUp(log, topLevel);
    EXPECT_EQ(figures(stats.tallies.at({PlayMode::Computer, 3})),
              "2 matches (1 won, 1 lost), 5 rounds (2 won, 3 lost), best 300, 53 rows, 200 s");
    EXPECT_EQ(figures(stats.tallies.at({PlayMode::Computer, 4})),
              "1 matches (0 won, 0 lost), 1 rounds (0 won, 1 lost), best 50, 5 rows, 70 s")
        << "a match without its end is undecided";
    EXPECT_EQ(figures(stats.tallies.at({PlayMode::Computer, 2})),
              "2 matches (1 won, 0 lost), 4 rounds (3 won, 1 lost), best 1, 0 rows, 1 s");
    EXPECT_EQ(stats.highestBeaten, 3);
    EXPECT_EQ(stats.nextLevel, 4);
}

TEST(Stats, TheLadderEndsAtTheTopAndStartsAtTheBottom) {
    EXPECT_EQ(addUp({}, topLevel).nextLevel, 1);
    EXPECT_EQ(addUp({}, topLevel).highestBeaten, 0);
    Stats top = addUp({ended(againstComputer(1, 5, 0, 1, 1), 0)}, topLevel);
    EXPECT_EQ(top.highestBeaten, 5);
    EXPECT_EQ(top.nextLevel, 0);
    EXPECT_NE(statsTable(top).find("the top level"), std::string::npos);
}

TEST(Stats, ADemoCountsBothBoardsAndNoWinner) {
    ResultEntry demo;
    demo.match.mode = PlayMode::Demo;
    demo.match.computer[0] = demo.match.computer[1] = true;
    demo.match.level[0] = 1;
    demo.match.level[1] = 4;
    demo.round = {.winner = 1, .score = {70, 500}};
    Stats stats = addUp({ended(demo, 1)}, topLevel);
    EXPECT_EQ(figures(stats.tallies.at({PlayMode::Demo, 14})),
              "1 matches (0 won, 0 lost), 1 rounds (0 won, 0 lost), best 500, 0 rows, 0 s");
    EXPECT_EQ(stats.highestBeaten, 0) << "the computer beating itself climbs no ladder";
    EXPECT_NE(statsTable(stats).find("1,4"), std::string::npos);
}

TEST(Stats, TheTableAndJsonSayTheSame) {
    Stats stats = addUp({ended(againstComputer(1, 3, 0, 450, 125), 0)}, topLevel);
    std::string table = statsTable(stats);
    for (const char* part : {"--computer", "450", "2:05", "--computer --level 4"})
        EXPECT_NE(table.find(part), std::string::npos) << part << " in " << table;
    std::string json = statsJson(stats);
    for (const char* part : {"\"mode\":\"computer\",\"level\":\"3\",\"matches\":1,\"matchesWon\":1",
                             "\"bestScore\":450", "\"nextLevel\":4"})
        EXPECT_NE(json.find(part), std::string::npos) << part << " in " << json;
    EXPECT_EQ(statsTable(addUp({}, topLevel)), "No matches recorded yet.\n");
    EXPECT_EQ(table.find("figured"), std::string::npos) << table;

    ResultEntry older = ended(againstComputer(2, 3, 0, 90, 10), 0);
    older.round.rows[0] = 5;
    older.rowsFigured = true;
    Stats mixed = addUp({older, ended(againstComputer(1, 3, 0, 450, 125), 0)}, topLevel);
    EXPECT_NE(statsTable(mixed).find("Of the rows, 5 are figured"), std::string::npos);
    EXPECT_NE(statsJson(mixed).find("\"rows\":50,\"rowsFigured\":5,"), std::string::npos);
}

} // namespace
} // namespace record
