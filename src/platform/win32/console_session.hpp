// SPDX-License-Identifier: MIT
// What the game changes on the console for its run, and puts back on the
// way out.
#pragma once

#include <string>

// The console's code page while the game runs: codes 178 and 219 show as
// the dark shade and the full block.
constexpr unsigned gameCodePage = 437;

// True when standard output is a console the game can draw on.
bool outputIsConsole();

// Why the game cannot be played on this console, in a line for the player;
// empty when it can. A game over the network also reads its keys from the
// console's input and needs room for the whole picture.
std::string consoleProblem(bool network);

// "blockduel: " and `problem` on standard error, broken between words
// before the console window's edge when standard error is that console.
void sayConsoleProblem(const std::string& problem);

// Switches the console output to the game's code page and arranges for
// the former code page and text attribute to come back however the
// program ends: a normal exit, Ctrl-C, Ctrl-Break or the console window
// closing. A game over the network also turns off the selection with the
// mouse, which would stop it, and hides the cursor; both come back too.
void beginConsoleSession(bool network = false);

// A line for the console once Ctrl-C or Ctrl-Break has ended the program
// and the console is put back, below the game's picture; empty for none.
void setFarewell(const std::string& text);

// Drops the key presses that play left in the console's input, where the
// line input would otherwise echo them after the game or hand them to the
// shell. Nothing happens when standard input is no console.
void discardTypedInput();
