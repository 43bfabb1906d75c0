// SPDX-License-Identifier: MIT
// What the renderer costs in play: bytes sent to the terminal per frame,
// beside the floor for the same frames (see output_floor.hpp), and CPU
// time per render.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "game_frames.hpp"
#include "output_floor.hpp"
#include "platform/terminal/renderer.hpp"
#include "platform/terminal/tty.hpp"

namespace {

using namespace term;

constexpr RenderOptions utf8Colour{true, true};

struct Totals {
    long long bytes = 0;
    long long floor = 0;
    long long changedCells = 0;
};

// Frame 0, the start-up picture on a cleared screen, is left out: a full
// repaint is no frame of play.
Totals measure(const std::vector<GameFrame>& frames) {
    Renderer renderer(utf8Colour);
    renderer.resize(usualColumns, usualRows);
    std::string out;
    renderer.render(frames[0].screen, out);
    Totals t;
    OutputFloor floor(utf8Colour.utf8);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        out.clear();
        renderer.render(frames[i].screen, out);
        t.bytes += static_cast<long long>(out.size());
        floor.frame(frames[i - 1].screen, frames[i].screen);
    }
    t.floor = floor.bytes();
    t.changedCells = floor.changedCells();
    return t;
}

// Renders the frames one after another, as the game would, for the CPU
// time of one render; the byte figures go beside it as counters.
void renderFrames(benchmark::State& state, const std::vector<GameFrame>& frames) {
    Totals t = measure(frames);
    double played = static_cast<double>(frames.size() - 1);
    double seconds = static_cast<double>(frames.back().clockMs - frames.front().clockMs) / 1000.0;

    Renderer renderer(utf8Colour);
    renderer.resize(usualColumns, usualRows);
    std::string out;
    out.reserve(1 << 16);
    std::size_t next = 0;
    for (auto _ : state) {
        if (next == frames.size()) {
            state.PauseTiming();
            renderer.invalidate();
            out.clear();
            renderer.render(frames[0].screen, out);
            next = 1;
            state.ResumeTiming();
        }
        out.clear();
        renderer.render(frames[next++].screen, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes/frame"] = static_cast<double>(t.bytes) / played;
    state.counters["floor/frame"] = static_cast<double>(t.floor) / played;
    state.counters["vs_floor"] = static_cast<double>(t.bytes) / static_cast<double>(t.floor);
    state.counters["cells/frame"] = static_cast<double>(t.changedCells) / played;
    state.counters["bytes/s"] = static_cast<double>(t.bytes) / seconds;
    state.counters["frames/s"] = played / seconds;
}

// A game with nobody at the keys, until it tops out (after 290 frames, 18 s
// on the back end's clock): the pieces fall and lock, the readouts change.
void BM_RenderSteadyPlay(benchmark::State& state) {
    static const auto frames = recordGame(1, 660, KeyPlan::None);
    renderFrames(state, frames);
}
BENCHMARK(BM_RenderSteadyPlay);

// Both players turning and moving their pieces every frame.
void BM_RenderBothMoving(benchmark::State& state) {
    static const auto frames = recordGame(1, 660, KeyPlan::BothMoving);
    renderFrames(state, frames);
}
BENCHMARK(BM_RenderBothMoving);

// A whole picture from a cleared screen: start-up, resume, resize.
void BM_RenderFullRepaint(benchmark::State& state) {
    static const auto frames = recordGame(1, 400, KeyPlan::BothMoving);
    Renderer renderer(utf8Colour);
    std::string out;
    for (auto _ : state) {
        renderer.invalidate();
        out.clear();
        renderer.render(frames.back().screen, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_RenderFullRepaint);

} // namespace

BENCHMARK_MAIN();
