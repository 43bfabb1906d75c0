// SPDX-License-Identifier: MIT
// The game's reads of the world outside it: the keys of this keyboard, the
// actions of a player at another one, the clock, and its waits. Given its
// seed, everything a match shows follows from the answers to these reads,
// so a match whose answers are taped here plays again exactly: a recording
// keeps them as they come, a playback gives them back in their place.
//
// Without a tape each read is the platform's call itself (game/platform.hpp,
// RemoteKeys), and the game without options never has one.
#pragma once

#include "game/game.hpp"

// What a recording or a playback does with each read. Reads are numbered:
// a key of this keyboard by its code, a remote player's action and whether
// that player is there by the numbers below.
class ReadTape {
public:
    virtual ~ReadTape() = default;
    // Playing back: the game reads nothing from the platform, the tape
    // answers everything.
    virtual bool playingBack() const = 0;
    // The answer to read `number`, given what the platform said (`live`;
    // false when playing back).
    virtual bool key(int number, bool live) = 0;
    virtual long long clock(long long live) = 0;
    // A wait of the game's, which a playback may shorten or lengthen.
    virtual void wait(int ms) = 0;
};

// Read numbers beyond the keys' codes (below keyCodeLimit).
constexpr int remoteActionRead = keyCodeLimit;                    // + board * actionLimit + action
constexpr int remotePresentRead = keyCodeLimit + 2 * actionLimit; // + board
constexpr int readNumberLimit = remotePresentRead + 2;

// The tape every read goes through from now on; nullptr for none.
void useReadTape(ReadTape* tape);

// keyPressed(key), through the tape.
bool readKey(int key);
// The remote player of `board` (whose seat has remote.pressed set): the
// action, and whether the player is there.
bool readAction(const Seat& seat, int board, Action action);
bool readPresent(const Seat& seat, int board);
// clockSeconds(), through the tape.
long long readClock();
// sleepMs(ms), or the tape's wait.
void waitMs(int ms);
