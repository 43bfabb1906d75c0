// SPDX-License-Identifier: MIT
// The console's screen buffer: what the game wrote, cell by cell, so that
// charAt reads back the code itself and never the bytes of a glyph.
#include "display/screen_buffer.hpp"

#include <algorithm>
#include <cstring>

namespace {

bool inGrid(int x, int y) { return x >= 0 && x < pictureColumns && y >= 0 && y < pictureRows; }

} // namespace

ScreenBuffer& ScreenBuffer::operator=(const ScreenBuffer& other) {
    if (this == &other)
        return *this;
    std::memcpy(cells_, other.cells_, sizeof cells_);
    x_ = other.x_;
    y_ = other.y_;
    attr_ = other.attr_;
    generation_ = std::max(generation_, other.generation_) + 1;
    return *this;
}

void ScreenBuffer::gotoxy(int x, int y) {
    x_ = x;
    y_ = y;
}

void ScreenBuffer::setColor(short attr) { attr_ = attr; }

// The cursor advances also past the grid's edge: what follows on the same
// row is dropped, as on a console whose buffer ends there, and never wraps.
void ScreenBuffer::putChar(int code) {
    if (inGrid(x_, y_)) {
        Cell written{static_cast<unsigned char>(code), attr_};
        Cell& at = cells_[y_][x_];
        generation_ += at == written ? 0 : 1;
        at = written;
    }
    if (x_ < pictureColumns) // stops there, so that no run of writes can overflow it
        ++x_;
}

void ScreenBuffer::write(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == '\n') {
            x_ = 0;
            if (y_ < pictureRows)
                ++y_;
        } else {
            putChar(static_cast<unsigned char>(*text));
        }
    }
}

unsigned char ScreenBuffer::charAt(int x, int y) const {
    return inGrid(x, y) ? cells_[y][x].code : ' ';
}

const Cell& ScreenBuffer::cell(int x, int y) const { return cells_[y][x]; }
