// SPDX-License-Identifier: MIT
// Bytes a minute of a kept match's recording, printed, never asserted: on
// the in-memory back end and disk, a match against the computer with a
// person at the keys (a key now and then, as the simulated rhythm below
// presses them) and a demo, each played for a few minutes of frames at
// the steady pace, then the recording's size over the minutes played.
//
// Usage: blockduel_recording_figures [MINUTES]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/game_setup.hpp"
#include "cli/match_keeping.hpp"
#include "game/keeping.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"
#include "memory_backend.hpp"
#include "memory_disk.hpp"

namespace {

constexpr int framesAMinute = 11 * 60; // the steady pace

int minutes = 3;

// A person: a turn or a move every few frames, Enter between rounds, and
// Escape once the minutes are played.
bool person(int frame, int key) {
    if (key == vkEscape)
        return frame >= minutes * framesAMinute;
    if (key == vkReturn)
        return frame % 40 == 0;
    return key != vkP && (frame / 6 + key) % 7 == 0;
}

bool demoWatcher(int frame, int key) { return key == vkEscape && frame >= minutes * framesAMinute; }

void measure(const char* what, Mode mode, std::vector<const char*> args, bool (*keys)(int, int)) {
    mem::reset();
    args.insert(args.begin(), "blockduel");
    GameSetup setup = gameSetupOf(parseCommandLine(static_cast<int>(args.size()), args.data()));
    setup.seed = 20261207;
    KeptAs as{playModeOf(mode), boardOfYou(mode),     "/state", 1796000000, 1,
              programVersion(), timeStamp(1796000000)};
    std::unique_ptr<record::MatchKeeper> keeper = keeperFor(setup, as);
    setup.keeper = keeper.get();
    mem::backend().keyScript = keys;
    Match match = runMatch(setup);
    std::size_t bytes = mem::disk().files.at(keeper->recordingPath()).size();
    double played = static_cast<double>(mem::backend().frame) / framesAMinute;
    std::printf("| %s | %.1f minutes, %d round(s) | %zu | %.0f |\n", what, played, match.round,
                bytes, static_cast<double>(bytes) / played);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1)
        minutes = std::max(1, std::atoi(argv[1]));
    std::printf("| match | played | bytes | bytes a minute |\n|---|---|---|---|\n");
    measure("against the computer, level 3, a person at the keys", Mode::Computer,
            {"--computer", "--level", "3"}, person);
    measure("a demo, level 5 against level 5", Mode::Demo, {"--demo", "--level", "5"}, demoWatcher);
    return 0;
}
