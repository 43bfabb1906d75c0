// The console primitives the game draws with. The core only declares them;
// each executable links exactly one back end that implements them.
#pragma once

// The next character written lands at column x, row y.
void gotoxy(int x, int y);

// The character code last shown at (x, y); a cell never written reads back
// as a space.
unsigned char charAt(short x, short y);

// Characters written from now on carry this console attribute: foreground
// in bits 0..3, background in bits 4..7 (1 blue, 2 green, 4 red, 8 bright).
void setColor(short color);

// One character code 0..255 at the cursor; the cursor advances.
void putChar(int code);

// printf-style text at the cursor; "\n" moves to column 0 of the next row.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
