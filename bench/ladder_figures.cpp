// SPDX-License-Identifier: MIT
// The ladder of computer levels, measured: each level against the one
// below, head to head; each level alone (time to top out, rows a minute);
// the simulated person (simulated_person.hpp) against each level; and how
// much of the board's width level 1 uses. Every game runs through the
// core's own frames on the in-memory back end, at 11 frames a second of
// game time; nothing here is timed.
// Usage: blockduel_ladder_figures [--speed-up] [GAMES] [SOLO_CAP_MINUTES] [MATCH_CAP_MINUTES]
// (--speed-up: every game quickens as under the game's option)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/rhythm.hpp"
#include "ladder_games.hpp"

namespace {

constexpr long framesPerMinute = 60L * framesPerSecond;

bool quickened = false; // --speed-up

double minutesOf(long frames) { return static_cast<double>(frames) / framesPerMinute; }

// The value at fraction `q` of the sorted values (0.5: the median).
double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    double at = q * static_cast<double>(v.size() - 1);
    auto low = static_cast<std::size_t>(at);
    std::size_t high = std::min(low + 1, v.size() - 1);
    return v[low] + (at - static_cast<double>(low)) * (v[high] - v[low]);
}

struct Tally {
    int wins = 0; // of the first contender
    int losses = 0;
    std::vector<double> minutes;
};

// `games` games of `a` against `b`, `a` on the left in the even ones (the
// left board locks first in a gravity frame, so sides matter); each seed
// is played once from each side.
Tally playSeries(const Contender& a, const Contender& b, int games, long cap) {
    Tally t;
    for (int n = 0; n < games; ++n) {
        auto seed = static_cast<unsigned>(n / 2 + 1);
        bool aLeft = n % 2 == 0;
        MatchResult m =
            aLeft ? playMatch(a, b, seed, cap, quickened) : playMatch(b, a, seed, cap, quickened);
        if (m.loser >= 0) {
            bool aLost = (m.loser == 0) == aLeft;
            ++(aLost ? t.losses : t.wins);
        }
        t.minutes.push_back(minutesOf(m.frames));
    }
    return t;
}

void printLevels() {
    std::printf("The level table (src/computer/levels.cpp):\n\n"
                "| level | frames a key | frames a Down | first look, frames | best places "
                "weighed with the next piece | slips |\n"
                "|---|---|---|---|---|---|\n");
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        const ComputerLevel& l = computerLevel(level);
        char slips[40] = "none";
        if (l.slipPercent > 0)
            std::snprintf(slips, sizeof slips, "%d %%, ranks 2-%d", l.slipPercent, l.slipRange + 1);
        std::printf("| %d | %d | %d | %d | %d | %s |\n", level, l.keyPeriod, l.dropPeriod,
                    l.reactionFrames, l.lookAhead, slips);
    }
}

void headToHead(int games, long cap) {
    std::printf("\nHead to head, %d games a pair (each seed from both sides), capped at %.0f "
                "minutes (target: the higher level wins at least 70 %%):\n\n"
                "| levels | higher wins | lower wins | neither | higher's share | minutes, "
                "median |\n|---|---|---|---|---|---|\n",
                games, minutesOf(cap));
    for (int level = computerMinLevel; level < computerMaxLevel; ++level) {
        Tally t = playSeries(computerAt(level + 1), computerAt(level), games, cap);
        std::printf("| %d v %d | %d | %d | %d | %.0f %% | %.1f |\n", level + 1, level, t.wins,
                    t.losses, games - t.wins - t.losses, 100.0 * t.wins / games,
                    quantile(t.minutes, 0.5));
        std::fflush(stdout);
    }
}

void againstThePerson(int games, long cap) {
    std::printf("\nThe simulated person against each level, %d games a level (each seed from "
                "both sides), capped at %.0f minutes (target: level 1 loses most, level 3 wins "
                "about half, level 5 nearly all):\n\n"
                "| level | level wins | person wins | neither | level's share | minutes, median "
                "|\n|---|---|---|---|---|---|\n",
                games, minutesOf(cap));
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        Tally t = playSeries(computerAt(level), simulatedPerson(), games, cap);
        std::printf("| %d | %d | %d | %d | %.0f %% | %.1f |\n", level, t.wins, t.losses,
                    games - t.wins - t.losses, 100.0 * t.wins / games, quantile(t.minutes, 0.5));
        std::fflush(stdout);
    }
}

