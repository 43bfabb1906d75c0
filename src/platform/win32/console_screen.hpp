// SPDX-License-Identifier: MIT
// The game's picture on the Windows console, kept beside the console: the
// cells the game drew (the console primitives write through to it) or, on
// a guest, the host's picture painted into it; and what the console shows
// of it, so that notices and a guest's pictures reach the console as the
// few cells that changed.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "display/layout.hpp"
#include "game/local.hpp"

class ConsoleScreen : public LocalScreen {
public:
    ScreenBuffer& buffer() override { return picture_; }
    void setNotices(std::vector<NoticeLine> lines) override { notices_ = std::move(lines); }
    // Writes the cells where the console differs from the picture with its
    // notices, without moving the cursor the game writes at.
    void show() override;
    // Each board's player's name (UTF-8, checked already) on the row below
    // the picture, from the next show() on; nothing is written there while
    // no name was ever given.
    void setNames(std::string_view boardOne, std::string_view boardTwo) override;

    // The console primitives' writes, which reach the console themselves.
    void gotoxy(int x, int y) { picture_.gotoxy(x, y); }
    void setColor(short attr) { picture_.setColor(attr); }
    void putChar(int code);
    void write(const char* text);

    // Blanks the whole console, puts the cursor and the window at the top
    // left, and starts the picture afresh.
    void clear();
    // The cursor at the start of the row below the last one the picture
    // uses, where what comes after the game goes.
    void cursorBelow();

private:
    using Cells = std::array<std::array<Cell, pictureColumns>, pictureRows>;
    ScreenBuffer picture_;
    Cells shown_ = {}; // what the console shows in the picture's cells
    std::vector<NoticeLine> notices_;
    std::string names_[2];
    bool namesDue_ = false; // the names' row to be written again
    bool namesShown_ = false;
    void showNames();
};

// This console's picture; the console primitives and the network game's
// console calls use the one.
ConsoleScreen& consoleScreen();
