// SPDX-License-Identifier: MIT
// The console primitives the game draws with. The core only declares them;
// each executable links exactly one back end that implements them.
//
// Callers: the board redraw, the piece and panel drawing, the line check
// (which reads a cell back to place a penalty cell) and the frame loop's
// readouts, "Game Over" and the final prompt, all from the core's single
// thread. Coordinates are console cells, (0, 0) at the top left; the game
// draws within columns 0..55 and rows 0..20.
//
// None of these ends or stops the process, and none blocks: a back end that
// keeps its own screen buffer (the terminal) only records what is drawn and
// sends it at the frame's end (endFrame in game/platform.hpp); one that
// draws straight onto a console (Windows) does not check its writes.
#pragma once

// The next character written lands at column x, row y. Any values are
// accepted; a write to a cell outside the screen is dropped.
void gotoxy(int x, int y);

// The character code last written at (x, y), in the current run: the code
// itself (32, 178, 219, 0 ...), never the bytes of a glyph. A cell never
// written reads back as a space (32), and so does any cell outside the
// screen.
unsigned char charAt(short x, short y);

// Characters written from now on carry this console attribute: foreground
// in bits 0..3, background in bits 4..7 (1 blue, 2 green, 4 red, 8 bright).
void setColor(short color);

// One character code 0..255 at the cursor; the cursor advances.
void putChar(int code);

// printf-style text at the cursor; "\n" moves to column 0 of the next row.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
