// SPDX-License-Identifier: MIT
// What the frame loop needs from the platform besides the console: the
// keyboard, the frame's delay, a clock and the final wait. Each executable
// links exactly one back end that implements these; the core calls them
// from its single thread and never from a signal handler.
//
// A game calls them in this order: startGame, then for every frame the key
// polls of the input phase, sleepMs and clockSeconds in the pacing step,
// the Escape poll and endFrame; after the last frame readChar, once.
// A frame that ends the game by a top-out skips its pacing and Escape poll
// but still calls endFrame. A match plays such games as its rounds, without
// the final prompt and readChar; before a round, between rounds and while
// paused it waits in steps of sleepMs and endFrame, polling Escape, Enter
// and P.
//
// Which calls may end or stop the process: a back end on a terminal handles
// the signals and keys that arrived (Ctrl-C, Ctrl-\, hang-up, termination
// and every other signal that ends a process, suspend) inside keyPressed,
// sleepMs, endFrame and readChar, and may end the process there after
// giving the terminal back, or stop it and return once it is continued in
// the foreground; a write to the terminal that fails ends the game from
// endFrame, sleepMs or readChar with a message. A terminal that does not
// read holds those calls until it reads again, or until a signal or Ctrl-C
// ends the game. Every other call returns.
#pragma once

// Called by the input phase for each game key (the rotate keys only in even
// frames) and by the frame's end for Escape, once per key per frame; in a
// match also for Enter and P. True
// while the key is held, and once for a press that began and ended since
// that key's previous poll. Never blocks. Keys are virtual-key codes (see
// keys.hpp).
bool keyPressed(int virtualKey);

// Called by the pacing step with the frame's delay, in every frame whose
// delay is above 0, and by a match's waits. Waits about this many
// milliseconds; a back end may use the wait to read input and to bring the
// screen up to date. A game at one terminal may be held here for as long as
// the window is too small to show it, unless Escape was pressed.
void sleepMs(int ms);

// Called by start-up and by the pacing step, once or twice a frame. Whole
// seconds of a monotonic clock: never set back with the calendar.
long long clockSeconds();

// Called as the last step of every frame, the one that ends the game
// included. Everything drawn in the frame must reach the screen by the
// time it returns. Never blocks for input.
void endFrame();

// Called once, after the final prompt has been drawn. Waits for and returns
// one character of input ('\n' for Enter); EOF when there is no more input.
int readChar();
