// SPDX-License-Identifier: MIT
// The texts of a match: the round, the tally and its target below the boards
// while a round is played, who won it once it ends, what comes next, and a
// label beside each board that names who plays it. Pure:
// the same match gives each viewer its own lines, so that a host can draw
// its own and send each guest theirs.
#pragma once

#include "game/game.hpp"
#include "game/match.hpp"

constexpr int maxMatchLineLength = 56;

// What the status row says of P, while a round is played and while it is
// paused, after whatever says who paused it; a replay, whose keys are its
// own, leaves them out.
constexpr const char* pauseHint = "P pauses.";
// A watcher's line while a round is played.
constexpr const char* watchingHint = "Watching: your keys do nothing. Escape leaves.";
constexpr const char* resumeHint = " P resumes, Escape leaves.";
constexpr int maxMatchLines = 7;

struct MatchLine {
    int x;
    int y;
    short color;
    char text[maxMatchLineLength + 1];
};

struct MatchLines {
    MatchLine line[maxMatchLines];
    int count;
};

// The lines `viewer` sees of `match`, played as `setup` says.
MatchLines matchLines(const Match& match, const GameSetup& setup, Viewer viewer);

// The cells the lines may take: one span of columns on a row each. Nothing
// else the game draws falls in them, so a viewer's lines can be swapped for
// another's by blanking these cells and drawing the other lines.
struct MatchSpan {
    int y;
    int x;
    int width;
};
constexpr int matchSpanCount = 7;
extern const MatchSpan matchSpans[matchSpanCount];

// Blanks the spans and draws `lines`, through the console primitives.
void drawMatchLines(Canvas& console, const MatchLines& lines);
