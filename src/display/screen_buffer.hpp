// SPDX-License-Identifier: MIT
// The console's screen buffer as a back end keeps it: a grid of (code,
// attribute) cells that the game writes and reads back. The terminal draws
// from it; a network host sends it to its guests, and a guest paints what
// it receives into one. No platform: every back end may keep one.
#pragma once

#include <cstdint>

#include "display/canvas.hpp"
#include "display/layout.hpp"

struct Cell {
    unsigned char code = ' '; // OEM code page 437 character code
    short attr = textColor;   // console attribute
    bool operator==(const Cell&) const = default;
};

// Writes outside the grid are dropped, never wrapped; cells never written
// read back as a space. Code 0 is stored and read back as 0 (it shows as a
// space). The cursor may stand anywhere, also off the grid; it advances
// after every code written, also when the write was dropped.
class ScreenBuffer final : public Canvas {
public:
    ScreenBuffer() = default;
    ~ScreenBuffer() = default;
    ScreenBuffer(const ScreenBuffer&) = default;
    ScreenBuffer(ScreenBuffer&&) = default;
    // The cells of `other`, under a generation neither had, so that a copy
    // taken of this buffer before cannot pass for the new cells.
    ScreenBuffer& operator=(const ScreenBuffer& other);
    ScreenBuffer& operator=(ScreenBuffer&& other) noexcept { return *this = other; }

    void gotoxy(int x, int y) override;
    void setColor(short attr) override;
    void putChar(int code) override; // one code at the cursor; the cursor advances
    void
    write(const char* text) override; // text at the cursor; '\n' goes to column 0 of the next row
    unsigned char charAt(int x, int y) const override; // 32 outside the grid
    const Cell& cell(int x, int y) const;              // x, y inside the grid
    int cursorX() const { return x_; }
    int cursorY() const { return y_; }
    // Moves on with every write that changes a cell, and only then: whoever
    // copies the cells out (a host's pictures) copies them again only when
    // it has moved.
    std::uint64_t generation() const { return generation_; }

private:
    Cell cells_[pictureRows][pictureColumns];
    int x_ = 0;
    int y_ = 0;
    short attr_ = textColor;
    std::uint64_t generation_ = 0;
};
