// SPDX-License-Identifier: MIT
// The adaptive frame delay and its two readouts.
#include <cstdio>

#include "display/layout.hpp"
#include "game/game.hpp"
#include "game/platform.hpp"
#include "game/reads.hpp"

namespace {

// Prints a readout at the cursor and blanks whatever is left of the longer
// one before it, so "10" followed by "9" never shows "90".
void printReadout(Canvas& console, int& shown, const char* format, int value) {
    char text[24];
    int length = std::snprintf(text, sizeof text, format, value);
    console.print("%s", text);
    if (shown > length)
        console.print("%*s", shown - length, "");
    shown = length;
}

} // namespace

// The delay moves by one millisecond a frame towards the rate at which a
// second holds 11 frames: it falls while a second has counted fewer than
// five frames and rises after that.
void paceAfterDelay(Game& g) {
    Canvas& console = *g.scene.console;
    g.tick += 1;
    g.fps += 1;
    console.setColor(textColor);
    // A clock that reads earlier than the last report is taken as a new
    // second too, so the readout and the delay never wait for it to catch up.
    long long now = readClock(g);
    if (now != g.last_time) {
        console.gotoxy(0, rateRow);
        printReadout(console, g.fpsShown, "%dFPS", g.fps);
        g.fps = 0;
        g.last_time = readClock(g);
    }
    if (g.fps > 5 && g.sleep_value < maxSleepMs)
        g.sleep_value += 1;
    if (g.fps < 5)
        g.sleep_value -= 1;
    console.gotoxy(1, delayRow);
    printReadout(console, g.delayShown, "%d", g.sleep_value);
}

void restartPacing(Game& g) {
    g.fps = 0;
    g.last_time = readClock(g);
}
