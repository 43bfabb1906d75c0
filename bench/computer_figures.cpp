// SPDX-License-Identifier: MIT
// The computer player's figures, printed: its strength at each level,
// playing one board alone with the core's own rules (no opponent, so no
// penalty cells), and the length and winners of demo games at level 3.
// Usage: blockduel_computer_figures [SEEDS] [CAP_MINUTES] [LEVEL ...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/draw.hpp"
#include "game/game.hpp"
#include "memory_backend.hpp"

namespace {

constexpr int framesPerMinute = 660; // 11 frames a second

// One board, its computer, the shared frame count.
struct Solo {
    Player p;
    ComputerPlayer c;
    int tick = 0;
    long rows = 0;
};

// The input phase, gravity and lock phase of one board, with the core's
// functions; false when the board topped out.
bool soloFrame(Solo& s) {
    ComputerKeys k = computerKeys(s.c, s.p, s.tick);
    if (s.tick % 2 == 0 && k.rotate)
        turnPiece(s.p);
    if (k.left)
        shiftPiece(s.p, -1);
    if (k.right)
        shiftPiece(s.p, +1);
    if (k.drop)
        dropPiece(s.p, s.tick);
    if (s.tick % 10 == 0) {
        deleteBlock(s.p);
        s.p.by += 1;
        drawBlock(s.p);
        if (collided(s.p)) {
            placeBlock(s.p);
            s.rows += clearFullRows(s.p);
            if (checkGameOver(s.p))
                return false;
            newBlock(s.p);
        }
    }
    s.tick += 1;
    return true;
}

struct SoloRun {
    double minutes; // until it topped out, or the cap
    double rowsPerMinute;
    bool survived;
};

SoloRun playAlone(int level, unsigned seed, int capMinutes) {
    mem::reset();
    std::srand(seed);
    Solo s;
    initPlayer(s.p, 0, 0, 1, 11);
    startComputer(s.c, level, 1);
    long frames = 0;
    long cap = static_cast<long>(capMinutes) * framesPerMinute;
    bool alive = true;
    while (frames < cap && alive) {
        alive = soloFrame(s);
        ++frames;
    }
    double minutes = static_cast<double>(frames) / framesPerMinute;
    return {minutes, static_cast<double>(s.rows) / minutes, alive};
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
    return 0;
}
