// SPDX-License-Identifier: MIT
// Plays a short game with a fixed seed and scripted keys through the
// terminal back end, feeds everything it writes into libvterm, and prints
// the screen as SVG: the README's picture.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vterm.h>

#include "game/game.hpp"
#include "pilot.hpp"
#include "piped_session.hpp"
#include "platform/terminal/session.hpp"
#include "svg.hpp"

namespace {

constexpr unsigned seed = 7;
constexpr int frames = 330;

// Where the players put their pieces, made for this seed's pieces: player
// one fills the bottom row with the first six and clears it, which sends a
// penalty cell to player two's board; player two leaves a gap in it.
constexpr shot::Placement planOne[] = {{1, 0},  {0, 4}, {1, 7}, {0, 10}, {0, 12},
                                       {0, 15}, {0, 0}, {0, 6}, {1, 12}};
constexpr shot::Placement planTwo[] = {{0, 0}, {0, 14}, {0, 3},  {0, 16}, {1, 6},
                                       {0, 9}, {1, 5},  {0, 12}, {1, 12}};

constexpr shot::KeyBytes arrows = {"\x1b[A", "\x1b[D", "\x1b[C", "\x1b[B"};
constexpr shot::KeyBytes letters = {"w", "a", "d", "s"};

int fail(const char* message) {
    std::fprintf(stderr, "blockduel-screenshot: %s\n", message);
    return 1;
}

// Everything the session has written so far, into the terminal.
void pump(const term::PipedSession& piped, VTerm* vt) {
    std::string bytes;
    piped.readOutput(&bytes);
    vterm_input_write(vt, bytes.data(), bytes.size());
}

// A terminal of exactly the game's size, as xterm starts.
VTerm* newTerminal() {
    VTerm* vt = vterm_new(pictureRows, pictureColumns);
    vterm_set_utf8(vt, 1);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_reset(screen, 1);
    return vt;
}

// The picture in UTF-8 and colour.
term::SessionOptions sessionOptions() {
    term::SessionOptions options;
    options.render = {true, true};
    options.fallbackColumns = pictureColumns;
    options.fallbackRows = pictureRows;
    options.virtualClock = true; // the readouts come out the same in every run
    return options;
}

// Both players' keys before each frame, the frame, its picture into the
// terminal. False if the game ends.
bool play(Game& g, const term::PipedSession& piped, VTerm* vt) {
    shot::Pilot one(planOne, arrows);
    shot::Pilot two(planTwo, letters);
    for (int frame = 0; frame < frames; ++frame) {
        std::string keys = one.keysFor(g.p1, g.tick) + two.keysFor(g.p2, g.tick);
        if (!piped.type(keys) || !playFrame(g))
            return false;
        pump(piped, vt);
    }
    return true;
}

} // namespace

int main() {
    term::PipedSession piped(sessionOptions());
    if (!piped.started)
        return fail("the session did not start");
    term::setCurrentSession(piped.session.get());
    VTerm* vt = newTerminal();

    std::srand(seed);
    Game g;
    startGame(g);
    if (!play(g, piped, vt))
        return fail("the game ended before the picture");
    // The README tells this story; a change to the game may need a new plan.
    if (g.p1.score != 18 || g.p2.score != 0)
        return fail("player one no longer clears one row alone: adjust the plan");
    VTermScreen* screen = vterm_obtain_screen(vt);
    std::fputs(shot::screenToSvg(screen, pictureColumns, pictureRows).c_str(), stdout);
    vterm_free(vt);
    return 0;
}
