// SPDX-License-Identifier: MIT
// The least any renderer could send to take a terminal from one picture to
// the next: every cell that looks different, at its glyph's bytes, plus a
// cursor move wherever it does not follow the cell written before it on
// the same row (the shortest of CUP, the relative moves and CR/LF), plus a
// colour change wherever its colour differs from the one in force (a
// blank needs only its background). Rewriting cells that did not change
// instead of moving over them is not counted, so a renderer may come in
// under the floor.
#pragma once

#include "platform/terminal/glyphs.hpp"
#include "platform/terminal/renderer.hpp"

namespace term {

// A blank (code 32 or 0) shows only its background; any other cell its
// glyph and both colours.
bool looksDifferent(Cell before, Cell after);

class OutputFloor {
public:
    explicit OutputFloor(bool utf8) : utf8_(utf8) {}

    // Counts what taking the terminal from `before` to `after` costs at least.
    void frame(const ScreenBuffer& before, const ScreenBuffer& after);

    long long bytes() const { return bytes_; }
    long long changedCells() const { return cells_; }

private:
    void cell(int cx, int cy, Cell c);

    bool utf8_;
    long long bytes_ = 0;
    long long cells_ = 0;
    int x_ = -1; // where the next byte would land; -1: not known
    int y_ = -1;
    int attr_ = textColor;
};

} // namespace term
