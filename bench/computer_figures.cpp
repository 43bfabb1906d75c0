// SPDX-License-Identifier: MIT
// The CPU time of the computer player's plans, in demo games at each level
// (bench/ladder_figures.cpp prints how well the levels play).
// Usage: blockduel_computer_figures [SEEDS] [LEVEL ...]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "computer/choose.hpp"
#include "game/game.hpp"
#include "game/rhythm.hpp"
#include "memory_backend.hpp"

namespace {

constexpr long framesPerMinute = 60L * framesPerSecond;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// CPU time of this thread in microseconds: a plan's own time, without the
// waits of a machine shared with other work.
double cpuMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// The fastest of five more plans on the same inputs: the plan's own work,
// without what a machine shared with other work adds to a single timing.
double replanned(const ComputerPlayer& seat, const Player& p, int tick) {
    double fastest = 1e9;
    for (int n = 0; n < 5; ++n) {
        ComputerPlan plan{};
        unsigned random = seat.random;
        double start = cpuMicros();
        planPiece(plan, p, tick, seat.skill, random);
        fastest = std::min(fastest, cpuMicros() - start);
    }
    return fastest;
}

// Every plan of demo games at `level`, timed: before each frame a copy of
// each seat decides as the seat will (same records, same frame), and the
// copy's time counts when it made a plan.
void planTimes(int level, int seeds) {
    std::vector<double> micros;
    double slowestWork = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        mem::reset();
        std::srand(static_cast<unsigned>(seed));
        GameSetup setup;
        setup.computer[0] = setup.computer[1] = true;
        setup.level[0] = setup.level[1] = level;
        Game g;
        startGame(g, setup);
        for (long frame = 0; frame < 10L * framesPerMinute; ++frame) {
            const Player* board[2] = {&g.p1, &g.p2};
            for (int b = 0; b < 2; ++b) {
                ComputerPlayer copy = g.seat[b].brain;
                double start = cpuMicros();
                computerKeys(copy, *board[b], g.tick);
                double took = cpuMicros() - start;
                if (copy.plans == g.seat[b].brain.plans)
                    continue;
                micros.push_back(took);
                slowestWork = std::max(slowestWork, replanned(g.seat[b].brain, *board[b], g.tick));
            }
            if (!playFrame(g))
                break;
        }
    }
    std::sort(micros.begin(), micros.end());
    std::size_t n = micros.size();
    std::printf("| %d | %zu | %.0f | %.0f | %.0f | %.0f |\n", level, n, median(micros),
                micros[n * 99 / 100], micros[n - 1], slowestWork);
}

} // namespace

int main(int argc, char** argv) {
    int seeds = argc > 1 ? std::atoi(argv[1]) : 50;
    std::vector<int> levels;
    for (int i = 2; i < argc; ++i)
        levels.push_back(std::atoi(argv[i]));
    if (levels.empty())
        levels = {1, 2, 3, 4, 5};
    std::printf("Plans in demo games (up to 10 minutes each), %d seeds, CPU time of "
                "each plan:\n\n| level | plans | median µs | 99th percentile µs | slowest µs | "
                "slowest, its fastest of 5 more µs |\n|---|---|---|---|---|---|\n",
                seeds);
    for (int level : levels)
        planTimes(level, seeds);
    return 0;
}
