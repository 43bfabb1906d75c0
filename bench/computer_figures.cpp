// SPDX-License-Identifier: MIT
// The computer player's figures, printed: its strength at each level,
// playing one board alone with the core's own rules (no opponent, so no
// penalty cells), the length and winners of demo games, and the CPU time
// of its plans.
// Usage: blockduel_computer_figures [SEEDS] [CAP_MINUTES] [LEVEL ...]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "game/game.hpp"
#include "memory_backend.hpp"
#include "solo_board.hpp"

namespace {

constexpr int framesPerMinute = 660; // 11 frames a second

struct SoloRun {
    double minutes; // until it topped out, or the cap
    double rowsPerMinute;
    bool survived;
};

SoloRun playAlone(int level, unsigned seed, int capMinutes) {
    mem::reset();
    Solo s = startSolo(level, seed);
    long rows = 0;
    long frames = 0;
    long cap = static_cast<long>(capMinutes) * framesPerMinute;
    bool alive = true;
    while (frames < cap && alive) {
        SoloFrame f = playSolo(s);
        rows += f.rows;
        alive = !f.toppedOut;
        ++frames;
    }
    double minutes = static_cast<double>(frames) / framesPerMinute;
    return {minutes, static_cast<double>(rows) / minutes, alive};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void strength(int level, int seeds, int capMinutes) {
    std::vector<double> minutes;
    std::vector<double> rates;
    int survived = 0;
    int within5 = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        SoloRun run = playAlone(level, static_cast<unsigned>(seed), capMinutes);
        minutes.push_back(run.minutes);
        rates.push_back(run.rowsPerMinute);
        survived += run.survived ? 1 : 0;
        within5 += !run.survived && run.minutes <= 5 ? 1 : 0;
    }
    std::printf("| %d | %.1f (%.1f-%.1f) | %.1f | %d of %d (%.0f %%) | %d of %d (%.0f %%) |\n",
                level, median(rates), *std::min_element(rates.begin(), rates.end()),
                *std::max_element(rates.begin(), rates.end()), median(minutes), survived, seeds,
                100.0 * survived / seeds, within5, seeds, 100.0 * within5 / seeds);
    std::fflush(stdout);
}

// One whole demo game through the frame loop, penalty cells and all:
// its length in minutes (the cap if it lasts) and the board that lost
// (0 when none did).
struct DemoRun {
    double minutes;
    int loser;
};

DemoRun playDemo(int level, unsigned seed, int capMinutes) {
    mem::reset();
    std::srand(seed);
    GameSetup setup;
    setup.computer[0] = setup.computer[1] = true;
    setup.level[0] = setup.level[1] = level;
    Game g;
    startGame(g, setup);
    long cap = static_cast<long>(capMinutes) * framesPerMinute;
    long frames = 0;
    bool going = true;
    while (going && frames < cap) {
        going = playFrame(g);
        ++frames;
    }
    int loser = going ? 0 : checkGameOver(g.p1) ? 1 : 2;
    return {static_cast<double>(frames) / framesPerMinute, loser};
}

void demo(int level, int seeds, int capMinutes) {
    std::vector<double> minutes;
    int wins[3] = {};
    for (int seed = 1; seed <= seeds; ++seed) {
        DemoRun run = playDemo(level, static_cast<unsigned>(seed), capMinutes);
        minutes.push_back(run.minutes);
        ++wins[run.loser == 1 ? 2 : run.loser == 2 ? 1 : 0];
    }
    std::printf("| %d | %.1f (%.1f-%.1f) | %d | %d | %d |\n", level, median(minutes),
                *std::min_element(minutes.begin(), minutes.end()),
                *std::max_element(minutes.begin(), minutes.end()), wins[1], wins[2], wins[0]);
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
        planPiece(plan, p, tick, computerLevel(seat.level), random);
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
    int cap = argc > 2 ? std::atoi(argv[2]) : 30;
    std::vector<int> levels;
    for (int i = 3; i < argc; ++i)
        levels.push_back(std::atoi(argv[i]));
    if (levels.empty())
        levels = {1, 2, 3, 4, 5};
    std::printf("Strength, one board alone, %d seeds, capped at %d minutes:\n\n", seeds, cap);
    std::printf("| level | rows a minute, median (range) | minutes, median | survived %d min | "
                "topped out within 5 min |\n|---|---|---|---|---|\n",
                cap);
    for (int level : levels)
        strength(level, seeds, cap);
    int demoCap = 2 * cap;
    std::printf("\nDemo games (--demo), %d seeds, capped at %d minutes:\n\n", seeds, demoCap);
    std::printf("| level | minutes, median (range) | left board won | right board won | "
                "still going |\n|---|---|---|---|---|\n");
    for (int level : levels)
        demo(level, seeds, demoCap);
    std::printf("\nPlans in demo games (up to 10 minutes each), %d seeds, CPU time of "
                "each plan:\n\n| level | plans | median µs | 99th percentile µs | slowest µs | "
                "slowest, its fastest of 5 more µs |\n|---|---|---|---|---|---|\n",
                seeds);
    for (int level : levels)
        planTimes(level, seeds);
    return 0;
}
