// SPDX-License-Identifier: MIT
// CPU time of the computer player: planning a piece at each level, and a
// whole frame of a demo game, where both boards are the computer's.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "computer/choose.hpp"
#include "game/game.hpp"
#include "memory_backend.hpp"

namespace {

// A board part-way through a game: a ragged stack four to seven rows high
// with a few covered holes, and a fresh piece of `type` at the entry.
Player midGameBoard(int type) {
    std::srand(1);
    Player p;
    initPlayer(p, 0, 0, 1, 11);
    static constexpr int tops[18] = {9, 8, 8, 7, 9, 10, 9, 8, 6, 7, 8, 9, 9, 8, 7, 8, 9, 10};
    for (int c = 1; c <= 18; ++c)
        for (int r = tops[c - 1]; r <= 12; ++r)
            p.table[r][c] = (r * 7 + c * 3) % 11 == 0 ? cellEmpty : cellSolid;
    p.nb = (type + 1) % 4;
    p.bt = type;
    for (int j = 0; j < blockHeight; ++j)
        for (int i = 0; i < blockWidth; ++i)
            p.block[j][i] = shapeOf(type)[j][i];
    p.bx = entryColumn;
    p.by = entryRow;
    return p;
}

// One plan for a fresh piece of each type in turn, at the level given.
void BM_PlanPiece(benchmark::State& state) {
    const ComputerLevel& level = computerLevel(static_cast<int>(state.range(0)));
    Player boards[4] = {midGameBoard(0), midGameBoard(1), midGameBoard(2), midGameBoard(3)};
    ComputerPlan plan{};
    unsigned random = 1;
    int type = 0;
    for (auto _ : state) {
        bool made = planPiece(plan, boards[type], 1, level, random);
        benchmark::DoNotOptimize(made);
        type = (type + 1) % 4;
    }
}
BENCHMARK(BM_PlanPiece)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

// Frames of demo games at level 3, on the in-memory back end, planning
// included: the average frame, and a new game whenever one ends.
void BM_DemoFrame(benchmark::State& state) {
    mem::reset();
    std::srand(1);
    GameSetup setup;
    setup.computer[0] = setup.computer[1] = true;
    setup.level[0] = setup.level[1] = static_cast<int>(state.range(0));
    Game g;
    startGame(g, setup);
    for (auto _ : state) {
        g.sleep_value = 0;
        if (!playFrame(g)) {
            state.PauseTiming();
            mem::reset();
            startGame(g, setup);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_DemoFrame)->Arg(3)->Arg(5)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
