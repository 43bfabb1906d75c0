// SPDX-License-Identifier: MIT
// The game's reads of the world outside it: the keys of this keyboard, the
// actions of a player at another one, and the clock. Given its seed,
// everything a match shows follows from the answers to these reads, so a
// match whose answers are taped here plays again exactly: a recording
// keeps them as they come, a playback gives them back in their place.
//
// Each game holds its own reads (Game::reads): matches side by side in one
// process read their own keyboards, clocks and tapes. The game without
// options reads the platform's calls (game/platform.hpp) and never has a
// tape.
#pragma once

#include "game/keys.hpp"

struct Seat;
struct Game;

// This keyboard and the clock, as a game sees them.
class Outside {
public:
    // As keyPressed() and clockSeconds() of game/platform.hpp say.
    virtual bool keyPressed(int virtualKey) = 0;
    virtual long long clockSeconds() = 0;

protected:
    ~Outside() = default;
};

// The platform's own calls.
Outside& platformOutside();

// What a recording or a playback does with each read. Reads are numbered:
// a key of this keyboard by its code, a remote player's action and whether
// that player is there by the numbers below.
class ReadTape {
public:
    virtual ~ReadTape() = default;
    // Playing back: the game reads nothing from the outside, the tape
    // answers everything.
    virtual bool playingBack() const = 0;
    // The answer to read `number`, given what the outside said (`live`;
    // false when playing back).
    virtual bool key(int number, bool live) = 0;
    virtual long long clock(long long live) = 0;
};

// Read numbers beyond the keys' codes (below keyCodeLimit).
constexpr int remoteActionRead = keyCodeLimit;                    // + board * actionLimit + action
constexpr int remotePresentRead = keyCodeLimit + 2 * actionLimit; // + board
constexpr int readNumberLimit = remotePresentRead + 2;

// Where one game's reads go: the outside, through its tape when it has one.
struct Reads {
    Outside* outside = &platformOutside();
    ReadTape* tape = nullptr;
};

// keyPressed(key), through the game's tape.
bool readKey(const Game& g, int key);
// The remote player of `board` (whose seat has remote.pressed set): the
// action, and whether the player is there.
bool readAction(const Game& g, int board, Action action);
bool readPresent(const Game& g, int board);
// clockSeconds(), through the game's tape.
long long readClock(const Game& g);
