// SPDX-License-Identifier: MIT
// The keyboard's events from the Windows console's input records: a key
// going down (again while held: a repeat), coming up, and every key let go
// when the window loses the focus, whose releases go elsewhere.
#pragma once

#include "input/key_event.hpp"

// Reads up to `room` input records that are there now, without waiting,
// and fills in the key events among them; returns how many. Records that
// are no key event (the mouse, the window's size) are read and dropped.
// Nothing when standard input is no console.
int readConsoleKeys(KeyEvent* events, int room);

// Forgets which keys are held, as when the console is taken.
void forgetHeldKeys();

// The virtual-key code that the console's keyboard layout gives the game's
// key `key` (game/keys.hpp): a letter, digit or arrow as it is; a
// punctuation key by what it types; a position code by the key that sits
// there. 0 when the layout has no such key.
int layoutKeyCode(int key);
