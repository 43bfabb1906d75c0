// What the frame loop needs from the platform besides the console. Each
// executable links exactly one back end that implements these.
#pragma once

// True while the key is held, and once for a press that began and ended
// since that key's previous poll. Never blocks. Keys are virtual-key codes
// (see keys.hpp).
bool keyPressed(int virtualKey);

// Waits about this many milliseconds.
void sleepMs(int ms);

// Whole seconds of a monotonic clock: never set back with the calendar.
long long clockSeconds();

// Waits for and returns one character of input; used for the final Enter.
int readChar();
