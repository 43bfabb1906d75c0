// What the renderer costs in play: bytes sent to the terminal per frame,
// beside the floor for the same frames, and CPU time per render.
//
// The floor: every cell that looks different from the frame before, at its
// glyph's bytes, plus a cursor move wherever it does not follow the cell
// written before it on the same row (the shortest of CUP, the relative
// moves and CR/LF), plus a colour change wherever its colour differs from
// the one in force (a blank needs only its background). Rewriting cells
// that did not change instead of moving is not counted, so the renderer
// may come in under the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "escapes.hpp"
#include "game_frames.hpp"
#include "screen.hpp"

namespace {

using namespace term;

constexpr RenderOptions utf8Colour{true, true};

bool isBlank(Cell c) { return c.code == ' ' || c.code == 0; }

bool looksDifferent(Cell before, Cell after) {
    if (isBlank(before) != isBlank(after))
        return true;
    if (isBlank(after))
        return (before.attr & 0xF0) != (after.attr & 0xF0);
    return before.code != after.code || (before.attr & 0xFF) != (after.attr & 0xFF);
}

// The floor's running state: where the last cell was written, the colour.
struct Floor {
    long long bytes = 0;
    int x = -1;
    int y = -1;
    int attr = 7;

    void cell(int cx, int cy, Cell c) {
        if (cx != x || cy != y)
            bytes += escapes::cursorMove(x, y, cx, cy).size();
        int wanted = isBlank(c) ? (attr & 0x0F) | (c.attr & 0xF0) : c.attr & 0xFF;
        bytes += escapes::colourChange(attr, wanted).size();
        attr = wanted;
        bytes += static_cast<long long>(std::strlen(glyphOf(c.code, utf8Colour.utf8)));
        x = cx + 1;
        y = cy;
    }
    void frame(const ScreenBuffer& before, const ScreenBuffer& after) {
        for (int cy = 0; cy < gameRows; ++cy)
            for (int cx = 0; cx < gameColumns; ++cx)
                if (looksDifferent(before.cell(cx, cy), after.cell(cx, cy)))
                    cell(cx, cy, after.cell(cx, cy));
    }
};

struct Totals {
    long long bytes = 0;
    long long floor = 0;
    long long changedCells = 0;
};

// Frame 0, the start-up picture on a cleared screen, is left out: a full
// repaint is no frame of play.
Totals measure(const std::vector<GameFrame>& frames) {
    Renderer renderer(utf8Colour);
    renderer.resize(80, 24);
    std::string out;
    renderer.render(frames[0].screen, out);
    Totals t;
    Floor floor;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        out.clear();
        renderer.render(frames[i].screen, out);
        t.bytes += static_cast<long long>(out.size());
        floor.frame(frames[i - 1].screen, frames[i].screen);
        for (int y = 0; y < gameRows; ++y)
            for (int x = 0; x < gameColumns; ++x)
                t.changedCells +=
                    looksDifferent(frames[i - 1].screen.cell(x, y), frames[i].screen.cell(x, y));
    }
    t.floor = floor.bytes;
    return t;
}

// Renders the frames one after another, as the game would, for the CPU
// time of one render; the byte figures go beside it as counters.
void renderFrames(benchmark::State& state, const std::vector<GameFrame>& frames) {
    Totals t = measure(frames);
    double played = static_cast<double>(frames.size() - 1);
    double seconds = static_cast<double>(frames.back().clockMs - frames.front().clockMs) / 1000.0;

    Renderer renderer(utf8Colour);
    renderer.resize(80, 24);
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

// A minute of play with nobody at the keys: the pieces fall and lock, the
// readouts change.
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
