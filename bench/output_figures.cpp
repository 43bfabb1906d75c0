// SPDX-License-Identifier: MIT
// Bytes the terminal back end sends in play, beside the floor for the same
// frames (output_floor.hpp). A game with a fixed seed and a recorded key
// script goes through the real terminal session into a pipe, as legacy keys
// from a terminal without the kitty protocol. The game's sleeps and seconds
// run on the session's virtual clock, so every run sends the same
// bytes. Usage: blockduel_output_figures [seconds]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/game.hpp"
#include "output_floor.hpp"
#include "pacing.hpp"
#include "piped_session.hpp"
#include "platform/terminal/session.hpp"

namespace {

using namespace term;

constexpr unsigned maxGames = 100;
constexpr RenderOptions utf8Colour{true, true};
constexpr double targetRatio = 1.3;

enum class Keys { None, BothMoving };

// Both players turn in every frame (the game takes a turn in every second
// one) and move four frames left, then four frames right.
std::string keysFor(Keys plan, int frame) {
    if (plan == Keys::None)
        return "";
    std::string keys = "\x1b[Aw";
    keys += frame % 8 < 4 ? "\x1b[Da" : "\x1b[Cd";
    return keys;
}

struct Totals {
    int games = 0;
    int frames = 0;
    long long ms = 0;    // virtual time of the counted frames
    long long bytes = 0; // sent by the session
    long long floor = 0;
    long long cells = 0; // cells that changed
};

// One game with `seed` in a fresh session: plays the settling time, then
// counts up to `countedMs` of virtual time, or less if the game ends first
// (the frame that ends it sends its picture only with the final prompt, so
// it is left out). Adds the bytes of the counted frames and the floor
// between their pictures to `t`. False if a pipe failed.
bool playGame(Keys plan, unsigned seed, long long countedMs, Totals& t) {
    PipedSession piped({.render = utf8Colour, .virtualClock = true});
    TerminalSession& session = *piped.session;
    setCurrentSession(&session);
    bool ok = piped.started;
    std::srand(seed);
    Game g;
    startGame(g);
    OutputFloor floor(utf8Colour.utf8);
    ScreenBuffer shown = session.screen();
    SettlingClock clock;
    for (int frame = 0; ok && !clock.done(countedMs); ++frame) {
        long long frameMs = std::max(g.sleep_value, 0);
        ok = piped.type(keysFor(plan, frame));
        if (!ok || !playFrame(g))
            break;
        long long bytes = piped.readOutput();
        if (clock.add(frameMs)) {
            t.frames += 1;
            t.ms += frameMs;
            t.bytes += bytes;
            floor.frame(shown, session.screen());
        }
        shown = session.screen();
    }
    t.games += 1;
    t.floor += floor.bytes();
    t.cells += floor.changedCells();
    session.restoreTerminal();
    setCurrentSession(nullptr);
    return ok;
}

// Games with seeds 1, 2, ... until `countedMs` of play has been counted:
// with nobody at the keys, a game tops out after 17 to 25 seconds.
bool play(Keys plan, long long countedMs, Totals& t) {
    for (unsigned seed = 1; t.ms < countedMs; ++seed) {
        if (seed > maxGames || !playGame(plan, seed, countedMs - t.ms, t)) {
            std::fputs("blockduel_output_figures: a pipe failed or the games were too short\n",
                       stderr);
            return false;
        }
    }
    return true;
}

void report(const char* what, const Totals& t) {
    double seconds = static_cast<double>(t.ms) / 1000.0;
    double ratio = static_cast<double>(t.bytes) / static_cast<double>(t.floor);
    std::printf("%s: %d games, %d frames in %.1f s, %lld cells changed; sent %lld bytes, "
                "floor %lld (%.2fx); %.1f bytes/s, floor %.1f; %.1f bytes/frame, floor %.1f\n",
                what, t.games, t.frames, seconds, t.cells, t.bytes, t.floor, ratio,
                static_cast<double>(t.bytes) / seconds, static_cast<double>(t.floor) / seconds,
                static_cast<double>(t.bytes) / t.frames, static_cast<double>(t.floor) / t.frames);
}

// One row of the figures table (bench/figures.sh gathers them).
void row(const char* what, double value, double floor, const char* unit) {
    double ratio = value / floor;
    std::printf("| output, %s | %.1f %s, floor %.1f: %.2fx | <= %.1fx floor | %s |\n", what, value,
                unit, floor, ratio, targetRatio, ratio <= targetRatio ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    long long seconds = argc > 1 ? std::atoll(argv[1]) : 60;
    if (seconds <= 0) {
        std::fputs("usage: blockduel_output_figures [seconds]\n", stderr);
        return 2;
    }
    Totals steady;
    Totals moving;
    if (!play(Keys::None, seconds * 1000, steady) ||
        !play(Keys::BothMoving, seconds * 1000, moving))
        return 1;
    std::printf(
        "Into a pipe, UTF-8 and colour, seeds from 1, each game after %lld s of settling:\n",
        virtualSettleMs / 1000);
    report("steady play, no keys", steady);
    report("both players turning and moving every frame", moving);
    double steadySeconds = static_cast<double>(steady.ms) / 1000.0;
    row("steady play, no keys", static_cast<double>(steady.bytes) / steadySeconds,
        static_cast<double>(steady.floor) / steadySeconds, "bytes/s");
    row("both players turning and moving every frame",
        static_cast<double>(moving.bytes) / moving.frames,
        static_cast<double>(moving.floor) / moving.frames, "bytes/frame");
    return 0;
}
