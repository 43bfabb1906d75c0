// SPDX-License-Identifier: MIT
#include "record/stats.hpp"

#include <algorithm>
#include <cstdio>

#include "model/model.hpp"

namespace record {

namespace {

int opponentLevel(const ResultEntry& e) {
    const MatchSetup& m = e.match;
    if (m.mode == PlayMode::Demo)
        return 10 * m.level[0] + m.level[1];
    if (e.you >= 0 && m.computer[1 - e.you])
        return m.level[1 - e.you];
    return 0;
}

// The rounds of one match as they add up.
struct MatchSoFar {
    TallyKey key;
    int won = 0;
    int lost = 0;
    bool over = false;
    int champion = -1;
    int you = -1;
};

void addRound(Tally& t, const ResultEntry& e) {
    const RoundResult& r = e.round;
    if (r.winner < 0)
        return;
    t.rounds += 1;
    if (e.you >= 0) {
        t.roundsWon += r.winner == e.you ? 1 : 0;
        t.roundsLost += r.winner != e.you ? 1 : 0;
    }
    for (int board = 0; board < 2; ++board) {
        if (e.you >= 0 && board != e.you)
            continue;
        t.bestScore = std::max(t.bestScore, r.score[board]);
        t.rows += r.rows[board];
        t.rowsFigured += e.rowsFigured ? r.rows[board] : 0;
    }
    t.longestSeconds = std::max(t.longestSeconds, r.seconds);
}

// A match is won by its champion, or, left before anyone became one, by
// whoever won more of its rounds.
int matchOutcome(const MatchSoFar& m) {
    if (!m.over || m.you < 0)
        return 0;
    if (m.champion >= 0)
        return m.champion == m.you ? 1 : -1;
    return m.won > m.lost ? 1 : m.won < m.lost ? -1 : 0;
}

} // namespace

Stats addUp(const std::vector<ResultEntry>& entries, int topLevel) {
    Stats stats;
    std::map<std::pair<long long, std::uint32_t>, MatchSoFar> matches;
    for (const ResultEntry& e : entries) {
        TallyKey key{e.match.mode, opponentLevel(e)};
        addRound(stats.tallies[key], e);
        MatchSoFar& m = matches[{e.match.startedUnix, e.match.matchId}];
        m.key = key;
        m.you = e.you;
        if (e.round.winner >= 0 && e.you >= 0) {
            m.won += e.round.winner == e.you ? 1 : 0;
            m.lost += e.round.winner != e.you ? 1 : 0;
        }
        m.over = m.over || e.matchOver;
        m.champion = e.matchOver ? e.champion : m.champion;
    }
    for (const auto& [id, m] : matches) {
        Tally& t = stats.tallies[m.key];
        t.matches += 1;
        int outcome = matchOutcome(m);
        t.matchesWon += outcome > 0 ? 1 : 0;
        t.matchesLost += outcome < 0 ? 1 : 0;
        if (outcome > 0 && m.key.first == PlayMode::Computer)
            stats.highestBeaten = std::max(stats.highestBeaten, m.key.second);
    }
    stats.nextLevel = stats.highestBeaten < topLevel ? stats.highestBeaten + 1 : 0;
    return stats;
}

const char* modeName(PlayMode mode) {
    switch (mode) {
    case PlayMode::Computer: return "--computer";
    case PlayMode::Demo: return "--demo";
    case PlayMode::Match: return "--match";
    case PlayMode::Host: return "--host";
    case PlayMode::Guest: return "--join";
    }
    return "?";
}

namespace {

std::string levelText(const TallyKey& key) {
    if (key.second == 0)
        return "-";
    if (key.first == PlayMode::Demo)
        return std::to_string(key.second / 10) + "," + std::to_string(key.second % 10);
    return std::to_string(key.second);
}

std::string minutes(long long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

} // namespace

std::string statsTable(const Stats& stats) {
    if (stats.tallies.empty())
        return "No matches recorded yet.\n";
    long long figured = 0;
    std::string out = "mode        level  matches won lost  rounds won lost   best  rows "
                      "longest\n";
    for (const auto& [key, t] : stats.tallies) {
        char line[160];
        std::snprintf(line, sizeof line, "%-11s %5s  %7d %3d %4d  %6d %3d %4d  %5d %5lld %7s\n",
                      modeName(key.first), levelText(key).c_str(), t.matches, t.matchesWon,
                      t.matchesLost, t.rounds, t.roundsWon, t.roundsLost, t.bestScore, t.rows,
                      minutes(t.longestSeconds).c_str());
        out += line;
        figured += t.rowsFigured;
    }
    if (figured > 0)
        out += "Of the rows, " + std::to_string(figured) +
               " are figured from the scores of rounds that an older version kept (" +
               std::to_string(rowScore) + " a row).\n";
    if (stats.highestBeaten > 0)
        out += "Against the computer: level " + std::to_string(stats.highestBeaten) +
               " beaten in a match" +
               (stats.nextLevel > 0
                    ? "; next, --computer --level " + std::to_string(stats.nextLevel) + ".\n"
                    : ", the top level.\n");
    else if (stats.nextLevel > 0)
        out += "Against the computer: no match won yet; try --computer --level " +
               std::to_string(stats.nextLevel) + ".\n";
    return out;
}

std::string statsJson(const Stats& stats) {
    std::string out = "{\"tallies\":[";
    bool first = true;
    for (const auto& [key, t] : stats.tallies) {
        char item[400];
        std::snprintf(
            item, sizeof item,
            "%s{\"mode\":\"%s\",\"level\":\"%s\",\"matches\":%d,\"matchesWon\":%d,"
            "\"matchesLost\":%d,\"rounds\":%d,\"roundsWon\":%d,\"roundsLost\":%d,"
            "\"bestScore\":%d,\"rows\":%lld,\"rowsFigured\":%lld,\"longestSeconds\":%lld}",
            first ? "" : ",", modeName(key.first) + 2, levelText(key).c_str(), t.matches,
            t.matchesWon, t.matchesLost, t.rounds, t.roundsWon, t.roundsLost, t.bestScore, t.rows,
            t.rowsFigured, t.longestSeconds);
        out += item;
        first = false;
    }
    out += "],\"highestLevelBeaten\":" + std::to_string(stats.highestBeaten) +
           ",\"nextLevel\":" + std::to_string(stats.nextLevel) + "}\n";
    return out;
}

} // namespace record
