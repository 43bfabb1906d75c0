// SPDX-License-Identifier: MIT
// Where the game draws: the picture's size, the players' colours and the
// rows below the boards.
#pragma once

// Everything the game draws lies within these columns and rows.
constexpr int pictureColumns = 56;
constexpr int pictureRows = 21;

// Console attributes: the readouts and texts, and each player's colour.
constexpr short textColor = 7;
constexpr short playerOneColor = 11;
constexpr short playerTwoColor = 12;

// Rows below the boards: each player's score, "Game Over", the final
// prompt, the frame rate and the delay (and beside them, over the network,
// the door's notice and how many watch).
constexpr int scoreRow = 15;
constexpr int gameOverRow = 16;
constexpr int promptRow = 17;
constexpr int rateRow = 18;
constexpr int delayRow = 19;
// In a match, the players' keys, before the first round and while paused.
constexpr int legendRow = 20;
// One board's keys as the legend shows them: "\x18 \x1b \x1a \x19 or W A S D".
constexpr int maxLegendLength = 24;

// Console columns of each board's left wall, and of its side panel ("Next:"
// and the preview) from there.
constexpr int boardColumn[2] = {0, 30};
constexpr int panelOffset = 21;
// In a match, the row of the panel that names whose board it is.
constexpr int labelRow = 8;
