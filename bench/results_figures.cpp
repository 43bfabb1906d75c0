// SPDX-License-Identifier: MIT
// The kept results on this machine's disk, printed, never asserted: how
// long a round's end takes to write (its result into the match's
// recording and its line into the results log, each one append), against
// a frame of about 91 ms; and how long --stats takes over 10,000 rounds.
// Matches of three rounds against the computer, each with a keeper of its
// own as a game makes one, so that starting a match prunes the recordings
// as it would.
//
// Usage: blockduel_results_figures [ROUNDS]   (in a scratch folder of its own)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "history/stats_command.hpp"
#include "record/keeper.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

record::MatchSetup matchAt(int level) {
    record::MatchSetup s;
    s.programVersion = "figures";
    s.startedUnix = 1'796'000'000;
    s.mode = record::PlayMode::Computer;
    s.computer[1] = true;
    s.level[1] = level;
    return s;
}

// Writes `rounds` rounds; the time each round's end took, in microseconds.
std::vector<double> writeRounds(const std::string& folder, int rounds) {
    std::vector<double> took;
    std::unique_ptr<record::MatchKeeper> keeper;
    for (int i = 0; i < rounds; ++i) {
        if (i % 3 == 0) {
            record::MatchSetup setup = matchAt(1 + i / 3 % 5);
            setup.matchId = static_cast<unsigned>(i);
            keeper = std::make_unique<record::MatchKeeper>(folder, setup, 0,
                                                           "20261207-" + std::to_string(i));
        }
        record::RoundResult r;
        r.round = i % 3 + 1;
        r.winner = i % 2;
        r.score[0] = 18 * (i % 40);
        r.score[1] = 18 * (i % 25);
        r.rows[0] = i % 40;
        r.rows[1] = i % 25;
        r.frames = 1000 + i % 500;
        r.seconds = r.frames / 11;
        bool over = i % 3 == 2;
        Clock::time_point start = Clock::now();
        keeper->roundEnded(r, over, over ? 0 : -1);
        took.push_back(microseconds(Clock::now() - start));
        if (!keeper->warning().empty()) {
            std::fprintf(stderr, "%s\n", keeper->warning().c_str());
            std::exit(1);
        }
    }
    return took;
}

double statsTime(const std::string& folder, bool json) {
    std::FILE* sink = std::fopen("/dev/null", "w");
    Clock::time_point start = Clock::now();
    history::printStats(folder, json, sink, stderr);
    double ms = microseconds(Clock::now() - start) / 1000;
    std::fclose(sink);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 10'000;
    std::string folder = (std::filesystem::temp_directory_path() /
                          ("blockduel-results-figures-" + std::to_string(::getpid())))
                             .string();
    std::printf("| on this disk | figure |\n|---|---|\n");
    std::vector<double> took = writeRounds(folder, rounds);
    std::sort(took.begin(), took.end());
    std::printf("| a round's end written (%d rounds) | median %.0f us, 99th %.0f us, worst %.0f us "
                "|\n",
                rounds, took[took.size() / 2], took[took.size() * 99 / 100], took.back());
    double table = statsTime(folder, false);
    double json = statsTime(folder, true);
    std::printf("| --stats over %d rounds | %.0f ms; --json %.0f ms; results log %lld bytes |\n",
                rounds, table, json,
                static_cast<long long>(std::filesystem::file_size(folder + "/results")));
    std::filesystem::remove_all(folder);
    return 0;
}
