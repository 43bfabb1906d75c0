// SPDX-License-Identifier: MIT
// The floor of what a terminal must be sent: see output_floor.hpp.
#include "output_floor.hpp"

#include <cstring>

#include "platform/terminal/escapes.hpp"

namespace term {

namespace {

bool isBlank(Cell c) { return c.code == ' ' || c.code == 0; }

} // namespace

bool looksDifferent(Cell before, Cell after) {
    if (isBlank(before) != isBlank(after))
        return true;
    if (isBlank(after))
        return (before.attr & 0xF0) != (after.attr & 0xF0);
    return before.code != after.code || (before.attr & 0xFF) != (after.attr & 0xFF);
}

void OutputFloor::cell(int cx, int cy, Cell c) {
    if (cx != x_ || cy != y_)
        bytes_ += escapes::cursorMove(x_, y_, cx, cy).size();
    int wanted = isBlank(c) ? (attr_ & 0x0F) | (c.attr & 0xF0) : c.attr & 0xFF;
    bytes_ += escapes::colourChange(attr_, wanted).size();
    attr_ = wanted;
    bytes_ += static_cast<long long>(std::strlen(glyphOf(c.code, utf8_)));
    x_ = cx + 1;
    y_ = cy;
}

void OutputFloor::frame(const ScreenBuffer& before, const ScreenBuffer& after) {
    for (int cy = 0; cy < pictureRows; ++cy) {
        for (int cx = 0; cx < pictureColumns; ++cx) {
            if (looksDifferent(before.cell(cx, cy), after.cell(cx, cy))) {
                cell(cx, cy, after.cell(cx, cy));
                ++cells_;
            }
        }
    }
}

} // namespace term
