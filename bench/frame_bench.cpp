// SPDX-License-Identifier: MIT
// CPU time of the frame loop's pieces on the in-memory back end.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "display/draw.hpp"
#include "game/game.hpp"
#include "memory_backend.hpp"

namespace {

// A game part-way through: both boards have a few locked rows.
void startMidGame(Game& g) {
    mem::reset();
    std::srand(1);
    startGame(g);
    for (int j = 9; j <= 12; ++j)
        for (int c = 1; c <= 17; ++c)
            g.p1.table[j][c] = g.p2.table[j][c] = c % 3 ? 219 : 32;
    drawTable(g.p1);
    drawTable(g.p2);
}

// A frame with no gravity step: input polls, pacing and both readouts.
void BM_FrameWithoutGravity(benchmark::State& state) {
    Game g;
    startMidGame(g);
    for (auto _ : state) {
        g.tick = 1;
        g.sleep_value = 0;
        playFrame(g);
    }
}
BENCHMARK(BM_FrameWithoutGravity);

// A gravity frame in which player one's piece lands and locks.
void BM_FrameWithGravityAndLock(benchmark::State& state) {
    Game start;
    startMidGame(start);
    start.tick = 0;
    start.sleep_value = 0;
    start.p1.by = 5; // the next step puts it on the stack
    Game g;
    for (auto _ : state) {
        state.PauseTiming();
        g = start;
        state.ResumeTiming();
        playFrame(g);
    }
    if (g.p1.by != -3)
        state.SkipWithError("player one's piece did not lock");
}
BENCHMARK(BM_FrameWithGravityAndLock);

void BM_DrawTableUnchanged(benchmark::State& state) {
    Game g;
    startMidGame(g);
    for (auto _ : state)
        drawTable(g.p1);
}
BENCHMARK(BM_DrawTableUnchanged);

} // namespace

BENCHMARK_MAIN();
