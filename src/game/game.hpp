// SPDX-License-Identifier: MIT
// The frame loop: start-up, the frames, and the end of the game.
#pragma once

#include "model/model.hpp"

// Everything a running game holds, from start-up to the final prompt.
struct Game {
    Player p1;
    Player p2;
    int tick;            // frames completed; a blocked soft drop sets it to 50
    int fps;             // frames counted since the last rate report
    int sleep_value;     // delay in milliseconds at the end of each frame
    long long last_time; // clock second of the last rate report
    int fpsShown;        // characters of the rate readout now on screen
    int delayShown;      // characters of the delay readout now on screen
};

// Seeds the generator from the calendar, plays one whole game and waits
// for Enter at the end.
void runGame();

// Start-up without the seeding: both players and both boards.
void startGame(Game& g);

// One frame: input, gravity and locking, pacing and the Escape poll.
// False once the game has ended, by a top-out or by Escape.
bool playFrame(Game& g);

// The final prompt and the wait for Enter.
void closeGame();

// Parts of a frame, in the order they run.
void inputPhase(Game& g);
void gravityPhase(Game& g);
bool lockPhase(Game& g); // true when a player topped out
void pace(Game& g);

// A delay this long can only come from a clock that has stopped.
constexpr int maxSleepMs = 1000;
