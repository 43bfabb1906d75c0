// SPDX-License-Identifier: MIT
#include "cli/game_setup.hpp"

#include <cstdio>

#include "input/key_table.hpp"

namespace {

void setLegend(char (&legend)[maxLegendLength + 1], const std::string& text) {
    std::snprintf(legend, sizeof legend, "%s", text.c_str());
}

} // namespace

std::string bothKeysLegend(const Controls keys[2]) {
    return keysLegend(keys[0]) + " or " + keysLegend(keys[1]);
}

GameSetup gameSetupOf(const Options& options) {
    GameSetup setup;
    if (options.mode != Mode::Local)
        keysInPlay(options.keys, setup.keys);
    // A person alone at this keyboard plays with both sets of keys.
    if (options.mode == Mode::Match) {
        setLegend(setup.legend[0], keysLegend(setup.keys[0]));
        setLegend(setup.legend[1], keysLegend(setup.keys[1]));
    } else if (options.mode == Mode::Computer || options.mode == Mode::Host) {
        setLegend(setup.legend[0], bothKeysLegend(setup.keys));
    }
    setup.computer[0] = options.mode == Mode::Demo;
    setup.computer[1] = options.mode == Mode::Demo || options.mode == Mode::Computer;
    setup.level[0] = options.level[0];
    setup.level[1] = options.level[1];
    setup.match = playsMatch(options.mode);
    // Every round of a match starts after a countdown, at one keyboard too:
    // fresh boards to look at before the pieces fall, not a sudden start.
    setup.countdown = setup.match;
    setup.viewer = options.mode == Mode::Computer ? Viewer::PlayerOne : Viewer::Everyone;
    // P pauses every match, at one keyboard or over the network; the game
    // without options has no pause.
    setup.pause = setup.match;
    setup.firstTo = options.firstTo;
    setup.speedUp = options.speedUp;
    return setup;
}
