// SPDX-License-Identifier: MIT
// The console's screen buffer for the terminal: a grid of (code, attribute)
// cells that the game writes and reads back, and a renderer that brings the
// terminal from what it shows to what the buffer holds, sending only the
// differences.
#pragma once

#include <string>

namespace term {

// The game draws within these columns and rows.
constexpr int gameColumns = 56;
constexpr int gameRows = 21;

struct Cell {
    unsigned char code = ' '; // OEM code page 437 character code
    short attr = 7;           // console attribute
    bool operator==(const Cell&) const = default;
};

// Writes outside the grid are dropped, never wrapped; cells never written
// read back as a space. Code 0 is stored and read back as 0 (it shows as a
// space). The cursor may stand anywhere, also off the grid; it advances
// after every code written, also when the write was dropped.
class ScreenBuffer {
public:
    void gotoxy(int x, int y);
    void setColor(short attr);
    void putChar(int code);       // one code at the cursor; the cursor advances
    void write(const char* text); // text at the cursor; '\n' goes to column 0 of the next row
    unsigned char charAt(int x, int y) const; // 32 outside the grid
    const Cell& cell(int x, int y) const;     // x, y inside the grid
    int cursorX() const { return x_; }
    int cursorY() const { return y_; }

private:
    Cell cells_[gameRows][gameColumns];
    int x_ = 0;
    int y_ = 0;
    short attr_ = 7;
};

struct RenderOptions {
    bool utf8 = true;  // glyphs as Unicode; otherwise ASCII stand-ins
    bool color = true; // false with NO_COLOR
};

// What the renderer sends, in short:
// - Attribute 7 (grey on black, the console's default) is the terminal's
//   own default colours (SGR 0), so the picture sits on the terminal's
//   background like the rest of the screen. Other foregrounds are SGR
//   30..37 or 90..97 (bright), other backgrounds 40..47 or 100..107; bits
//   above 7 of an attribute are ignored. Without colour no colour SGR is
//   ever sent, only resets.
// - A full repaint (the first render, and the first after invalidate() or a
//   change of size) starts with its own clear: SGR 0, cursor home, erase the
//   screen. The session need not clear before it.
// - A blank cell (code 32 or 0) looks the same in every foreground, so a
//   cell that changes only the foreground of a blank is not sent, and a
//   blank is written in whatever foreground is current when its background
//   matches.
// - Line moves use CR and LF only together ("\r\n" or "\r\n\n"), so the
//   terminal's output processing (ONLCR on or off) does not matter.
// - The cursor is left where the last write put it; hiding it is the
//   session's job.
class Renderer {
public:
    explicit Renderer(RenderOptions options);

    // The terminal's size; a change forces a full repaint at the next render.
    // Before the first call (or with a size of 0) the terminal is taken to
    // be big enough.
    void resize(int columns, int rows);

    // Forget what the terminal shows (after a clear, a resume, a resize):
    // the next render repaints everything.
    void invalidate();

    // Appends the bytes that make the terminal show `screen` (at its
    // top-left corner) to `out`: only the cells that differ from what it
    // shows, no cursor move for the next cell of a row, no SGR when the
    // attribute is unchanged. While the terminal is smaller than the game,
    // a one-line notice naming both sizes stands in for the picture.
    void render(const ScreenBuffer& screen, std::string& out);

    // The whole picture as lines of text with colours, for the normal
    // screen after the game has left the alternate screen. Rows are ended
    // with "\n" (the terminal's output processing is back on by then),
    // trailing blanks of each row and blank rows at the bottom are left out,
    // and a row that changed colours ends with SGR 0. Expects the terminal
    // in its default attributes.
    void renderFinal(const ScreenBuffer& screen, std::string& out) const;

    // The terminal is smaller than the picture: the notice stands in for it.
    bool tooSmall() const;

private:
    void showNotice(std::string& out);
    void clearScreen(std::string& out);
    void paintRow(const ScreenBuffer& screen, int y, std::string& out);
    void moveTo(int x, int y, std::string& out);
    void setAttr(int attr, std::string& out);
    void putCell(Cell want, int x, int y, std::string& out);
    Cell displayed(Cell cell) const;

    RenderOptions options_;
    Cell shown_[gameRows][gameColumns]; // codes as shown: the display key, not the game's code
    bool valid_ = false;
    bool noticeShown_ = false;
    int columns_ = 0;
    int rows_ = 0;
    int cursorX_ = -1; // -1: not known (e.g. after a write in the last column)
    int cursorY_ = -1;
    short attr_ = -1; // the terminal's current attribute; -1 not known
};

// The glyph of an OEM code as UTF-8 (utf8) or as an ASCII stand-in.
// Code 0 is a space in both. In UTF-8, 1..31 and 127 are the code page's
// pictures (U+263A, ..., U+2302) and 128..255 its letters, box drawing,
// shades and blocks; in ASCII every code is one printable byte.
const char* glyphOf(unsigned char code, bool utf8);

// The one-line notice shown while the terminal is too small, naming its
// size and the size the game needs.
std::string sizeNotice(int columns, int rows);

} // namespace term
