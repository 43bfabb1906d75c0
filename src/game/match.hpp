// SPDX-License-Identifier: MIT
// A match: rounds of the game on fresh boards, a tally of rounds won, and
// between the rounds a line that says who won and what comes next. The
// game without options plays one round and no match (runGame); the modes
// beyond it play matches. Each round is the game itself, frame for frame.
#pragma once

#include "game/game.hpp"

enum class MatchPhase : unsigned char {
    Countdown, // fresh boards, nothing moves yet: the round starts in `countdown` seconds
    Playing,
    Paused,    // a person alone against the computer pressed P
    RoundOver, // a player topped out: the final picture stays until the next round
    Over,      // someone left: the match has ended
};

struct Match {
    MatchPhase phase;
    int round;      // the round being played or just played, from 1
    int wins[2];    // rounds won by player one and player two
    int winner;     // the board that won the round just played, -1 before it ends
    int countdown;  // seconds left before the round starts, in Countdown (and a demo's RoundOver)
    bool ready[2];  // RoundOver: this board's player has asked for the next round
    bool hereReady; // RoundOver: Enter was pressed at this keyboard
    int leaver;     // Over: the board whose player left, -1 when not named
    int champion;   // Over: the board that won the match (GameSetup.firstTo), -1 when none did
};

// Plays rounds until someone leaves with Escape, or until a player has won
// `setup.firstTo` rounds when it is set: each round on fresh boards
// and new pieces, after a countdown when `setup` asks for one, paused by P
// when it allows that. Between rounds, Enter at this keyboard and at every
// remote one that plays starts the next round; a demo goes on by itself
// after demoRestSeconds. `match` is the caller's, so
// that a host can show it to its guests while the match goes on; the last
// picture holds the final tally.
void playMatch(const GameSetup& setup, Match& match);

// Seeds the generator from the calendar and plays a match.
void runMatch(const GameSetup& setup);

// Until the round ends, between rounds, and while paused, keys are read
// and the picture is brought up to date this often, in milliseconds.
constexpr int matchWaitMs = 50;
// Seconds of the countdown before a round.
constexpr int countdownSeconds = 3;
// Columns of the round's clock (m:ss) at the right end of the delay
// readout's row: up to 999:59.
constexpr int clockWidth = 6;
// Seconds a demo rests on a round's final picture before the next round's
// countdown: long enough to read the result.
constexpr int demoRestSeconds = 5;
// The delay, in milliseconds, at which the pacing holds 11 frames a second
// where a frame's own work takes next to no time: the mean of the delay
// over two minutes of settled frames on the in-memory back end was 90.8
// (88 to 94). A match's first round starts there rather than at the
// game's 1 ms, which would run the first quarter minute several times too
// fast; later rounds start where the last one settled.
constexpr int steadyDelayMs = 91;