double percent(long part, long whole) {
    return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0;
}

// Level 1's pieces over the width: how many touched each wall, and the
// share of its cells in each third of the board.
void width(const std::vector<SoloResult>& runs) {
    constexpr int inside = mapWidth - 2; // columns 1..inside
    constexpr int third = inside / 3;
    long pieces = 0;
    long walls[2] = {};
    long thirds[3] = {};
    long cells = 0;
    for (const SoloResult& r : runs) {
        pieces += r.pieces;
        walls[0] += r.wallPieces[0];
        walls[1] += r.wallPieces[1];
        for (int c = 1; c <= inside; ++c) {
            thirds[(c - 1) / third] += r.columnCells[c];
            cells += r.columnCells[c];
        }
    }
    std::printf("\nLevel 1 alone over the width, %zu games, %ld pieces: %.0f %% of them "
                "against the left wall, %.0f %% against the right; its cells in columns 1-%d, "
                "%d-%d, %d-%d: %.0f %%, %.0f %%, %.0f %%\n",
                runs.size(), pieces, percent(walls[0], pieces), percent(walls[1], pieces), third,
                third + 1, 2 * third, 2 * third + 1, inside, percent(thirds[0], cells),
                percent(thirds[1], cells), percent(thirds[2], cells));
}

// One row of the table alone: `player` for seeds 1 to `games`; the runs
// are kept in `runs` when it is given.
void aloneRow(const char* name, const Contender& player, int games, long cap,
              std::vector<SoloResult>* runs) {
    std::vector<double> minutes;
    std::vector<double> rates;
    int within5 = 0;
    int capped = 0;
    for (int n = 0; n < games; ++n) {
        SoloResult r = playSolo(player, static_cast<unsigned>(n + 1), cap, quickened);
        double m = minutesOf(r.frames);
        minutes.push_back(m);
        rates.push_back(r.rows / m);
        within5 += r.toppedOut && m <= 5 ? 1 : 0;
        capped += r.toppedOut ? 0 : 1;
        if (runs != nullptr)
            runs->push_back(r);
    }
    std::printf("| %s | %.1f | %.1f-%.1f | %d of %d | %d | %.1f |\n", name, quantile(minutes, 0.5),
                quantile(minutes, 0.25), quantile(minutes, 0.75), within5, games, capped,
                quantile(rates, 0.5));
    std::fflush(stdout);
}

void alone(int games, long cap) {
    std::printf("\nAlone, %d games each, capped at %.0f minutes (targets: level 1 clears at "
                "least a row a minute and tops out within 5 minutes in most games; the median "
                "time grows about twofold a level):\n\n"
                "| level | minutes to top out, median | quartiles | topped out within 5 min | "
                "capped | rows a minute, median |\n|---|---|---|---|---|---|\n",
                games, minutesOf(cap));
    std::vector<SoloResult> first;
    for (int level = computerMinLevel; level <= computerMaxLevel; ++level) {
        char name[8];
        std::snprintf(name, sizeof name, "%d", level);
        aloneRow(name, computerAt(level), games, cap, level == computerMinLevel ? &first : nullptr);
    }
    aloneRow("person", simulatedPerson(), games, cap, nullptr);
    width(first);
}

} // namespace

int main(int argc, char** argv) {
    quickened = argc > 1 && std::strcmp(argv[1], "--speed-up") == 0;
    if (quickened) {
        --argc;
        ++argv;
        std::printf("Every game with --speed-up: a row every %d frames, %d sooner every %d s, "
                    "%d from %d s on.\n\n",
                    gravityPeriod, speedUpStep, speedUpEvery / framesPerSecond, speedUpFloor,
                    speedUpFloorSeconds);
    }
    int games = argc > 1 ? std::atoi(argv[1]) : 50;
    long soloCap = (argc > 2 ? std::atol(argv[2]) : 240) * framesPerMinute;
    long matchCap = (argc > 3 ? std::atol(argv[3]) : 60) * framesPerMinute;
    if (games < 2 || soloCap <= 0 || matchCap <= 0) {
        std::fprintf(stderr, "usage: blockduel_ladder_figures [--speed-up] [GAMES] "
                             "[SOLO_CAP_MINUTES] [MATCH_CAP_MINUTES]\n");
        return 2;
    }
    printLevels();
    headToHead(games, matchCap);
    alone(games, soloCap);
    againstThePerson(games, matchCap);
    return 0;
}
