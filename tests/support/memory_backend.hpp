// SPDX-License-Identifier: MIT
// An in-memory console and platform for tests and benchmarks: a grid of
// cells that reads back what was written, scripted keys per frame and a
// virtual clock that sleeping advances. A frame ends at each endFrame().
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "display/layout.hpp"

namespace mem {

constexpr int screenWidth = 80;
constexpr int screenHeight = 25;

struct Cell {
    unsigned char code = ' ';
    short attr = 0;
};

struct Backend {
    Cell screen[screenHeight][screenWidth];
    int cursorX = 0;
    int cursorY = 0;
    short attr = textColor;
    long long writes = 0; // characters written to cells

    // Keys held in each frame: heldKeys[frame] (frames past the end hold none),
    // or, when set, whatever keyScript answers.
    std::vector<std::set<int>> heldKeys;
    std::function<bool(int frame, int key)> keyScript;
    int frame = 0; // frames ended so far

    long long nowMs = 1'000'000;        // virtual monotonic clock
    long long frameCostMs = 0;          // work time added at every frame's end
    std::optional<long long> stalledAt; // the clock's seconds while it is stopped
    int sleeps = 0;

    int readChars = 0; // calls of the final wait

    // Called at every frame's end (endFrame), with the frame number.
    std::function<void(int)> onFrameEnd;
};

// The one back end every test shares; reset() gives a fresh one.
Backend& backend();
void reset();

// Scripting helpers.
void holdKey(int key, int fromFrame, int toFrame); // frames fromFrame..toFrame

// Reading the screen back.
std::string rowText(int y, int x = 0, int width = screenWidth);
int countCells(unsigned char code, short attr, int x0, int y0, int x1, int y1);

} // namespace mem
