// SPDX-License-Identifier: MIT
// The frame loop: start-up, the frames, and the end of the game.
#pragma once

#include "computer/computer.hpp"
#include "model/model.hpp"

// Who steers one board.
struct Seat {
    bool computer;        // the computer decides this board's keys
    bool eitherKeys;      // a person alone at the keyboard: the arrows or W A S D
    ComputerPlayer brain; // the computer's plan and its keys of this frame
};

// Who plays: a person on each board unless the computer takes one or both.
struct GameSetup {
    bool computer[2] = {false, false}; // the computer plays board one, board two
    int level[2] = {computerDefaultLevel, computerDefaultLevel}; // how well it plays each board
    unsigned computerSeed = 0; // starts the computer's own generator (runGame: the clock)
};

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
    Seat seat[2];        // who steers board one and board two
};

// Seeds the generator from the calendar, plays one whole game and waits
// for Enter at the end: two people at one keyboard, or as `setup` says.
void runGame();
void runGame(const GameSetup& setup);

// Start-up without the seeding: both players and both boards, with a person
// on each board, or as `setup` says.
void startGame(Game& g);
void startGame(Game& g, const GameSetup& setup);

// One player's moves as the input phase makes them: each erases the piece,
// changes the record, undoes the change if a rule objects and draws the
// piece again. A blocked soft drop sets `tick` to 50.
void turnPiece(Player& p);
void shiftPiece(Player& p, int dx);
void dropPiece(Player& p, int& tick);

// One frame: input, gravity and locking, pacing and the Escape poll.
// False once the game has ended, by a top-out or by Escape.
bool playFrame(Game& g);

// The final prompt and the wait for Enter.
void closeGame();

// Parts of a frame, in the order they run. The computer seats decide their
// keys before the input phase polls them.
void computerPhase(Game& g);
void inputPhase(Game& g);
void gravityPhase(Game& g);
bool lockPhase(Game& g); // true when a player topped out
void pace(Game& g);

// A delay this long can only come from a clock that has stopped.
constexpr int maxSleepMs = 1000;
